// The texts the program copies out of the tables once at start-up: process-wide arrays the
// views and catalogues read, the captions of named controls, the list header columns, and the
// message box of a message text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tidemark {

// Filled by FillTextArrays, read-only afterwards.
extern std::array<std::wstring, 39> FileTypeDescriptions;   // 10001–10039
extern std::array<std::wstring, 8> SystemTraceNames;        // 12001–12008
extern std::array<std::wstring, 6> BrowserTraceNames;       // 15001–15006
extern std::array<std::wstring, 51> SoftwareTraceNames;     // 11001–11051
extern std::array<std::wstring, 4> RegistryCategoryNames;   // 13001–13004
extern std::array<std::wstring, 6> SettingsTexts;           // 1000, 1002, 1003, 1004, 1008, 1009
extern std::array<std::wstring, 53> MessageTexts;           // 90001–90053

void FillTextArrays(unsigned langId);

// Where a control text goes: the caption, or an item of a drop-down.
enum class TextSlot { Caption, Item0, Item1 };

struct ControlText {
    const wchar_t* control;  // the control's name in the window layout (or a menu item's)
    int id;
    TextSlot slot;
};
// Every control text of the tables, in the order they are applied.
const std::vector<ControlText>& ControlTextTable();

// The list header bars and their column titles.
enum class HeaderBar { DeleteList, Items, Reg, Set, Type, Expect, Journal };
const wchar_t* HeaderBarName(HeaderBar bar);  // "HeaderExDeleteList", ...
// Column titles; the first column of the bars with a check-box column gets four leading spaces.
std::vector<std::wstring> HeaderColumnTexts(HeaderBar bar, unsigned langId);

// A modal information box with message text id (90001–90053) and the caption of 90001.
// Goes through the current Prompt.
void ShowMessageById(int id);
// The failure box of an operation an unexpected error ended (text 90028 and what happened).
void ShowUnexpectedFailure(const std::wstring& what);
// The box of a finished clean (text id); when its changes went into the undo journal, a second
// line says they can be undone there (90030).
void ShowDoneMessage(int id, bool undoable);
// A clean whose undo journal could not be written, which changed nothing (90031 and why).
void ShowJournalFailure(const std::wstring& why);
// What a scan could not read, after its elapsed time: "  3处无法读取" (text 90029); empty for 0.
std::wstring UnreadableNote(std::uint64_t places);

}  // namespace tidemark

#include "lang/ui_texts.h"

#include "lang/text_tables.h"
#include "system/prompt.h"

namespace tidemark {

std::array<std::wstring, 39> FileTypeDescriptions;
std::array<std::wstring, 8> SystemTraceNames;
std::array<std::wstring, 6> BrowserTraceNames;
std::array<std::wstring, 51> SoftwareTraceNames;
std::array<std::wstring, 4> RegistryCategoryNames;
std::array<std::wstring, 6> SettingsTexts;
std::array<std::wstring, 53> MessageTexts;

namespace {

template <std::size_t N>
void FillRun(std::array<std::wstring, N>& target, int firstId, unsigned langId) {
    for (std::size_t i = 0; i < N; ++i) target[i] = GetUiText(firstId + static_cast<int>(i), langId);
}

constexpr int kSettingsTextIds[] = {1000, 1002, 1003, 1004, 1008, 1009};

struct HeaderBarRow {
    HeaderBar bar;
    const wchar_t* name;
    int firstId;
    int columns;
    bool checkColumn;  // the first column holds a check box: its title makes room for it
};

constexpr HeaderBarRow kHeaders[] = {
    {HeaderBar::DeleteList, L"HeaderExDeleteList", 5001, 4, true},
    {HeaderBar::Items, L"HeaderExItems", 5101, 4, true},
    {HeaderBar::Reg, L"HeaderExReg", 5201, 3, true},
    {HeaderBar::Set, L"HeaderExSet", 5301, 2, false},
    {HeaderBar::Type, L"HeaderExType", 5401, 4, true},
    {HeaderBar::Expect, L"HeaderExExpect", 5501, 2, false},
    {HeaderBar::Journal, L"HeaderExJournal", 90032, 3, false},
};

const HeaderBarRow& RowOf(HeaderBar bar) {
    for (const HeaderBarRow& h : kHeaders)
        if (h.bar == bar) return h;
    return kHeaders[0];
}

}  // namespace

void FillTextArrays(unsigned langId) {
    FillRun(FileTypeDescriptions, 10001, langId);
    FillRun(SystemTraceNames, 12001, langId);
    FillRun(BrowserTraceNames, 15001, langId);
    FillRun(SoftwareTraceNames, 11001, langId);
    FillRun(RegistryCategoryNames, 13001, langId);
    FillRun(MessageTexts, 90001, langId);
    for (std::size_t i = 0; i < SettingsTexts.size(); ++i)
        SettingsTexts[i] = GetUiText(kSettingsTextIds[i], langId);
}

const std::vector<ControlText>& ControlTextTable() {
    using S = TextSlot;
    static const std::vector<ControlText> table = {
        {L"Lab_ClearReg", 1000, S::Caption},
        {L"BBtn_MainTab1", 1005, S::Caption},
        {L"BBtn_MainTab2", 1006, S::Caption},
        {L"BBtn_MainTab3", 1007, S::Caption},
        {L"Lab_SetClearMethod", 1010, S::Caption},
        {L"Cbx_SetMethod", 1011, S::Item0},
        {L"Cbx_SetMethod", 1012, S::Item1},
        {L"Lab_LeftTitle", 1013, S::Caption},
        {L"Lab_NormalSet", 1014, S::Caption},
        {L"BBtn_SetAdd", 1015, S::Caption},
        {L"Lab_TotalNum", 1017, S::Caption},
        {L"Lab_Totalsize", 1018, S::Caption},
        {L"BBtn_ScanStop", 1019, S::Caption},
        {L"Lab_ScanFinish", 1020, S::Caption},
        {L"Lab_ScanFinishTitle", 1021, S::Caption},
        {L"Lab_totalFileNumChar", 1022, S::Caption},
        {L"Lab_totalFileSizeChar", 1023, S::Caption},
        {L"BBtn_ManuaClear", 1024, S::Caption},
        {L"BBtn_AutoClear", 1025, S::Caption},
        {L"Lab_PanelDelTitle", 1026, S::Caption},
        {L"Lab_ClearInf", 1027, S::Caption},
        {L"BBtn_CloseClear", 1028, S::Caption},
        {L"BBtn_FreeDisk", 1029, S::Caption},
        {L"RzURLLabDefault", 1030, S::Caption},
        {L"BBtn_Clear", 1031, S::Caption},
        {L"BBtn_ScanClear", 1032, S::Caption},
        {L"BBtn_Save", 1033, S::Caption},
        {L"BBtn_Scan", 1034, S::Caption},
        {L"Lab_CurrentInfo", 1035, S::Caption},
        {L"CbxInitNext", 1036, S::Caption},
        {L"MenuItem2", 1037, S::Caption},
        {L"N2", 1038, S::Caption},
        {L"MenuItem3", 1039, S::Caption},
        {L"N3", 1040, S::Caption},
        {L"MenuItem1", 1041, S::Caption},
        {L"N1", 1042, S::Caption},
        {L"SLab_RegScan", 1045, S::Caption},
        {L"SLab_RegTotalNum", 1046, S::Caption},
        {L"SBBtn_RegScanStop", 1047, S::Caption},
        {L"SLab_RegScanFinish", 1048, S::Caption},
        {L"SLab_RegScanFinishTitle", 1049, S::Caption},
        {L"SLab_RegtotalFileNumChar", 1050, S::Caption},
        {L"SLab_Regtotaltime", 1051, S::Caption},
        {L"SBBtn_RegManuaClear", 1052, S::Caption},
        {L"SBBtn_RegAutoClear", 1053, S::Caption},
        {L"BBtn_RestoreCenter", 90035, S::Caption},
        {L"BBtn_JournalRestore", 90036, S::Caption},
        {L"BBtn_JournalDelete", 90037, S::Caption},
        // The first-run panel repeats the method page's texts; applied after them.
        {L"Lab_initClear", 1010, S::Caption},
        {L"Cbx_initClear", 1011, S::Item0},
        {L"Cbx_initClear", 1012, S::Item1},
    };
    return table;
}

const wchar_t* HeaderBarName(HeaderBar bar) { return RowOf(bar).name; }

std::vector<std::wstring> HeaderColumnTexts(HeaderBar bar, unsigned langId) {
    const HeaderBarRow& row = RowOf(bar);
    std::vector<std::wstring> columns;
    for (int i = 0; i < row.columns; ++i) {
        std::wstring text = GetUiText(row.firstId + i, langId);
        if (i == 0 && row.checkColumn) text.insert(0, L"    ");
        columns.push_back(std::move(text));
    }
    return columns;
}

void ShowMessageById(int id) {
    const int index = id - 90001;
    const std::wstring text =
        index >= 0 && index < static_cast<int>(MessageTexts.size()) ? MessageTexts[index] : L"";
    CurrentPrompt().Ask(PromptRequest{PromptKind::Info, MessageTexts[0], text});
}

void ShowUnexpectedFailure(const std::wstring& what) {
    CurrentPrompt().Ask(PromptRequest{PromptKind::Info, MessageTexts[0], MessageTexts[27] + L"\r\n" + what});
}

void ShowDoneMessage(int id, bool undoable) {
    const int index = id - 90001;
    const std::wstring text = index >= 0 && index < static_cast<int>(MessageTexts.size()) ? MessageTexts[index] : L"";
    CurrentPrompt().Ask(PromptRequest{PromptKind::Info, MessageTexts[0], undoable ? text + L"\r\n" + MessageTexts[29] : text});
}

void ShowJournalFailure(const std::wstring& why) {
    CurrentPrompt().Ask(PromptRequest{PromptKind::Info, MessageTexts[0], MessageTexts[30] + L"\r\n" + why});
}

std::wstring UnreadableNote(std::uint64_t places) {
    return places == 0 ? std::wstring() : L"  " + std::to_wstring(places) + MessageTexts[28];
}

}  // namespace tidemark

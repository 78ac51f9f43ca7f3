// What a jump to a registry key types into the registry editor's key tree: the editor path a
// caller's text names, and the keystrokes that walk the tree to it. No window is touched here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tidemark::cleanreg {

// The longest caller text taken, in bytes of the ANSI code page.
inline constexpr std::size_t kMaxJumpText = 1023;
// Left-arrow presses that fold the branch the tree was showing back to its top.
inline constexpr int kCollapsePresses = 100;
// The tree's type-ahead joins characters typed within its time-out (one second on Windows,
// 450 ms under Wine) into one search text, so one key name typed right after another would be
// searched as a single name. Waiting this long before each name starts a fresh search.
inline constexpr unsigned kTypeAheadResetMs = 1100;

// The editor path the text names ("HKEY_CURRENT_USER\Software\..."), or nothing when the text
// is null or empty or its root is not one of the five hives by short or long name (any case).
// The text is cut to kMaxJumpText bytes, never inside a double-byte character.
std::optional<std::string> RegJumpTarget(const char* text);

// ANSI (system code page) text as UTF-16.
std::wstring AnsiToUtf16(const std::string& text);

enum class KeyStepKind { KeyDown, Char, Pause };

struct KeyStep {
    KeyStepKind kind;
    unsigned value;  // virtual key, UTF-16 code unit, or milliseconds

    bool operator==(const KeyStep&) const = default;
};

// Collapse to the top, open it, then per key name: wait out the type-ahead, type the name
// (the tree selects the matching child), open it. Opening uses the keypad plus key, which
// expands an item and keeps it selected; the right arrow would move into an item that is
// already open and the name after it would be searched from the wrong place.
std::vector<KeyStep> RegJumpKeySteps(const std::wstring& target);

}  // namespace tidemark::cleanreg

// The 18 macros that registry and trace cleaning rules may contain ("%windir%", "%APPDATA%",
// "%UserRecent%" ...) and the upper-case folders they stand for.
#pragma once

#include <array>
#include <string>

#include "system/text_case.h"

namespace tidemark {

constexpr int kRuleMacroCount = 18;

extern const std::array<const wchar_t*, kRuleMacroCount> RuleMacroNames;
// Upper-case folders, parallel to RuleMacroNames; empty until BuildSpecialFolders runs.
extern std::array<std::wstring, kRuleMacroCount> SpecialFolders;

// Fills SpecialFolders: entries 0–16 from the folder macros, upper-cased; entry 17 from the
// "Recent" value of the current user's shell folders, passed through ExpandRuleMacros.
void BuildSpecialFolders();

// The text upper-cased, with every rule macro (any letter case) replaced by its folder, in
// table order. A macro whose folder is empty vanishes.
std::wstring ExpandRuleMacros(const std::wstring& text);

}  // namespace tidemark

// Folder macros: "%windir%", "%userdesktop%" and 28 more, written at the start of a path so that
// one text names the same place on every Windows version. Values are computed once per run,
// one way on the 9x family and another on the NT family.
#pragma once

#include <array>
#include <string>

namespace tidemark {

constexpr int kFolderMacroCount = 30;

// The macro names, lower case, in table order.
extern const std::array<const wchar_t*, kFolderMacroCount> FolderMacroNames;

enum FolderMacro : int {
    MacroWindir, MacroWinSystem, MacroWinSystem32, MacroWinDriver, MacroProgramFiles,
    MacroProgramFilesCommon, MacroWinDownload, MacroWinTemp, MacroUserDir, MacroUserProgram,
    MacroUserDesktop, MacroUserStartup, MacroUserStartMenu, MacroUserApp, MacroUserFav,
    MacroUserTemp, MacroUserLocalApp, MacroUserMyDoc, MacroAllUserDir, MacroAllUserProgram,
    MacroAllUserDesktop, MacroAllUserStartup, MacroAllUserStartMenu, MacroAllUserApp,
    MacroAllUserFav, MacroAllUserTemp, MacroUserCookies, MacroUserIeHistory, MacroUserIeTemp,
    MacroUserProfile
};

class TSysDir {
public:
    virtual ~TSysDir() = default;
    const std::wstring& Value(int index) const;
    void SetValue(int index, const std::wstring& text);
    // The path with a leading macro (any letter case) replaced by its value; any other path
    // unchanged. At most one macro is replaced; the rest is copied as it is.
    std::wstring Expand(const std::wstring& path) const;

protected:
    TSysDir() = default;

private:
    std::array<std::wstring, kFolderMacroCount> values_;
};

class TSysDir9x : public TSysDir {
public:
    TSysDir9x();
};

class TSysDir2k : public TSysDir {
public:
    TSysDir2k();
};

// The table of this process: TSysDir2k on the NT family, TSysDir9x otherwise.
const TSysDir& GetFolderMacros();

// "$WINDIR", "$SYSDIR" and (when asked) "$PROGDIR": the first occurrence of each, matched
// case-sensitively, replaced by the upper-cased Windows folder, system folder and Windows
// drive + ":\PROGRAM FILES".
std::wstring ReplaceDirTokens(const std::wstring& text, bool includeProgDir);

}  // namespace tidemark

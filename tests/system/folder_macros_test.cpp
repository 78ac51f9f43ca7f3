#include <gtest/gtest.h>

#include <shlobj.h>

#include "system/folder_macros.h"
#include "system/rule_macros.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

std::wstring Windows() {
    wchar_t buffer[MAX_PATH] = {};
    GetWindowsDirectoryW(buffer, MAX_PATH);
    return buffer;
}

TEST(FolderMacros, ExpandReplacesOnlyALeadingMacro) {
    const TSysDir& macros = GetFolderMacros();
    const std::wstring windows = Windows();
    const std::wstring desktop = macros.Value(MacroUserDesktop);
    const struct { std::wstring path, expected; } cases[] = {
        {L"%windir%\\notepad.exe", windows + L"\\notepad.exe"},
        {L"%WINDIR%\\notepad.exe", windows + L"\\notepad.exe"},
        {L"%windir%", windows},
        {L"C:\\%windir%\\x", L"C:\\%windir%\\x"},
        {L"x%windir%", L"x%windir%"},
        {L"%nosuch%\\x", L"%nosuch%\\x"},
        {L"%%windir%", L"%%windir%"},
        {L"%userdesktop%%userfav%", desktop + L"%userfav%"},
        {L"%usertemp%\\x", macros.Value(MacroUserTemp) + L"\\x"},
        {L"", L""},
        {L"%", L"%"},
        {L"%w", L"%w"},
    };
    for (const auto& c : cases) EXPECT_EQ(macros.Expand(c.path), c.expected) << testing::PrintToString(c.path);
    // The temporary folder keeps its trailing backslash, so this has two in a row.
    EXPECT_NE(macros.Expand(L"%usertemp%\\x").find(L"\\\\x"), std::wstring::npos);
}

TEST(FolderMacros, NtValues) {
    ASSERT_EQ(GetWindowsFamily(), 2);
    const TSysDir& m = GetFolderMacros();
    const std::wstring windows = Windows();
    EXPECT_EQ(m.Value(MacroWindir), windows);
    EXPECT_EQ(m.Value(MacroWinSystem32), windows + L"\\System32");
    EXPECT_EQ(m.Value(MacroWinDriver), windows.substr(0, 2));
    EXPECT_EQ(m.Value(MacroProgramFiles), GetFolderPath(CSIDL_PROGRAM_FILES));
    EXPECT_EQ(m.Value(MacroUserDesktop), GetFolderPath(CSIDL_DESKTOPDIRECTORY));
    EXPECT_EQ(m.Value(MacroUserDir) + L"\\Desktop", m.Value(MacroUserDesktop));  // its parent
    EXPECT_EQ(m.Value(MacroAllUserTemp), m.Value(MacroAllUserDir) + L"\\temp");
    EXPECT_EQ(m.Value(MacroAllUserDir) + L"\\Desktop", m.Value(MacroAllUserDesktop));
    EXPECT_EQ(m.Value(MacroUserTemp).back(), L'\\');
    EXPECT_EQ(m.Value(MacroUserMyDoc), GetFolderPath(CSIDL_PERSONAL));
    for (int i = 0; i < kFolderMacroCount; ++i) EXPECT_FALSE(m.Value(i).empty()) << FolderMacroNames[i];
}

TEST(FolderMacros, DirTokens) {
    const TWinInfo& info = GetWinInfo();
    std::wstring windows = info.WindowsDir, system = info.SystemDir;
    CharUpperBuffW(windows.data(), static_cast<DWORD>(windows.size()));
    CharUpperBuffW(system.data(), static_cast<DWORD>(system.size()));
    EXPECT_EQ(ReplaceDirTokens(L"$WINDIR\\a;$WINDIR\\b", false), windows + L"\\a;$WINDIR\\b");
    EXPECT_EQ(ReplaceDirTokens(L"$SYSDIR\\x.dll", false), system + L"\\x.dll");
    EXPECT_EQ(ReplaceDirTokens(L"$PROGDIR\\app", false), L"$PROGDIR\\app");
    EXPECT_EQ(ReplaceDirTokens(L"$PROGDIR\\app", true), L"C:\\PROGRAM FILES\\app");
    EXPECT_EQ(ReplaceDirTokens(L"$windir\\x", true), L"$windir\\x");  // case-sensitive
}

TEST(RuleMacros, SpecialFoldersAreUpperCaseAndExpandRuleMacrosUsesThem) {
    BuildSpecialFolders();
    for (int i = 0; i < kRuleMacroCount; ++i) {
        EXPECT_EQ(SpecialFolders[i], UpperCased(SpecialFolders[i])) << RuleMacroNames[i];
        EXPECT_FALSE(SpecialFolders[i].empty()) << RuleMacroNames[i];
    }
    EXPECT_EQ(SpecialFolders[0], L"C:");
    EXPECT_EQ(SpecialFolders[8].back(), L'\\');
    // "Recent" is stored as the profile macro + a folder: it comes out as the upper-case path.
    EXPECT_EQ(SpecialFolders[17].rfind(SpecialFolders[16], 0), 0u) << testing::PrintToString(SpecialFolders[17]);
    EXPECT_NE(SpecialFolders[17].find(L"RECENT"), std::wstring::npos);

    const std::wstring appData = SpecialFolders[12];
    const struct { std::wstring text, expected; } cases[] = {
        {L"%AppData%\\Foo\\bar.ini", appData + L"\\FOO\\BAR.INI"},
        {L"%APPDATA%%windir%", appData + SpecialFolders[1]},
        {L"c:\\plain\\Path", L"C:\\PLAIN\\PATH"},
        {L"%usertempInternetFiles%\\x", SpecialFolders[9] + L"\\X"},
        {L"%usertemp%x", SpecialFolders[8] + L"X"},
        {L"%windir%\\a;%WINDIR%\\b", SpecialFolders[1] + L"\\A;" + SpecialFolders[1] + L"\\B"},
        {L"%unknown%", L"%UNKNOWN%"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandRuleMacros(c.text), c.expected) << testing::PrintToString(c.text);

    // A macro whose folder is empty vanishes.
    const std::wstring saved = SpecialFolders[4];
    SpecialFolders[4].clear();
    EXPECT_EQ(ExpandRuleMacros(L"%userfav%\\x"), L"\\X");
    SpecialFolders[4] = saved;
}

}  // namespace
}  // namespace tidemark

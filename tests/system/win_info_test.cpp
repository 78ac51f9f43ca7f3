#include <gtest/gtest.h>

#include <shlobj.h>

#include "common/test_support.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

TEST(WinInfo, LanguageFromTheUserLanguageId) {
    const struct { unsigned id; int language; } cases[] = {
        {0x0804, LangSimplified}, {0x0404, LangTraditional}, {0x0C04, LangTraditional},
        {0x1004, LangTraditional}, {0x1404, LangTraditional}, {0x0409, LangOther},
        {0x0411, LangOther}, {0x0004, LangOther}, {0x7C04, LangOther},
    };
    for (const auto& c : cases) EXPECT_EQ(LanguageFromLangId(c.id), c.language) << std::hex << c.id;
}

TEST(WinInfo, KindFromPlatformAndMinorVersion) {
    const struct { unsigned platform, minor; int kind; } cases[] = {
        {VER_PLATFORM_WIN32_WINDOWS, 0, 0}, {VER_PLATFORM_WIN32_WINDOWS, 10, 0},
        {VER_PLATFORM_WIN32_WINDOWS, 90, 1}, {VER_PLATFORM_WIN32_NT, 0, 2},
        {VER_PLATFORM_WIN32_NT, 1, 3}, {VER_PLATFORM_WIN32_NT, 2, 4}, {VER_PLATFORM_WIN32_NT, 3, 4},
    };
    for (const auto& c : cases) EXPECT_EQ(WindowsKindOf(c.platform, c.minor), c.kind) << c.minor;
}

TEST(WinInfo, VersionCodeTable) {
    constexpr unsigned k9x = VER_PLATFORM_WIN32_WINDOWS, kNt = VER_PLATFORM_WIN32_NT;
    constexpr unsigned kWs = VER_NT_WORKSTATION, kDc = VER_NT_DOMAIN_CONTROLLER, kSrv = VER_NT_SERVER;
    const struct { VersionFacts facts; int code; } cases[] = {
        {{k9x, 4, 0, L"", 0}, VerWin95},       {{k9x, 4, 0, L" B ", 0}, VerWin95OSR2},
        {{k9x, 4, 0, L" C", 0}, VerWin95},     {{k9x, 4, 10, L"", 0}, VerWin98},
        {{k9x, 4, 10, L" A ", 0}, VerWin98SE}, {{k9x, 4, 90, L" ", 0}, VerWinME},
        {{k9x, 4, 20, L"", 0}, VerUnknown},    {{kNt, 3, 51, L"", 0}, VerNT3},
        {{kNt, 4, 0, L"Service Pack 6", 0}, VerNT4},
        {{kNt, 5, 0, L"", kWs}, VerWin2000},   {{kNt, 5, 1, L"", kWs}, VerWinXP},
        {{kNt, 5, 2, L"", kSrv}, VerWin2003},  {{kNt, 5, 3, L"", kWs}, VerUnknown},
        {{kNt, 6, 0, L"", kWs}, VerVista},     {{kNt, 6, 0, L"", kSrv}, VerServer6},
        {{kNt, 6, 1, L"", kSrv}, VerServer6},  {{kNt, 6, 1, L"", kWs}, VerWin7},
        {{kNt, 6, 1, L"", kDc}, VerVista},     {{kNt, 6, 2, L"", kWs}, VerVista},
        {{kNt, 6, 3, L"", kSrv}, VerVista},    {{kNt, 10, 0, L"", kWs}, VerUnknown},
        {{0, 4, 0, L"", 0}, VerUnknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VersionCodeOf(c.facts), c.code)
            << c.facts.PlatformId << " " << c.facts.Major << "." << c.facts.Minor << " type " << c.facts.ProductType;

    const struct { int code, family; } families[] = {
        {VerUnknown, -1}, {VerWin95, 1}, {VerWin95OSR2, 1}, {VerWin98, 1}, {VerWin98SE, 1},
        {VerWinME, 1}, {VerNT3, 2}, {VerNT4, 2}, {VerWin2000, 2}, {VerWinXP, 2}, {VerWin7, 2},
    };
    for (const auto& f : families) EXPECT_EQ(FamilyOfVersionCode(f.code), f.family) << f.code;
}

TEST(WinInfo, RecordOfThisSystem) {
    const TWinInfo& info = GetWinInfo();
    EXPECT_EQ(&info, &GetWinInfo());  // one record per process

    wchar_t windows[MAX_PATH] = {}, system[MAX_PATH] = {}, temp[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    GetSystemDirectoryW(system, MAX_PATH);
    GetTempPathW(MAX_PATH, temp);
    EXPECT_EQ(info.WindowsDir, windows);
    EXPECT_EQ(info.SystemDir, system);
    EXPECT_EQ(info.TempDir + L"\\", temp);  // the trailing backslash is dropped
    ASSERT_EQ(info.Drive.size(), 1u);
    EXPECT_EQ(info.Drive[0], towupper(windows[0]));
    EXPECT_EQ(info.Language, LanguageFromLangId(GetUserDefaultLangID()));
    EXPECT_FALSE(info.UserName.empty());
}


TEST(WinInfo, PathHelpers) {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(ExpandEnvPath(L"%WINDIR%\\x"), std::wstring(windows) + L"\\x");
    EXPECT_EQ(ExpandEnvPath(L"%TM_SURELY_UNSET%\\x"), L"%TM_SURELY_UNSET%\\x");
    EXPECT_EQ(ExpandEnvPath(L""), L"");
    // Longer than the classic buffer: not cut.
    const std::wstring longText = L"%WINDIR%\\" + std::wstring(300, L'a');
    EXPECT_EQ(ExpandEnvPath(longText), std::wstring(windows) + L"\\" + std::wstring(300, L'a'));

    test::ScratchDir dir;
    const std::wstring longName = dir / L"A Long Folder Name";
    ASSERT_TRUE(test::MakeDirs(longName));
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(longName.c_str(), shortName, MAX_PATH), 0u);
    EXPECT_NE(std::wstring(shortName), longName);
    EXPECT_EQ(GetLongPath(shortName), longName);
    EXPECT_EQ(GetLongPath(dir / L"missing~1"), dir / L"missing~1");  // unconvertible: unchanged
    EXPECT_EQ(GetLongPath(L""), L"");
}

TEST(WinInfo, SpecialFolders) {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(GetFolderPath(CSIDL_WINDOWS), windows);
    EXPECT_EQ(GetSpecialFolder(CSIDL_WINDOWS), windows);
    EXPECT_FALSE(GetFolderPath(CSIDL_APPDATA).empty());
    EXPECT_EQ(GetFolderPath(0x7F), L"");      // no such folder
    EXPECT_EQ(GetSpecialFolder(0x7F), L"");
}

TEST(WinInfo, SafeModeIsOffInATestPrefix) { EXPECT_FALSE(IsSafeMode()); }

}  // namespace
}  // namespace tidemark

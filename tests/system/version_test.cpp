// Windows kind and version codes under Wine's version emulation: each case runs a copy of the
// probe under its own name, with that name's version set in Wine's per-program defaults.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <vector>

#include "common/test_support.h"
#include "system/handles.h"
#include "system/reg_ops.h"

namespace tidemark {
namespace {

struct Expected {
    const wchar_t* wineVersion;
    int kind, code, family;
};

// Code -1: a 6.1 system, whose code depends on the product type the system reports (13 for a
// workstation, 12 for a server). Wine 8 hands the server type to the name "win7" and the
// workstation type to "win2008r2"; its default version is the workstation one.
constexpr int kBySixOneProductType = -1;

// Wine reports Windows 98 with service-pack text " A " (the second edition).
const Expected kCases[] = {
    {L"win95", 0, 1, 1},    {L"win98", 0, 4, 1},    {L"winme", 1, 8, 1},
    {L"nt40", 2, 6, 2},     {L"win2k", 2, 7, 2},    {L"winxp", 3, 9, 2},
    {L"win2003", 4, 10, 2}, {L"vista", 2, 11, 2},   {L"win2008", 2, 12, 2},
    {L"win7", 3, kBySixOneProductType, 2}, {L"win2008r2", 3, kBySixOneProductType, 2},
    {L"win8", 4, 11, 2},    {L"win10", 4, 11, 2},  // newer systems show 6.2 to this program
};

const std::wstring kAppDefaults = L"Software\\Wine\\AppDefaults\\";

TEST(WindowsVersion, KindAndCodeUnderEmulatedSystems) {
    test::ScratchDir dir;
    const std::wstring probe = test::ExeDir() + L"\\..\\fixtures\\tm_version_probe.exe";
    ASSERT_TRUE(test::PathExists(probe)) << testing::PrintToString(probe);

    std::vector<int> sixOneCodes;
    for (const Expected& e : kCases) {
        const std::wstring name = std::wstring(L"tm_probe_") + e.wineVersion + L".exe";
        const std::wstring copy = dir / name;
        ASSERT_TRUE(CopyFileW(probe.c_str(), copy.c_str(), FALSE));
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kAppDefaults + name, L"Version", e.wineVersion));
        const test::ProcessResult run = test::RunProcess(L"\"" + copy + L"\"");
        RegDeleteKeyW(HKEY_CURRENT_USER, (kAppDefaults + name).c_str());

        ASSERT_EQ(run.exitCode, 0u) << testing::PrintToString(std::wstring(e.wineVersion));
        std::istringstream fields(run.out);
        int kind = -9, code = -9, servicePack = -9, family = -9, productType = -9;
        fields >> kind >> code >> servicePack >> family >> productType;
        SCOPED_TRACE(testing::PrintToString(std::wstring(e.wineVersion)) + " printed " + run.out);
        EXPECT_EQ(kind, e.kind);
        if (e.code == kBySixOneProductType) {
            EXPECT_EQ(code, productType == VER_NT_WORKSTATION ? 13 : 12);
            sixOneCodes.push_back(code);
        } else {
            EXPECT_EQ(code, e.code);
        }
        EXPECT_EQ(family, e.family);
        EXPECT_GE(servicePack, 0);
    }
    // Both 6.1 product types were seen, so both codes were exercised.
    std::sort(sixOneCodes.begin(), sixOneCodes.end());
    EXPECT_EQ(sixOneCodes, (std::vector<int>{12, 13}));

    // The prefix's own version (no per-program setting): Windows 7 workstation.
    const test::ProcessResult run = test::RunProcess(L"\"" + probe + L"\"");
    EXPECT_EQ(run.out.substr(0, 5), "3 13 ") << run.out;
}

// The folder macros of a copy of the macro probe run as the given Windows version.
std::map<int, std::wstring> MacrosUnder(const test::ScratchDir& dir, const wchar_t* wineVersion) {
    const std::wstring probe = test::ExeDir() + L"\\..\\fixtures\\tm_macro_probe.exe";
    const std::wstring name = std::wstring(L"tm_macros_") + wineVersion + L".exe";
    const std::wstring copy = dir / name;
    std::map<int, std::wstring> values;
    if (!CopyFileW(probe.c_str(), copy.c_str(), FALSE)) return values;
    if (!WriteRegString(HKEY_CURRENT_USER, kAppDefaults + name, L"Version", wineVersion)) return values;
    const test::ProcessResult run = test::RunProcess(L"\"" + copy + L"\"");
    RegDeleteKeyW(HKEY_CURRENT_USER, (kAppDefaults + name).c_str());
    std::istringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // the console's line ends
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        values[std::stoi(line.substr(0, eq))] = test::Widen(line.substr(eq + 1));
    }
    return values;
}

TEST(FolderMacroFamilies, NineXAndNtFillTheTableTheirOwnWay) {
    test::ScratchDir dir;
    wchar_t windowsBuffer[MAX_PATH] = {};
    GetWindowsDirectoryW(windowsBuffer, MAX_PATH);
    const std::wstring windows = windowsBuffer;

    auto nine = MacrosUnder(dir, L"win98");
    ASSERT_EQ(nine.size(), 30u);
    EXPECT_EQ(nine[8], windows);                                   // %userdir%: the Windows folder
    EXPECT_EQ(nine[4], windows.substr(0, 2) + L"\\Program Files");   // from the drive
    EXPECT_EQ(nine[5], nine[4] + L"\\Common Files");
    EXPECT_EQ(nine[16], windows + L"\\Local Settings\\Application Data");
    // %usermydoc% from the desktop's My Documents item (0x0C), which Wine lacks: the fall-back.
    EXPECT_EQ(nine[17], windows.substr(0, 2) + L"\\My Documents");
    for (const auto& [all, own] : {std::pair{18, 8}, {19, 9}, {20, 10}, {21, 11}, {22, 12}, {23, 13}, {24, 14}, {25, 15}})
        EXPECT_EQ(nine[all], nine[own]) << all;  // one user: the all-users folders are the user's
    EXPECT_EQ(nine[25].back(), L'\\');

    auto nt = MacrosUnder(dir, L"winxp");
    ASSERT_EQ(nt.size(), 30u);
    EXPECT_EQ(nt[8] + L"\\Desktop", nt[10]);  // %userdir%: the desktop's parent
    EXPECT_EQ(nt[25], nt[18] + L"\\temp");
    EXPECT_NE(nt[18], nt[8]);
    EXPECT_EQ(nt[0], windows);
    EXPECT_EQ(nt[3], windows.substr(0, 2));
}

}  // namespace
}  // namespace tidemark

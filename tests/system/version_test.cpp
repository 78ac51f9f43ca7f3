// Windows kind and version codes under Wine's version emulation: each case runs a copy of the
// probe under its own name, with that name's version set in Wine's per-program defaults.
#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace
}  // namespace tidemark

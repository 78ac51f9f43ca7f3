// Process ratings from small lists of our own, carried by a copy of this test program.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/test_support.h"
#include "engine/process_sheet.h"
#include "engine/removal_guard_system.h"
#include "engine/sealed_text.h"
#include "engine/store_keys.h"
#include "system/ansi_text.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

// A copy of this program with the given "FILE" lists, sealed as the packer seals them.
class ListFile {
public:
    explicit ListFile(const std::vector<std::pair<std::wstring, std::wstring>>& lists) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::wstring copy = dir_ / L"lists.dll";
        if (!CopyFileW(self, copy.c_str(), FALSE)) return;
        HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
        if (!update) return;
        for (const auto& [name, text] : lists) {
            std::string bytes = SealText(ToAnsiNoBestFit(text), kFixedStoreKey);
            UpdateResourceW(update, L"FILE", name.c_str(), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), bytes.data(),
                            static_cast<DWORD>(bytes.size()));
        }
        if (EndUpdateResourceW(update, FALSE)) module_ = LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~ListFile() {
        if (module_) FreeLibrary(module_);
    }
    HMODULE module() const { return module_; }

private:
    test::ScratchDir dir_;
    HMODULE module_ = nullptr;
};

TEST(ProcessRating, EachRuleInItsOrder) {
    const TWinInfo& info = GetWinInfo();
    // Lower-case entries on purpose: Windows names have no case.
    ListFile file({{SystemFileListName(info.Kind), L"$SYSDIR\\kernel32.dll\r\n$WINDIR\\explorer.exe\r\n"},
                   {L"TROJAN", L"rogue.exe\r\nTM_BAD.EXE\r\n"},
                   {L"RFILE2", L"%windir%\\evil\\bad.exe\r\n"},
                   // Another kind's list is not this system's.
                   {info.Kind == 3 ? L"WT2K" : L"WTXP", L"$SYSDIR\\other.dll\r\n"}});
    ASSERT_NE(file.module(), nullptr);
    const TProcessSheet sheet(file.module(), info.Kind);
    EXPECT_EQ(sheet.SystemPaths().Count(), 2u);
    EXPECT_EQ(sheet.RogueNames().Count(), 2u);
    const std::wstring sys = info.SystemDir, win = info.WindowsDir, temp = info.TempDir;
    const struct { const wchar_t* name; std::wstring path; std::uint8_t rating; } cases[] = {
        {L"kernel32.dll", sys + L"\\KERNEL32.dll", RatingSystem},
        {L"kernel32.dll", temp + L"\\kernel32.dll", RatingSuspect},  // a system name out of place
        {L"x.exe", sys + L"\\dllcache\\x.exe", RatingSystem},         // the system areas need no list
        {L"kernel32.dll", sys + L"\\DllCache\\kernel32.dll", RatingSystem},
        {L"y.exe", win + L"\\$NtUninstallKB1$\\y.exe", RatingSystem},
        {L"ROGUE.exe", L"C:\\Games\\ROGUE.exe", RatingRisky},
        {L"tm_bad.exe", L"C:\\tm_bad.exe", RatingRisky},
        {L"bad.exe", win + L"\\Evil\\BAD.EXE", RatingDangerous},
        {L"bad.exe", L"C:\\evil\\bad.exe", RatingNone},
        {L"other.dll", sys + L"\\other.dll", RatingNone},
        {L"rogue.exe", L"rogue.exe", RatingNone},  // no path known
        {L"System", L"System", RatingNone},
    };
    for (const auto& c : cases) EXPECT_EQ(sheet.Rate(c.name, c.path), c.rating) << testing::PrintToString(c.path);
}

TEST(ProcessRating, MissingListsRateOnlyTheSystemAreas) {
    ListFile file({});
    ASSERT_NE(file.module(), nullptr);
    const TProcessSheet sheet(file.module(), GetWinInfo().Kind);
    EXPECT_EQ(sheet.Rate(L"a.exe", GetWinInfo().SystemDir + L"\\a.exe"), RatingNone);
    EXPECT_EQ(sheet.Rate(L"a.exe", GetWinInfo().WindowsDir + L"\\ServicePackFiles\\i386\\a.exe"), RatingSystem);
    EXPECT_STREQ(ProcessRatingLabel(RatingRisky), L"有风险");
    EXPECT_STREQ(ProcessRatingLabel(9), L"");
}

}  // namespace
}  // namespace tidemark

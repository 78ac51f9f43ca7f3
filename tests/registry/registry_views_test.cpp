// The registry scan and fix on 64-bit Windows: both registry views, each finding judged and
// removed in the view it came from.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>

#include "common/test_support.h"
#include "registry_test_support.h"
#include "system/reg_paths.h"
#include "system/reg_view.h"

namespace tidemark {
namespace {

const wchar_t kShared[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void SetIn(RegView view, HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
           DWORD size) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | ViewAccess(view), nullptr, &handle,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(handle, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
}

void SetTextIn(RegView view, HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text,
               DWORD type = REG_SZ) {
    SetIn(view, root, key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool ValueIn(RegView view, HKEY root, const std::wstring& key, const std::wstring& name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | ViewAccess(view), &handle) != ERROR_SUCCESS) return false;
    const bool there = RegQueryValueExW(handle, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return there;
}

void DeleteIn(RegView view, HKEY root, const std::wstring& key, const std::wstring& name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE | ViewAccess(view), &handle) != ERROR_SUCCESS) return;
    RegDeleteValueW(handle, name.c_str());
    RegCloseKey(handle);
}

std::wstring Folder(const wchar_t* variable) {
    wchar_t buffer[MAX_PATH] = {};
    GetEnvironmentVariableW(variable, buffer, MAX_PATH);
    return buffer;
}

std::wstring WindowsDir() {
    wchar_t buffer[MAX_PATH] = {};
    GetSystemWindowsDirectoryW(buffer, MAX_PATH);
    return buffer;
}

TEST(RegistryViews, PathsAsEachViewReachesThem) {
    const struct {
        const wchar_t* path;
        RegView view;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Windows\\System32\\x.dll", RegView::Bits32, L"C:\\Windows\\SysWOW64\\x.dll"},
        {L"c:\\windows\\system32", RegView::Bits32, L"C:\\Windows\\SysWOW64"},
        {L"C:\\Windows\\System32\\drivers\\etc\\hosts", RegView::Bits32, L"C:\\Windows\\System32\\drivers\\etc\\hosts"},
        {L"C:\\Windows\\System32\\spool\\x", RegView::Bits32, L"C:\\Windows\\System32\\spool\\x"},
        {L"C:\\Windows\\System32\\drivers\\x.sys", RegView::Bits32, L"C:\\Windows\\SysWOW64\\drivers\\x.sys"},
        {L"C:\\Windows\\Sysnative\\x.dll", RegView::Bits32, L"C:\\Windows\\System32\\x.dll"},
        {L"C:\\Windows\\regedit.exe", RegView::Bits32, L"C:\\Windows\\SysWOW64\\regedit.exe"},
        {L"C:\\Windows\\System32x\\a.dll", RegView::Bits32, L"C:\\Windows\\System32x\\a.dll"},
        {L"C:\\Windows\\System32\\x.dll", RegView::Bits64, L"C:\\Windows\\System32\\x.dll"},
        {L"C:\\Windows\\System32\\x.dll", RegView::Own, L"C:\\Windows\\System32\\x.dll"},
        {L"D:\\Windows\\System32\\x.dll", RegView::Bits32, L"D:\\Windows\\System32\\x.dll"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathInView(c.path, c.view, L"C:\\Windows\\"), c.expected) << c.path << L" " << ViewNumber(c.view);

    // How each kind of process names them: a 64-bit one by the paths above; a 32-bit one on
    // 64-bit Windows through the system's alias for the 64-bit System32; elsewhere unchanged.
    const struct {
        const wchar_t* path;
        RegView view;
        int bits;
        bool wow64;
        const wchar_t* expected;
    } processes[] = {
        {L"C:\\Windows\\System32\\x.dll", RegView::Bits32, 64, false, L"C:\\Windows\\SysWOW64\\x.dll"},
        {L"C:\\Windows\\System32\\x.dll", RegView::Bits64, 64, false, L"C:\\Windows\\System32\\x.dll"},
        {L"C:\\Windows\\System32\\x.dll", RegView::Bits32, 32, true, L"C:\\Windows\\System32\\x.dll"},
        {L"C:\\Windows\\system32\\sub\\x.dll", RegView::Bits64, 32, true, L"C:\\Windows\\Sysnative\\sub\\x.dll"},
        {L"C:\\Windows\\System32x\\x.dll", RegView::Bits64, 32, true, L"C:\\Windows\\System32x\\x.dll"},
        {L"C:\\Program Files\\a.exe", RegView::Bits64, 32, true, L"C:\\Program Files\\a.exe"},
        {L"C:\\Windows\\System32\\x.dll", RegView::Own, 32, false, L"C:\\Windows\\System32\\x.dll"},
    };
    for (const auto& c : processes)
        EXPECT_EQ(PathForProcess(c.path, c.view, L"C:\\Windows", c.bits, c.wow64), c.expected) << c.path;
}

TEST(RegistryViews, ProgramFoldersExpandAsEachViewSeesThem) {
    ASSERT_TRUE(SystemIs64Bit());
    const std::wstring x86 = Folder(L"ProgramFiles(x86)"), native = Folder(L"ProgramW6432");
    ASSERT_FALSE(x86.empty());
    ASSERT_NE(x86, native);
    EXPECT_EQ(ExpandInView(L"%ProgramFiles%\\App\\a.exe", RegView::Bits32), x86 + L"\\App\\a.exe");
    EXPECT_EQ(ExpandInView(L"%programfiles%\\App\\a.exe", RegView::Bits64), native + L"\\App\\a.exe");
    EXPECT_EQ(ExpandInView(L"%CommonProgramFiles%\\x", RegView::Bits32), Folder(L"CommonProgramFiles(x86)") + L"\\x");
    // The x86 folder named outright stays as it is in either view.
    EXPECT_EQ(ExpandInView(L"%ProgramFiles(x86)%\\a", RegView::Bits64), x86 + L"\\a");
}

TEST(RegistryViews, EachDistinctKeyIsVisitedOnceInItsView) {
    ASSERT_EQ(RegistryViews(), (std::vector<RegView>{RegView::Bits64, RegView::Bits32}));
    const std::wstring only32 = L"Software\\TidemarkViewOnly32", both = L"Software\\TidemarkViewBoth";
    SetTextIn(RegView::Bits32, HKEY_LOCAL_MACHINE, only32, L"v", L"x");
    SetTextIn(RegView::Bits32, HKEY_LOCAL_MACHINE, both, L"v", L"x");
    SetTextIn(RegView::Bits64, HKEY_LOCAL_MACHINE, both, L"v", L"x");
    auto visits = [](HKEY root, const std::wstring& key) {
        std::vector<int> seen;
        ForEachRegView(root, key, [&](RegView view) {
            EXPECT_EQ(CurrentRegView(), view);
            seen.push_back(ViewNumber(view));
        });
        return seen;
    };
    EXPECT_EQ(visits(HKEY_LOCAL_MACHINE, only32), std::vector<int>{32});
    EXPECT_EQ(visits(HKEY_LOCAL_MACHINE, both), (std::vector<int>{64, 32}));
    // The current user's software branch is one key in both views.
    EXPECT_EQ(visits(HKEY_CURRENT_USER, L"Software"), std::vector<int>{64});
    EXPECT_TRUE(visits(HKEY_LOCAL_MACHINE, L"Software\\TidemarkNowhere").empty());
    EXPECT_EQ(CurrentRegView(), NaturalRegView());
    for (const RegView view : {RegView::Bits32, RegView::Bits64})
        for (const std::wstring& key : {only32, both}) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), ViewAccess(view), 0);
}

// Which paths a definition looks at in each view, by their text; and which keys the views share.
TEST(RegistryViews, PathsThatMayDifferByViewAndKeysTheViewsShare) {
    const struct {
        const wchar_t* path;
        bool differs;
    } paths[] = {
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Rogue", true},
        {L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\x", true},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE", false},
        {L"HKEY_LOCAL_MACHINE\\SOFTWAREX\\Rogue", false},
        {L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\x", false},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{x}", true},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Rogue.IEHlprObj", false},
        {L"HKEY_CLASSES_ROOT\\CLSID\\{x}", true},
        {L"HKEY_CLASSES_ROOT\\Interface\\{x}", true},
        {L"HKEY_CLASSES_ROOT\\Media Type\\x", true},
        {L"HKEY_CLASSES_ROOT\\TypeLib\\{x}", false},
        {L"HKEY_CLASSES_ROOT\\CLSIDX", false},
        {L"HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{x}", true},
        {L"HKEY_CURRENT_USER\\Software\\Rogue", false},
        {L"HKEY_USERS\\.DEFAULT\\Software\\Rogue", false},
        {L"Software\\Rogue", false},
        {L"", false},
    };
    for (const auto& p : paths) EXPECT_EQ(PathMayDifferByView(p.path), p.differs) << testing::PrintToString(std::wstring(p.path));

    const std::wstring only32 = L"Software\\TidemarkSharedOnly32";
    SetTextIn(RegView::Bits32, HKEY_LOCAL_MACHINE, only32, L"v", L"x");
    EXPECT_TRUE(KeyPathSharedByViews(L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet"));
    EXPECT_TRUE(KeyPathSharedByViews(L"HKEY_CURRENT_USER\\Software"));
    EXPECT_FALSE(KeyPathSharedByViews(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft"));
    EXPECT_FALSE(KeyPathSharedByViews(L"HKEY_LOCAL_MACHINE\\" + only32));  // not in the 64-bit view
    EXPECT_FALSE(KeyPathSharedByViews(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TidemarkNowhere"));
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, only32.c_str(), KEY_WOW64_32KEY, 0);
}

class RegistryViewScan : public testing::Test {
protected:
    RegistryViewScan() {
        categories = RegistryCategories(0x0804);
        const std::wstring windows = WindowsDir();
        // A 32-bit library in place: the 32-bit view names it in System32, it lives in SysWOW64.
        lib32 = windows + L"\\System32\\tmview32.dll";
        test::WriteFileText(windows + L"\\SysWOW64\\tmview32.dll", "x");
        app32 = Folder(L"ProgramFiles(x86)") + L"\\TidemarkViewApp";
        test::MakeDirs(app32);
        test::WriteFileText(app32 + L"\\app.exe", "x");
        const DWORD count = 1;
        // Valid in the 32-bit view; in the 64-bit view the same name is an orphan.
        SetIn(RegView::Bits32, HKEY_LOCAL_MACHINE, kShared, lib32, REG_DWORD, &count, sizeof count);
        SetIn(RegView::Bits64, HKEY_LOCAL_MACHINE, kShared, lib32, REG_DWORD, &count, sizeof count);
        SetTextIn(RegView::Bits32, HKEY_LOCAL_MACHINE, kRun, L"TmViewApp", L"\"%ProgramFiles%\\TidemarkViewApp\\app.exe\" /s",
                  REG_EXPAND_SZ);
        SetTextIn(RegView::Bits64, HKEY_LOCAL_MACHINE, kRun, L"TmViewApp", L"\"%ProgramFiles%\\TidemarkViewApp\\app.exe\" /s",
                  REG_EXPAND_SZ);
        // Plain text naming the program folder by its variable: the 32-bit view's is the x86 one.
        SetTextIn(RegView::Bits32, HKEY_LOCAL_MACHINE, kRun, L"TmViewPlain", L"%ProgramFiles%\\TidemarkViewApp\\app.exe");
        // An orphan of the 32-bit view alone.
        SetTextIn(RegView::Bits32, HKEY_LOCAL_MACHINE, kRun, L"TmViewGone", windows + L"\\System32\\tmgone32.exe");
    }
    ~RegistryViewScan() override {
        for (const RegView view : {RegView::Bits32, RegView::Bits64}) {
            DeleteIn(view, HKEY_LOCAL_MACHINE, kShared, lib32);
            DeleteIn(view, HKEY_LOCAL_MACHINE, kRun, L"TmViewApp");
            DeleteIn(view, HKEY_LOCAL_MACHINE, kRun, L"TmViewGone");
            DeleteIn(view, HKEY_LOCAL_MACHINE, kRun, L"TmViewPlain");
        }
        DeleteFileW((WindowsDir() + L"\\SysWOW64\\tmview32.dll").c_str());
        DeleteFileW((app32 + L"\\app.exe").c_str());
        RemoveDirectoryW(app32.c_str());
    }
    std::vector<TDataRegItems> Ours(const std::vector<TDataRegItems>& rows) const {
        std::vector<TDataRegItems> ours;
        for (const auto& row : rows)
            if (row.Name == lib32 || row.Name == L"TmViewApp" || row.Name == L"TmViewGone" || row.Name == L"TmViewPlain")
                ours.push_back(row);
        return ours;
    }
    std::vector<std::wstring> Texts(const std::vector<TDataRegItems>& rows) const {
        std::vector<std::wstring> texts;
        for (const auto& r : rows) texts.push_back(std::to_wstring(ViewNumber(r.View)) + L"|" + r.Name);
        std::sort(texts.begin(), texts.end());
        return texts;
    }
    std::vector<TDataRegItems> Scan(const std::vector<int>& which) {
        test::Findings found;
        NullPump pump;
        StopToken stop;
        RegScanRun run{found, pump, stop, probe, categories};
        ScanRegistryCategories(which, run);
        return Ours(found.rows);
    }

    std::wstring lib32, app32;
    SystemPathProbe probe;
    std::vector<TDataRegDefault> categories;
};

TEST_F(RegistryViewScan, EachViewJudgesItsOwnPathsAndNothingValidIsListed) {
    const auto rows = Scan({0, 1});
    EXPECT_EQ(Texts(rows), (std::vector<std::wstring>{L"32|TmViewGone", L"64|" + lib32, L"64|TmViewApp"}));
}

TEST_F(RegistryViewScan, TheThoroughSearchSeesTheThirtyTwoBitBranchOnceInItsView) {
    // A plain string of the 32-bit view naming a missing file, found under the software branch.
    SetTextIn(RegView::Bits32, HKEY_LOCAL_MACHINE, L"Software\\TidemarkViewData", L"TmViewGone",
              WindowsDir() + L"\\System32\\tmgone32.dat");
    SetTextIn(RegView::Bits32, HKEY_LOCAL_MACHINE, L"Software\\TidemarkViewData", L"TmViewApp", lib32);
    const auto rows = Scan({3});
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\TidemarkViewData", KEY_WOW64_32KEY, 0);
    EXPECT_EQ(Texts(rows), std::vector<std::wstring>{L"32|TmViewGone"});
}

TEST_F(RegistryViewScan, TheFixRemovesFromTheFindingsViewOnlyAndTheBackupNamesIt) {
    const auto rows = Scan({0, 1});
    std::wstring text;
    ASSERT_TRUE(RegistryBackupText(rows, text));
    EXPECT_NE(text.find(L"[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run]"),
              std::wstring::npos)
        << text;
    EXPECT_NE(text.find(L"[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls]"),
              std::wstring::npos)
        << text;
    test::Findings sink;
    NullPump pump;
    StopToken stop;
    const WalkTotals totals = FixRegistryItems(rows, WalkMode::Apply, Operation<TDataRegItems>{sink, pump, stop}, probe);
    EXPECT_EQ(totals.done, 3u);
    EXPECT_TRUE(ValueIn(RegView::Bits32, HKEY_LOCAL_MACHINE, kShared, lib32));
    EXPECT_FALSE(ValueIn(RegView::Bits64, HKEY_LOCAL_MACHINE, kShared, lib32));
    EXPECT_TRUE(ValueIn(RegView::Bits32, HKEY_LOCAL_MACHINE, kRun, L"TmViewApp"));
    EXPECT_FALSE(ValueIn(RegView::Bits64, HKEY_LOCAL_MACHINE, kRun, L"TmViewApp"));
    EXPECT_FALSE(ValueIn(RegView::Bits32, HKEY_LOCAL_MACHINE, kRun, L"TmViewGone"));
}

}  // namespace
}  // namespace tidemark

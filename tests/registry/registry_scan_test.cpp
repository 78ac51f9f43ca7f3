// The four category scans over real keys and files of the test prefix.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>

#include "common/test_support.h"
#include "registry_test_support.h"

namespace tidemark {
namespace {

using test::SetText;
using test::SetValue;

std::vector<std::wstring> Sorted(std::vector<std::wstring> texts) {
    std::sort(texts.begin(), texts.end());
    return texts;
}

class RegistryScan : public testing::Test {
protected:
    RegistryScan() {
        test::WriteFileText(dir / L"there.exe", "x");
        test::WriteFileText(dir / L"there.dll", "x");
        test::MakeDirs(dir / L"plain");
        test::MakeDirs(dir / L"folder.d");
        categories = RegistryCategories(0x0804);
    }
    RegScanRun Run() { return RegScanRun{found, pump, stop, probe, categories}; }
    // Key paths as the scan builds them from a root name: with the leading backslash.
    std::wstring Built(const std::wstring& below) const { return L"\\" + key.path() + below; }

    test::ScratchDir dir;
    test::ScratchKey key;
    test::Findings found;
    NullPump pump;
    StopToken stop;
    SystemPathProbe probe;
    std::vector<TDataRegDefault> categories;
};

TEST_F(RegistryScan, SharedLibrariesMissingOnAPresentDrive) {
    const DWORD count = 1;
    for (const std::wstring& name : {dir / L"there.dll", dir / L"gone.dll", std::wstring(L"Q:\\lib\\gone.dll"),
                                     dir / L"plain", std::wstring(L"relative.dll")})
        SetValue(HKEY_CURRENT_USER, key / L"SharedDlls", name, REG_DWORD, &count, sizeof count);
    auto run = Run();
    ScanSharedDlls(HKEY_CURRENT_USER, Built(L"\\SharedDlls"), run);
    ASSERT_EQ(found.rows.size(), 1u);
    EXPECT_EQ(found.rows[0].Name, dir / L"gone.dll");
    EXPECT_EQ(found.rows[0].KeyPath, Built(L"\\SharedDlls"));
    EXPECT_EQ(found.rows[0].Root, HKEY_CURRENT_USER);
    EXPECT_EQ(found.rows[0].Category, 0);
    EXPECT_EQ(found.rows[0].CategoryName, L"冗余的动态库");
}

TEST_F(RegistryScan, StartupEntriesBelowAKey) {
    SetEnvironmentVariableW(L"TM_REG_TEST_DIR", dir.path().c_str());
    const std::wstring run = key / L"Run", sub = run + L"\\Sub", deeper = sub + L"\\Deeper";
    SetText(HKEY_CURRENT_USER, run, L"own", dir / L"gone.exe");  // only the real Run key's own values count
    SetText(HKEY_CURRENT_USER, sub, L"quoted", L"\"" + (dir / L"gone.exe") + L"\" /min");
    SetText(HKEY_CURRENT_USER, sub, L"unquoted", (dir / L"gone.exe") + L" /min");
    SetText(HKEY_CURRENT_USER, sub, L"expandThere", L"%TM_REG_TEST_DIR%\\there.exe", REG_EXPAND_SZ);
    SetText(HKEY_CURRENT_USER, sub, L"expandGone", L"%TM_REG_TEST_DIR%\\gone.exe", REG_EXPAND_SZ);
    const DWORD number = 7;
    SetValue(HKEY_CURRENT_USER, sub, L"number", REG_DWORD, &number, sizeof number);
    SetText(HKEY_CURRENT_USER, deeper, L"deep", dir / L"gone2.exe");
    auto scan = Run();
    ScanStartupKeys(HKEY_CURRENT_USER, Built(L"\\Run"), scan);
    EXPECT_EQ(Sorted(found.Texts()), Sorted({L"1|" + Built(L"\\Run\\Sub") + L"|quoted",
                                             L"1|" + Built(L"\\Run\\Sub") + L"|expandGone",
                                             L"1|" + Built(L"\\Run\\Sub\\Deeper") + L"|deep"}));
}

TEST_F(RegistryScan, TheRunKeyItselfInAnyLetterCase) {
    const std::wstring runKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    SetText(HKEY_CURRENT_USER, runKey, L"TidemarkTestGone", L"\"" + (dir / L"gone.exe") + L"\" -tray");
    auto scan = Run();
    ScanStartupKeys(HKEY_CURRENT_USER, L"\\" + runKey, scan);
    SHDeleteValueW(HKEY_CURRENT_USER, runKey.c_str(), L"TidemarkTestGone");
    const auto texts = found.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), L"1|\\" + runKey + L"|TidemarkTestGone"), 1);
}

TEST_F(RegistryScan, UninstallShapes) {
    const std::wstring u = key / L"Uninstall";
    test::MakeKey(HKEY_CURRENT_USER, u + L"\\Empty");
    SetText(HKEY_CURRENT_USER, u + L"\\DefaultOnly", L"", L"whatever");
    test::MakeKey(HKEY_CURRENT_USER, u + L"\\{11111111-AAAA}\\Child");
    SetText(HKEY_CURRENT_USER, u + L"\\{11111111-AAAA}", L"UninstallString", dir / L"gone.exe");
    test::MakeKey(HKEY_CURRENT_USER, u + L"\\{22222222-BBBB}");
    SetText(HKEY_CURRENT_USER, u + L"\\Gone", L"UninstallString", L"\"" + (dir / L"gone.exe") + L"\" /u");
    SetText(HKEY_CURRENT_USER, u + L"\\There", L"UninstallString", dir / L"there.exe");
    SetText(HKEY_CURRENT_USER, u + L"\\InstallOnly", L"installString", dir / L"gone.exe");
    SetText(HKEY_CURRENT_USER, u + L"\\WithSub", L"UninstallString", dir / L"gone.exe");
    test::MakeKey(HKEY_CURRENT_USER, u + L"\\WithSub\\Parts");
    SetText(HKEY_CURRENT_USER, u + L"\\NameOnly", L"DisplayName", L"Something");
    auto scan = Run();
    ScanUninstallKeys(HKEY_CURRENT_USER, Built(L"\\Uninstall"), scan);
    std::vector<std::wstring> expected;
    for (const wchar_t* name : {L"Empty", L"DefaultOnly", L"{22222222-BBBB}", L"Gone", L"InstallOnly", L"WithSub"})
        expected.push_back(L"2|" + Built(L"\\Uninstall") + L"|" + name);
    EXPECT_EQ(Sorted(found.Texts()), Sorted(expected));
}

TEST_F(RegistryScan, ThoroughSearchJudgesPlainStringsOnly) {
    const std::wstring a = key / L"A", b = a + L"\\B";
    SetText(HKEY_CURRENT_USER, key.path(), L"top", dir / L"gone.txt");  // values of the start key are not judged
    SetText(HKEY_CURRENT_USER, a, L"file", dir / L"gone.txt");
    SetText(HKEY_CURRENT_USER, a, L"there", dir / L"there.exe");
    SetText(HKEY_CURRENT_USER, a, L"", dir / L"gone2.txt");
    SetText(HKEY_CURRENT_USER, a, L"expand", dir / L"gone.txt", REG_EXPAND_SZ);
    SetText(HKEY_CURRENT_USER, a, L"folder", dir / L"plain");
    SetText(HKEY_CURRENT_USER, a, L"folderWithDot", dir / L"folder.d");
    const DWORD number = 1;
    SetValue(HKEY_CURRENT_USER, a, L"dword", REG_DWORD, &number, sizeof number);
    // Odd data: a string stored without its zero, one of an odd length, a huge one, text as binary.
    const std::wstring noZero = dir / L"gone3.txt";
    SetValue(HKEY_CURRENT_USER, a, L"noZero", REG_SZ, noZero.data(), static_cast<DWORD>(noZero.size() * 2));
    SetValue(HKEY_CURRENT_USER, a, L"odd", REG_SZ, noZero.data(), 5);
    SetValue(HKEY_CURRENT_USER, a, L"binary", REG_BINARY, noZero.data(), static_cast<DWORD>(noZero.size() * 2));
    const std::wstring huge(1 << 20, L'x');
    SetText(HKEY_CURRENT_USER, b, L"huge", huge);
    SetText(HKEY_CURRENT_USER, b, L"deep", dir / L"gone4.dat");
    auto scan = Run();
    ScanMissingFileData(HKEY_CURRENT_USER, key.path(), scan);
    EXPECT_EQ(Sorted(found.Texts()), Sorted({L"3|" + a + L"|file", L"3|" + a + L"|", L"3|" + a + L"|noZero",
                                             L"3|" + b + L"|deep"}));
}

TEST_F(RegistryScan, ThoroughSearchSkipsTheExcludedBranches) {
    SetText(HKEY_CURRENT_USER, L"Software\\Symantec\\TidemarkTest", L"x", dir / L"gone.txt");
    SetText(HKEY_CURRENT_USER, key / L"Mine", L"x", dir / L"gone.txt");
    auto scan = Run();
    ScanMissingFileData(HKEY_CURRENT_USER, L"Software", scan);
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Symantec\\TidemarkTest");
    const auto texts = found.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), L"3|" + (key / L"Mine") + L"|x"), 1);
    for (const auto& row : found.rows) EXPECT_EQ(row.KeyPath.find(L"Symantec"), std::wstring::npos) << row.KeyPath;
}

struct StopOnFirst final : Sink<TDataRegItems> {
    explicit StopOnFirst(StopToken& token) : stop(token) {}
    void Found(const TDataRegItems&) override {
        ++rows;
        stop.Request();
    }
    StopToken& stop;
    int rows = 0;
};

TEST_F(RegistryScan, StopEndsTheThoroughSearchAtOnce) {
    for (int i = 0; i < 20; ++i) {
        const std::wstring sub = key / (L"K" + std::to_wstring(i));
        SetText(HKEY_CURRENT_USER, sub, L"a", dir / L"gone.txt");
        SetText(HKEY_CURRENT_USER, sub, L"b", dir / L"gone.txt");
        SetText(HKEY_CURRENT_USER, sub + L"\\Deeper", L"c", dir / L"gone.txt");
    }
    StopOnFirst sink(stop);
    RegScanRun run{sink, pump, stop, probe, categories};
    ScanMissingFileData(HKEY_CURRENT_USER, key.path(), run);
    EXPECT_EQ(sink.rows, 1);
    // A search asked to stop before it starts finds nothing; the other categories ignore the token.
    sink.rows = 0;
    ScanMissingFileData(HKEY_CURRENT_USER, key.path(), run);
    EXPECT_EQ(sink.rows, 0);
}

TEST_F(RegistryScan, CategoriesRunTheirFixedKeys) {
    // The shared-library key of the local machine, as the category lists it.
    const std::wstring shared = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
    const DWORD count = 1;
    SetValue(HKEY_LOCAL_MACHINE, shared, dir / L"gone.dll", REG_DWORD, &count, sizeof count);
    auto run = Run();
    ScanRegistryCategories({0}, run);
    SHDeleteValueW(HKEY_LOCAL_MACHINE, shared.c_str(), (dir / L"gone.dll").c_str());
    const auto texts = found.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), L"0|\\" + shared + L"|" + (dir / L"gone.dll")), 1);
    for (const auto& row : found.rows) EXPECT_EQ(row.Root, HKEY_LOCAL_MACHINE);
}

}  // namespace
}  // namespace tidemark

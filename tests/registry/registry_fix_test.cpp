// The fix by category, the re-judgement just before a removal, and the backup that regedit
// imports back.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <fstream>

#include "common/test_support.h"
#include "registry_test_support.h"
#include "system/reg_ops.h"

namespace tidemark {
namespace {

using test::KeyThere;
using test::ReadValue;
using test::SetText;
using test::SetValue;

struct Outcomes final : Sink<TDataRegItems> {
    std::vector<std::pair<std::wstring, Outcome>> seen;
    void Processed(const TDataRegItems& row, Outcome outcome) override { seen.emplace_back(row.Name, outcome); }
};

class RegistryFix : public testing::Test {
protected:
    RegistryFix() {
        test::WriteFileText(dir / L"there.exe", "x");
        categories = RegistryCategories(0x0804);
        const DWORD count = 2;
        SetValue(HKEY_CURRENT_USER, key / L"Shared", dir / L"gone.dll", REG_DWORD, &count, sizeof count);
        SetText(HKEY_CURRENT_USER, key / L"Run\\Sub", L"start", L"\"" + (dir / L"gone.exe") + L"\" /tray");
        SetText(HKEY_CURRENT_USER, key / L"Run\\Sub", L"keep", L"\"" + (dir / L"gone2.exe") + L"\" /tray");
        SetText(HKEY_CURRENT_USER, key / L"Uninstall\\Gone", L"UninstallString", dir / L"gone.exe");
        SetText(HKEY_CURRENT_USER, key / L"Uninstall\\Gone", L"DisplayName", L"Gone 1.0");
        const DWORD flag = 1;
        SetValue(HKEY_CURRENT_USER, key / L"Uninstall\\Gone\\Parts", L"flag", REG_DWORD, &flag, sizeof flag);
        SetText(HKEY_CURRENT_USER, key / L"Uninstall\\Gone\\Parts", L"multi", std::wstring(L"a\0b\0", 4), REG_MULTI_SZ);
        const BYTE bytes[] = {0, 1, 2, 0xFE, 0xFF};
        SetValue(HKEY_CURRENT_USER, key / L"Uninstall\\Gone\\Parts", L"", REG_BINARY, bytes, sizeof bytes);
        SetText(HKEY_CURRENT_USER, key / L"Data\\App", L"file", dir / L"gone.txt");
        SetText(HKEY_CURRENT_USER, key / L"Data\\App", L"", dir / L"gone2.txt");
        SetText(HKEY_CURRENT_USER, key / L"Data\\App", L"quote\"and\\slash", dir / L"gone3.txt");
        // A string stored without its zero keeps exactly its bytes through backup and import.
        const std::wstring noZero = dir / L"gone4.txt";
        SetValue(HKEY_CURRENT_USER, key / L"Data\\App", L"noZero", REG_SZ, noZero.data(),
                 static_cast<DWORD>(noZero.size() * 2));
    }

    std::vector<TDataRegItems> ScanAll() {
        test::Findings found;
        NullPump pump;
        StopToken stop;
        RegScanRun run{found, pump, stop, probe, categories};
        const std::wstring built = L"\\" + key.path();
        ScanSharedDlls(HKEY_CURRENT_USER, built + L"\\Shared", run);
        ScanStartupKeys(HKEY_CURRENT_USER, built + L"\\Run", run);
        ScanUninstallKeys(HKEY_CURRENT_USER, built + L"\\Uninstall", run);
        ScanMissingFileData(HKEY_CURRENT_USER, key / L"Data", run);
        return found.rows;
    }

    WalkTotals Fix(const std::vector<TDataRegItems>& rows, Outcomes& outcomes, WalkMode mode = WalkMode::Apply) {
        NullPump pump;
        StopToken stop;
        return FixRegistryItems(rows, mode, Operation<TDataRegItems>{outcomes, pump, stop}, probe);
    }

    test::ScratchDir dir;
    test::ScratchKey key;
    SystemPathProbe probe;
    std::vector<TDataRegDefault> categories;
};

TEST_F(RegistryFix, EachCategoryRemovesWhatItFound) {
    std::vector<TDataRegItems> rows = ScanAll();
    ASSERT_EQ(rows.size(), 8u);
    // The user unticked "keep": it is not offered to the fix.
    std::erase_if(rows, [](const TDataRegItems& r) { return r.Name == L"keep"; });
    Outcomes outcomes;
    const WalkTotals totals = Fix(rows, outcomes);
    EXPECT_EQ(totals.done, 7u);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key / L"Shared", dir / L"gone.dll").type, 0xFFFFFFFFu);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key / L"Run\\Sub", L"start").type, 0xFFFFFFFFu);
    EXPECT_NE(ReadValue(HKEY_CURRENT_USER, key / L"Run\\Sub", L"keep").type, 0xFFFFFFFFu);
    EXPECT_FALSE(KeyThere(HKEY_CURRENT_USER, key / L"Uninstall\\Gone"));
    EXPECT_TRUE(KeyThere(HKEY_CURRENT_USER, key / L"Uninstall"));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key / L"Data\\App", L"file").type, 0xFFFFFFFFu);
    // The unnamed value is emptied and its key stays.
    const auto emptied = ReadValue(HKEY_CURRENT_USER, key / L"Data\\App", L"");
    EXPECT_EQ(emptied.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(emptied.data, std::vector<BYTE>(2, 0));
}

// The preview is the same walk: it names exactly the rows the fix then takes, in its order, and
// changes nothing.
TEST_F(RegistryFix, PreviewListsExactlyWhatTheFixTakes) {
    const std::vector<TDataRegItems> rows = ScanAll();
    Outcomes preview, apply;
    const WalkTotals listed = Fix(rows, preview, WalkMode::Preview);
    EXPECT_EQ(listed.listed, rows.size());
    EXPECT_NE(ReadValue(HKEY_CURRENT_USER, key / L"Run\\Sub", L"start").type, 0xFFFFFFFFu);
    EXPECT_TRUE(KeyThere(HKEY_CURRENT_USER, key / L"Uninstall\\Gone"));
    Fix(rows, apply);
    ASSERT_EQ(preview.seen.size(), apply.seen.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(preview.seen[i].first, apply.seen[i].first);
        EXPECT_EQ(preview.seen[i].second, Outcome::Listed);
        EXPECT_EQ(apply.seen[i].second, Outcome::Done) << i;
    }
}

TEST_F(RegistryFix, AProgramBackSinceTheScanKeepsItsEntries) {
    const std::vector<TDataRegItems> rows = ScanAll();
    // Reinstalled meanwhile: every file the findings name is there again.
    for (const wchar_t* name : {L"gone.dll", L"gone.exe", L"gone2.exe", L"gone.txt", L"gone2.txt", L"gone3.txt", L"gone4.txt"})
        test::WriteFileText(dir / name, "back");
    Outcomes outcomes;
    const WalkTotals totals = Fix(rows, outcomes);
    EXPECT_EQ(totals.missing, rows.size());
    EXPECT_EQ(totals.done, 0u);
    EXPECT_NE(ReadValue(HKEY_CURRENT_USER, key / L"Shared", dir / L"gone.dll").type, 0xFFFFFFFFu);
    EXPECT_TRUE(KeyThere(HKEY_CURRENT_USER, key / L"Uninstall\\Gone\\Parts"));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key / L"Data\\App", L"").data.size(), ((dir / L"gone2.txt").size() + 1) * 2);
}

TEST_F(RegistryFix, RowsThatNameNoExactKeyAreRefused) {
    TDataRegItems row;
    row.Root = HKEY_CURRENT_USER;
    row.Category = 2;
    row.KeyPath = L"\\";
    row.Name = L"Software";  // would be HKEY_CURRENT_USER\Software
    EXPECT_EQ(FixRegistryItem(row, probe), Outcome::Refused);
    row.KeyPath = L"\\" + key.path() + L"\\\\Uninstall";
    row.Name = L"Gone";
    EXPECT_EQ(FixRegistryItem(row, probe), Outcome::Refused);
    row.Root = nullptr;
    EXPECT_EQ(FixRegistryItem(row, probe), Outcome::Refused);
    EXPECT_TRUE(KeyThere(HKEY_CURRENT_USER, L"Software"));
}

// Everything below the scratch key, value by value, for comparing before and after.
void Snapshot(HKEY root, const std::wstring& path, std::vector<std::pair<std::wstring, test::StoredValue>>& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    out.push_back({L"[" + path + L"]", {}});
    std::vector<std::wstring> names, subKeys;
    EnumValueNames(key, names);
    EnumSubKeyNames(key, subKeys);
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    std::sort(subKeys.begin(), subKeys.end());
    for (const auto& name : names) out.push_back({path + L"|" + name, ReadValue(root, path, name)});
    for (const auto& sub : subKeys) Snapshot(root, path + L"\\" + sub, out);
}

TEST_F(RegistryFix, TheBackupImportsBackWhatTheFixRemoved) {
    std::vector<std::pair<std::wstring, test::StoredValue>> before, after;
    Snapshot(HKEY_CURRENT_USER, key.path(), before);
    const std::vector<TDataRegItems> rows = ScanAll();
    const std::wstring file = dir / L"backup.reg";
    ASSERT_TRUE(WriteRegistryBackup(file, rows));
    std::ifstream in(file.c_str(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFEW\0", 4));  // UTF-16 LE with its mark

    Outcomes outcomes;
    EXPECT_EQ(Fix(rows, outcomes).done, rows.size());
    const test::ProcessResult imported = test::RunProcess(L"regedit.exe /s \"" + file + L"\"");
    EXPECT_EQ(imported.exitCode, 0u);
    Snapshot(HKEY_CURRENT_USER, key.path(), after);
    EXPECT_EQ(after, before);
}

TEST_F(RegistryFix, NoBackupWhenAnEntryCannotBeRead) {
    std::vector<TDataRegItems> rows = ScanAll();
    TDataRegItems gone = rows.front();
    gone.Name = L"no such value";
    gone.Category = 0;
    rows.push_back(gone);
    const std::wstring file = dir / L"backup.reg";
    EXPECT_FALSE(WriteRegistryBackup(file, rows));
    EXPECT_FALSE(test::PathExists(file));
}

}  // namespace
}  // namespace tidemark

#include <windows.h>
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "common/test_support.h"
#include "removal/removal_service.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/change_recorder.h"
#include "system/reg_text.h"
#include "undo/journal.h"

namespace tidemark {
namespace {

const std::wstring kKey = L"Software\\TidemarkTests\\Undo";

void SetValue(const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    UniqueHKey handle = CreateRegKey(HKEY_CURRENT_USER, key, KEY_ALL_ACCESS);
    ASSERT_TRUE(handle);
    ASSERT_EQ(RegSetValueExW(handle.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

std::wstring TreeText(const std::wstring& key) {
    std::wstring text;
    AppendRegKeyTree(HKEY_CURRENT_USER, key, text);
    return text;
}

class JournalTest : public testing::Test {
protected:
    void SetUp() override {
        // Every shape the registry editor's text must carry exactly.
        const wchar_t plain[] = L"C:\\Program Files\\a \"quoted\" thing.exe";
        SetValue(kKey, L"", REG_SZ, plain, sizeof plain);
        SetValue(kKey, L"Plain", REG_SZ, plain, sizeof plain);
        const wchar_t unterminated[] = {L'a', L'b'};
        SetValue(kKey, L"No terminator", REG_SZ, unterminated, sizeof unterminated);
        const wchar_t expand[] = L"%SystemRoot%\\x.dll";
        SetValue(kKey, L"Expand", REG_EXPAND_SZ, expand, sizeof expand);
        const wchar_t multi[] = L"one\0two\0";
        SetValue(kKey, L"Multi", REG_MULTI_SZ, multi, sizeof multi);
        const DWORD number = 0xDEADBEEF;
        SetValue(kKey, L"Number", REG_DWORD, &number, sizeof number);
        const unsigned long long wide = 0x0123456789ABCDEFull;
        SetValue(kKey, L"Wide", REG_QWORD, &wide, sizeof wide);
        std::string bytes(300, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
        SetValue(kKey + L"\\Deeper", L"Blob", REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
        SetValue(kKey + L"\\Deeper", L"Empty", REG_BINARY, nullptr, 0);
        SetValue(kKey + L"\\Deeper\\Deepest", L"中文名", REG_SZ, L"值", 4);
        journal_ = Journal(scratch_ / L"Journal");
    }
    void TearDown() override { SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TidemarkTests\\Undo"); }

    RemovalService Service() const { return RemovalService(std::make_shared<const ProtectedPlaces>()); }

    test::ScratchDir scratch_;
    Journal journal_{L""};
};

TEST_F(JournalTest, RegistryItemsComeBackExactly) {
    const std::wstring before = TreeText(kKey);
    ASSERT_NE(before.find(L"hex(b):"), std::wstring::npos) << "the fixture holds a QWORD";
    std::wstring id;
    {
        auto run = journal_.Begin(L"reg fix");
        ASSERT_TRUE(run);
        id = run->Id();
        const RemovalService service = Service().Recorded(*run);
        for (const wchar_t* name : {L"", L"Plain", L"No terminator", L"Expand", L"Multi", L"Number", L"Wide"})
            EXPECT_EQ(service.RemoveRegValue(HKEY_CURRENT_USER, kKey, name).Result, Outcome::Done) << test::Narrow(name);
        // Named below a parent key opened by the caller, as the plug-in clean does for the
        // current user's own hive: the journal names it from its root.
        UniqueHKey parent = OpenRegKey(HKEY_CURRENT_USER, kKey, KEY_READ);
        ASSERT_TRUE(parent);
        EXPECT_EQ(service.RemoveRegKeyTree(parent.get(), L"Deeper").Result, Outcome::Done);
        // Nothing there: nothing recorded.
        EXPECT_EQ(service.RemoveRegValue(HKEY_CURRENT_USER, kKey, L"Never").Result, Outcome::Missing);
        EXPECT_EQ(run->Items(), 8u);
    }
    EXPECT_EQ(TreeText(kKey), L"[HKEY_CURRENT_USER\\" + kKey + L"]\r\n\r\n");

    const auto entry = journal_.Load(id);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->Command, L"reg fix");
    ASSERT_EQ(entry->Items.size(), 8u);
    EXPECT_EQ(entry->Items[7].Kind, JournalKind::Key);
    EXPECT_GT(entry->Bytes, 0u);

    // One item first: the rest stays in the journal.
    auto restored = journal_.Restore(id, {1}, nullptr);
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored[0].Result, RestoreResult::Restored);
    EXPECT_EQ(journal_.Load(id)->Items.size(), 7u);
    // Then the rest: the entry goes with its last item.
    restored = journal_.Restore(id, {}, nullptr);
    ASSERT_EQ(restored.size(), 7u);
    for (const RestoredItem& r : restored) EXPECT_EQ(r.Result, RestoreResult::Restored) << r.Item.Index;
    EXPECT_EQ(TreeText(kKey), before);
    EXPECT_FALSE(journal_.Load(id));
    EXPECT_TRUE(journal_.List().empty());
}

TEST_F(JournalTest, FilesMoveIntoTheStoreAndBackWithTheirMarksAndTimes) {
    const std::wstring file = scratch_ / L"深\\lib.dll", again = scratch_ / L"again.dat";
    ASSERT_TRUE(test::WriteFileText(file, std::string(100000, 'x') + "end", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(test::WriteFileText(again, "first"));
    WIN32_FILE_ATTRIBUTE_DATA was{};
    {
        UniqueHandle h(CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        const FILETIME old{0x12345678, 0x01C00000};
        SetFileTime(h.get(), &old, nullptr, &old);
    }
    ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &was));

    std::wstring id;
    {
        auto run = journal_.Begin(L"plugins clean");
        ASSERT_TRUE(run);
        id = run->Id();
        const RemovalService service = Service().Recorded(*run);
        EXPECT_EQ(service.RemoveFile(file).Result, Outcome::Done);
        EXPECT_EQ(service.RemoveFile(again).Result, Outcome::Done);
        EXPECT_EQ(service.RemoveFile(scratch_ / L"none.dll").Result, Outcome::Missing);
    }
    EXPECT_FALSE(test::PathExists(file));
    const auto entry = journal_.Load(id);
    ASSERT_TRUE(entry);
    ASSERT_EQ(entry->Items.size(), 2u);
    EXPECT_EQ(entry->Items[0].Size, 100003u);
    EXPECT_EQ(entry->Items[0].Sha256.size(), 64u);
    // The second file's place is taken again meanwhile: that item stays in the journal.
    ASSERT_TRUE(test::WriteFileText(again, "second"));

    const auto restored = journal_.Restore(id, {}, [](const std::wstring&) { return true; });
    ASSERT_EQ(restored.size(), 2u);
    EXPECT_EQ(restored[0].Result, RestoreResult::Restored);
    EXPECT_EQ(restored[1].Result, RestoreResult::Kept);
    EXPECT_EQ(ReadFileBytes(file), std::string(100000, 'x') + "end");
    EXPECT_EQ(ReadFileBytes(again), "second");
    WIN32_FILE_ATTRIBUTE_DATA now{};
    ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &now));
    EXPECT_EQ(now.dwFileAttributes, was.dwFileAttributes);
    EXPECT_EQ(CompareFileTime(&now.ftLastWriteTime, &was.ftLastWriteTime), 0);
    EXPECT_EQ(CompareFileTime(&now.ftCreationTime, &was.ftCreationTime), 0);
    const auto left = journal_.Load(id);
    ASSERT_TRUE(left);
    ASSERT_EQ(left->Items.size(), 1u);
    EXPECT_EQ(left->Items[0].Path, again);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(JournalTest, ARunWhoseJournalCannotBeWrittenChangesNothing) {
    // The journal's folder is taken by a file.
    ASSERT_TRUE(test::WriteFileText(scratch_ / L"Blocked", "x"));
    std::wstring why;
    EXPECT_FALSE(Journal(scratch_ / L"Blocked").Begin(L"reg fix", &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(Journal(L"").Begin(L"reg fix"));

    // A run whose store is gone mid-way: the item is not touched.
    auto run = journal_.Begin(L"reg fix");
    ASSERT_TRUE(run);
    const std::wstring folder = journal_.Folder() + L"\\" + run->Id();
    ASSERT_TRUE(RemoveFolderTree(folder));
    ASSERT_TRUE(test::WriteFileText(folder, "not a folder"));
    const std::wstring file = scratch_ / L"stays.dll";
    ASSERT_TRUE(test::WriteFileText(file, "x"));
    const RemovalService service = Service().Recorded(*run);
    const Removal value = service.RemoveRegValue(HKEY_CURRENT_USER, kKey, L"Plain");
    EXPECT_EQ(value.Result, Outcome::Failed);
    EXPECT_EQ(value.Error, static_cast<unsigned long>(ERROR_CANNOT_MAKE));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kKey, L"Plain"));
    EXPECT_EQ(service.RemoveRegKeyTree(HKEY_CURRENT_USER, kKey + L"\\Deeper").Result, Outcome::Failed);
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kKey + L"\\Deeper"));
    EXPECT_EQ(service.RemoveFile(file).Result, Outcome::Failed);
    EXPECT_TRUE(test::PathExists(file));
    DeleteFileW(folder.c_str());
}

// What the repairs do: values written over or made, a tree imported over, a file rewritten in
// place, a folder removed through the process's service. One restore brings back the state
// before the run, whatever was written in between.
TEST_F(JournalTest, WritesOverValuesTreesAndFilesArePutBackAsTheyWereBeforeTheRun) {
    const std::wstring before = TreeText(kKey);
    const std::wstring file = scratch_ / L"hosts", folder = scratch_ / L"Rogue";
    ASSERT_TRUE(test::WriteFileText(file, "127.0.0.1 localhost\r\n1.2.3.4 bad.example\r\n"));
    ASSERT_TRUE(test::WriteFileText(folder + L"\\sub\\a.dat", "a"));
    std::wstring id;
    {
        auto run = journal_.Begin(L"repair run");
        ASSERT_TRUE(run);
        id = run->Id();
        const ScopedJournal recording(*run);
        EXPECT_TRUE(RegWriteTextIfText(HKEY_CURRENT_USER, kKey, L"Plain", L"first"));
        EXPECT_TRUE(RegWriteTextIfText(HKEY_CURRENT_USER, kKey, L"Plain", L"second"));  // recorded once
        EXPECT_TRUE(RegWriteTextIfText(HKEY_CURRENT_USER, kKey, L"Fresh", L"made by the run"));
        EXPECT_TRUE(RegEnsureInt(HKEY_CURRENT_USER, kKey, L"Number", 7));
        EXPECT_TRUE(RegEnsureInt(HKEY_CURRENT_USER, kKey, L"Number", 7));  // no change: nothing recorded
        ASSERT_TRUE(RecordKeyTreeWrite(HKEY_CURRENT_USER, kKey + L"\\Deeper"));
        SHDeleteKeyW(HKEY_CURRENT_USER, (kKey + L"\\Deeper\\Deepest").c_str());
        SetValue(kKey + L"\\Deeper", L"Added", REG_SZ, L"x", 4);
        ASSERT_TRUE(RecordFileRewrite(file));
        ASSERT_TRUE(RecordFileRewrite(file));
        ASSERT_TRUE(test::WriteFileText(file, "127.0.0.1 localhost\r\n"));
        EXPECT_EQ(ProcessRemovalService().RemoveFolderTree(folder).Result, Outcome::Done);
        EXPECT_EQ(run->Items(), 6u);
    }
    EXPECT_FALSE(test::PathExists(folder));
    EXPECT_NE(TreeText(kKey), before);
    // Outside the scope nothing is recorded any more.
    EXPECT_EQ(ActiveChangeRecorder(), nullptr);

    const auto restored = journal_.Restore(id, {}, [](const std::wstring&) { return true; });
    ASSERT_EQ(restored.size(), 6u);
    for (const RestoredItem& r : restored) EXPECT_EQ(r.Result, RestoreResult::Restored) << r.Item.Index;
    EXPECT_EQ(TreeText(kKey), before);
    EXPECT_EQ(ReadFileBytes(file), "127.0.0.1 localhost\r\n1.2.3.4 bad.example\r\n");
    EXPECT_EQ(ReadFileBytes(folder + L"\\sub\\a.dat"), "a");
    EXPECT_FALSE(journal_.Load(id));
}

TEST(JournalIndex, DamagedOrForeignIndexesAreNeverTrusted) {
    JournalEntry entry;
    entry.Id = L"20261211-013512";
    entry.Time = L"2026-12-11T01:35:12";
    entry.Command = L"reg fix";
    JournalItem value;
    value.Kind = JournalKind::Value;
    value.Root = L"HKEY_CURRENT_USER";
    value.Key = L"Software\\X";
    value.Name = L"名";
    value.Data = L"0.reg";
    entry.Items.push_back(value);
    const std::string good = JournalIndexText(entry);
    const auto parsed = ParseJournalIndex(good);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Items.at(0).Name, L"名");
    EXPECT_EQ(JournalIndexText(*parsed), good);

    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    const std::string bad[] = {
        "",
        "{",
        "[]",
        good.substr(0, good.size() / 2),
        replaced("\"tidemark_journal\": 1", "\"tidemark_journal\": 2"),
        replaced("20261211-013512", "..\\\\..\\\\x"),
        replaced("\"0.reg\"", "\"..\\\\..\\\\boot.ini\""),
        replaced("\"0.reg\"", "\"C:\\\\x.reg\""),
        replaced("\"value\"", "\"program\""),
        replaced("HKEY_CURRENT_USER", "HKEY_NOWHERE"),
        replaced("\"key\": \"Software\\\\X\"", "\"key\": \"\""),              // a root alone
        replaced("\"key\": \"Software\\\\X\"", "\"key\": \"Software\\\\\\\\X\""),  // an empty part
        replaced("\"item\": 0", "\"item\": \"zero\""),
    };
    for (const std::string& text : bad) EXPECT_FALSE(ParseJournalIndex(text)) << text;
}

TEST_F(JournalTest, DamagedEntriesAreListedApartAndPurgeKeepsTheNewestWithinItsBudget) {
    std::vector<std::wstring> ids;
    for (int i = 0; i < 3; ++i) {
        auto run = journal_.Begin(L"reg fix");
        ASSERT_TRUE(run);
        ids.push_back(run->Id());
        SetValue(kKey, L"V", REG_SZ, L"v", 4);
        EXPECT_EQ(Service().Recorded(*run).RemoveRegValue(HKEY_CURRENT_USER, kKey, L"V").Result, Outcome::Done);
    }
    ASSERT_TRUE(test::WriteFileText(journal_.Folder() + L"\\20260101-000000\\index.json", "{\"id\": 1}"));
    std::vector<std::wstring> damaged;
    const auto entries = journal_.List(&damaged);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Id, ids[2]);  // newest first
    EXPECT_EQ(damaged, std::vector<std::wstring>{L"20260101-000000"});

    // By size: only the newest fits.
    auto removed = journal_.Purge(kJournalDays, entries[0].Bytes, FileTimeNow());
    EXPECT_EQ(removed.size(), 2u);
    ASSERT_EQ(journal_.List().size(), 1u);
    EXPECT_EQ(journal_.List()[0].Id, ids[2]);
    // By age: 31 days on, it goes too.
    removed = journal_.Purge(kJournalDays, kJournalBytes, FileTimeNow() + 31ull * 864000000000ull);
    EXPECT_EQ(removed.size(), 1u);
    EXPECT_TRUE(journal_.List().empty());
}

}  // namespace
}  // namespace tidemark

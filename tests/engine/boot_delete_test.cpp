#include <gtest/gtest.h>

#include <windows.h>

#include "common/test_support.h"
#include "engine/boot_checksum.h"
#include "engine/boot_delete.h"
#include "engine/md5.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/win_info.h"

#include "cleandos_digest.h"

namespace tidemark {
namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

TEST(BootExecute, TheFirstToolEntryIsReplaced) {
    using L = std::vector<std::wstring>;
    const struct { L before; L after; } cases[] = {
        {{L"autocheck autochk *", L"cleandos 17"}, {L"autocheck autochk *", L"cleandos 52"}},
        {{L"cleandos 17"}, {L"autocheck autochk *", L"cleandos 52"}},
        {{L"autocheck autochk *", L"CleanDos 5", L"cleandos 9"}, {L"autocheck autochk *", L"cleandos 9", L"cleandos 52"}},
        {{L"autocheck autochk *"}, {L"autocheck autochk *", L"cleandos 52"}},
        {{}, {L"autocheck autochk *", L"cleandos 52"}},
        {{L"  \tCLEANDOS 3"}, {L"autocheck autochk *", L"cleandos 52"}},
        {{L"xcleandos 3"}, {L"xcleandos 3", L"cleandos 52"}},
    };
    for (const auto& c : cases) EXPECT_EQ(NextBootExecute(c.before, 52), c.after) << testing::PrintToString(c.before);
}

// The boot-execute value and the tool of the system folder, put back after each test.
class CommitTest : public testing::Test {
protected:
    void SetUp() override {
        UniqueHKey key;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()), ERROR_SUCCESS);
        DWORD size = 0;
        if (RegQueryValueExW(key.get(), L"BootExecute", nullptr, &savedType_, nullptr, &size) == ERROR_SUCCESS) {
            saved_.resize(size);
            RegQueryValueExW(key.get(), L"BootExecute", nullptr, &savedType_, saved_.data(), &size);
            hadValue_ = true;
        }
        tool_ = GetWinInfo().SystemDir + L"\\cleandos.exe";
        DeleteFileW(tool_.c_str());
        const ResourceBytes embedded = FindResourceBytes(nullptr, L"FILE", L"DOSTOOL");
        ASSERT_TRUE(embedded.found);
        digest_ = Md5HexOf(embedded.data, embedded.size);
        embeddedSize_ = embedded.size;
    }
    void TearDown() override {
        UniqueHKey key;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put());
        if (hadValue_) RegSetValueExW(key.get(), L"BootExecute", 0, savedType_, saved_.data(), static_cast<DWORD>(saved_.size()));
        else RegDeleteValueW(key.get(), L"BootExecute");
        DeleteFileW(tool_.c_str());
    }
    static void SetBootExecute(const std::wstring& multi) {
        UniqueHKey key;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put());
        RegSetValueExW(key.get(), L"BootExecute", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi.data()),
                       static_cast<DWORD>(multi.size() * sizeof(wchar_t)));
    }
    static std::wstring BootExecute(DWORD* type = nullptr) {
        UniqueHKey key;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put());
        DWORD size = 0, t = 0;
        RegQueryValueExW(key.get(), L"BootExecute", nullptr, &t, nullptr, &size);
        std::wstring data(size / sizeof(wchar_t), L'\0');
        RegQueryValueExW(key.get(), L"BootExecute", nullptr, &t, reinterpret_cast<BYTE*>(data.data()), &size);
        if (type) *type = t;
        return data;
    }

    std::vector<BYTE> saved_;
    DWORD savedType_ = REG_MULTI_SZ;
    bool hadValue_ = false;
    std::wstring tool_;
    std::string digest_;
    unsigned long embeddedSize_ = 0;
};

TEST_F(CommitTest, WritesListToolAndBootEntry) {
    test::ScratchDir dir;
    BootList list(dir / L"cleandos.lst");
    list.Record(BootRecordFile, L"C:\\a.dll");
    SetBootExecute(std::wstring(L"autocheck autochk *\0cleandos 17\0\0", 33));
    EXPECT_EQ(CommitBootDeleteWith(list, digest_, 3), BootCommitResult::Committed);

    DWORD type = 0;
    const std::wstring expected(L"autocheck autochk *\0cleandos 52\0\0", 33);
    EXPECT_EQ(BootExecute(&type), expected);  // the exact length: every string, its zero, one more
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(FileSizeByFind(dir / L"cleandos.lst"), 11u);  // "FC:\a.dll" CR LF
    EXPECT_TRUE(FileMatchesMD5(digest_, tool_));
}

TEST_F(CommitTest, ToolRewrittenOnlyWhenItsDigestDiffers) {
    test::ScratchDir dir;
    BootList list(dir / L"cleandos.lst");
    list.Record(BootRecordFolder, L"C:\\junk");
    SetBootExecute(std::wstring(L"autocheck autochk *\0\0", 21));
    ASSERT_EQ(CommitBootDeleteWith(list, digest_, 3), BootCommitResult::Committed);
    ASSERT_TRUE(FileMatchesMD5(digest_, tool_));
    // The matching tool is kept as it is: a write time set far back does not move.
    FILETIME before{}, after{};
    SYSTEMTIME old{2001, 1, 1, 1, 12, 0, 0, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&old, &before));
    {
        UniqueHandle h(CreateFileW(tool_.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(SetFileTime(h.get(), nullptr, nullptr, &before));
    }
    EXPECT_EQ(CommitBootDeleteWith(list, digest_, 4), BootCommitResult::Committed);
    {
        UniqueHandle h(CreateFileW(tool_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        GetFileTime(h.get(), nullptr, nullptr, &after);
    }
    EXPECT_EQ(CompareFileTime(&before, &after), 0);
    // A file of other content is replaced.
    ASSERT_TRUE(test::WriteFileText(tool_, "tampered"));
    EXPECT_EQ(CommitBootDeleteWith(list, digest_, 3), BootCommitResult::Committed);
    EXPECT_TRUE(FileMatchesMD5(digest_, tool_));
    EXPECT_EQ(FileSizeByFind(tool_), embeddedSize_);
}

TEST_F(CommitTest, NothingHappensForAnEmptyListOrOlderSystems) {
    test::ScratchDir dir;
    const std::wstring before(L"autocheck autochk *\0\0", 21);
    SetBootExecute(before);
    BootList empty(dir / L"empty.lst");
    EXPECT_EQ(CommitBootDeleteWith(empty, digest_, 3), BootCommitResult::NotNeeded);
    EXPECT_FALSE(test::PathExists(tool_));  // missing, and not extracted
    EXPECT_FALSE(test::PathExists(dir / L"empty.lst"));
    BootList list(dir / L"cleandos.lst");
    list.Record(BootRecordFile, L"C:\\a.dll");
    for (int kind : {0, 1, 2}) EXPECT_EQ(CommitBootDeleteWith(list, digest_, kind), BootCommitResult::NotNeeded);
    EXPECT_FALSE(test::PathExists(dir / L"cleandos.lst"));
    EXPECT_EQ(BootExecute(), before);
}

// Each way a commit can fall short leaves the boot entry as it was and says which it was.
TEST_F(CommitTest, BootExecuteChangesOnlyOverASavedListAndTheRightTool) {
    test::ScratchDir dir;
    const std::wstring before(L"autocheck autochk *\0cleandos 17\0\0", 33);
    SetBootExecute(before);
    BootList list(dir / L"cleandos.lst");
    ASSERT_EQ(list.Record(BootRecordFile, L"C:\\a.dll"), BootRecordResult::Added);

    // The list's place is taken by a folder: it cannot be saved, and no tool is written.
    ASSERT_TRUE(test::MakeDirs(dir / L"cleandos.lst"));
    EXPECT_EQ(CommitBootDeleteWith(list, digest_, 3), BootCommitResult::ListNotSaved);
    EXPECT_FALSE(test::PathExists(tool_));
    EXPECT_EQ(BootExecute(), before);
    ASSERT_TRUE(RemoveDirectoryW((dir / L"cleandos.lst").c_str()));

    // The written tool is not the expected one (a digest of other bytes, or none at all).
    EXPECT_EQ(CommitBootDeleteWith(list, std::string(32, '0'), 3), BootCommitResult::ToolNotWritten);
    EXPECT_EQ(CommitBootDeleteWith(list, "", 3), BootCommitResult::ToolNotWritten);
    EXPECT_EQ(BootExecute(), before);
    ASSERT_TRUE(DeleteFileW(tool_.c_str()));

    // The tool's place is taken by a folder: nothing can be written there.
    ASSERT_TRUE(CreateDirectoryW(tool_.c_str(), nullptr));
    EXPECT_EQ(CommitBootDeleteWith(list, digest_, 3), BootCommitResult::ToolNotWritten);
    EXPECT_EQ(BootExecute(), before);
    ASSERT_TRUE(RemoveDirectoryW(tool_.c_str()));

    // A boot entry that is not a string list is not rewritten as one.
    {
        UniqueHKey key;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put()), ERROR_SUCCESS);
        const wchar_t text[] = L"autocheck autochk *";
        ASSERT_EQ(RegSetValueExW(key.get(), L"BootExecute", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
                  ERROR_SUCCESS);
    }
    EXPECT_EQ(CommitBootDeleteWith(list, digest_, 3), BootCommitResult::BootEntryNotWritten);
    DWORD type = 0;
    EXPECT_EQ(BootExecute(&type), std::wstring(L"autocheck autochk *\0", 20));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
}

TEST(BootTool, TheProgramCarriesTheToolItsDigestNames) {
    const std::wstring program = test::ExeDir() + L"\\..\\..\\src\\app\\Tidemark.exe";
    UniqueLibrary module(LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module) << testing::PrintToString(program);
    const ResourceBytes tool = FindResourceBytes(module.get(), L"FILE", L"DOSTOOL");
    ASSERT_TRUE(tool.found);
    EXPECT_EQ(Md5HexOf(tool.data, tool.size), TM_CLEANDOS_MD5);
    // A native image: "MZ", and the optional header's subsystem is 1.
    const auto* bytes = static_cast<const unsigned char*>(tool.data);
    ASSERT_GT(tool.size, 0x100u);
    EXPECT_EQ(bytes[0], 'M');
    const std::uint32_t pe = bytes[0x3C] | (bytes[0x3D] << 8);
    ASSERT_LT(pe + 0x5Cu, tool.size);
    EXPECT_EQ(bytes[pe + 0x18 + 0x44], 1);  // IMAGE_SUBSYSTEM_NATIVE
}

}  // namespace
}  // namespace tidemark

// The registry editor run through the shell: the folder of an imported file is free again once
// the editor has ended, and the caller's current folder stays its own.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/test_support.h"
#include "system/reg_editor.h"
#include "system/reg_paths.h"

namespace tidemark {
namespace {

std::wstring CurrentFolder() {
    wchar_t folder[MAX_PATH * 2] = {};
    GetCurrentDirectoryW(MAX_PATH * 2, folder);
    return folder;
}

TEST(RegEditor, ImportLeavesTheFilesFolderFreeWhereverTheCallerStands) {
    const std::wstring own = CurrentFolder();
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    // A drive's folder, and a Linux folder outside every drive, where a program started from a
    // Linux shell stands: Wine's shell cannot move such a caller back by itself.
    const struct { const wchar_t* start; bool kept; } cases[] = {
        {temp, true},
        {L"\\\\?\\unix\\tmp", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(test::Narrow(c.start));
        if (!SetCurrentDirectoryW(c.start)) {
            ASSERT_FALSE(c.kept);
            GTEST_SKIP() << "no folder outside the drives";
        }
        const std::wstring before = CurrentFolder();
        test::ScratchKey key;
        test::ScratchDir dir;
        const std::wstring folder = dir / L"import";
        const std::wstring file = folder + L"\\value.reg";
        ASSERT_TRUE(test::WriteFileText(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + test::Narrow(key.path()) +
                                                  "]\r\n\"Imported\"=\"yes\"\r\n"));
        EXPECT_TRUE(ImportRegFile(file));
        EXPECT_TRUE(RegValueExists(key.root(), key.path(), L"Imported"));
        EXPECT_NE(CurrentFolder(), folder);
        if (c.kept) {
            EXPECT_EQ(CurrentFolder(), before);
        }
        ASSERT_TRUE(DeleteFileW(file.c_str()));
        EXPECT_TRUE(RemoveDirectoryW(folder.c_str())) << GetLastError();
        SetCurrentDirectoryW(own.c_str());
    }
}

}  // namespace
}  // namespace tidemark

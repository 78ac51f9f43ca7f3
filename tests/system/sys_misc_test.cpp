#include <gtest/gtest.h>

#include <windows.h>

#include "common/test_support.h"
#include "system/sys_misc.h"

namespace tidemark {
namespace {

TEST(ProcessInfoPage, AddressCarriesTheFileNameAsItIs) {
    const struct { const wchar_t* path; const wchar_t* url; } cases[] = {
        {L"C:\\WINDOWS\\system32\\svchost.exe", L"http://www.corvane.com/process/search.html?k=svchost.exe"},
        {L"notepad.exe", L"http://www.corvane.com/process/search.html?k=notepad.exe"},
        {L"C:\\Program Files\\My App\\my app.exe",
         L"http://www.corvane.com/process/search.html?k=my app.exe"},  // unescaped
        {L"C:\\中文\\程序.exe", L"http://www.corvane.com/process/search.html?k=程序.exe"},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(ProcessInfoPageUrl(c.path), c.url);
}

TEST(ClearUrlHistory, TheHistoryStoreExists) { EXPECT_TRUE(ClearUrlHistory()); }

// The test prefix runs everything as an administrator: the token's own answer says so.
TEST(AdminRights, TheSystemsAnswerAndAStandIn) {
    EXPECT_TRUE(HasAdminRights());
    {
        const test::ScopedAdminRights without(false);
        EXPECT_FALSE(HasAdminRights());
    }
    EXPECT_TRUE(HasAdminRights());
}

TEST(AdminRights, OnlyARefusalWithoutRightsNeedsThem) {
    const struct {
        unsigned long error;
        bool admin, needs;
    } cases[] = {
        {ERROR_ACCESS_DENIED, false, true},
        {ERROR_PRIVILEGE_NOT_HELD, false, true},
        {ERROR_SHARING_VIOLATION, false, false},
        {ERROR_FILE_NOT_FOUND, false, false},
        {ERROR_SUCCESS, false, false},
        {ERROR_ACCESS_DENIED, true, false},
        {ERROR_PRIVILEGE_NOT_HELD, true, false},
    };
    for (const auto& c : cases) {
        const test::ScopedAdminRights rights(c.admin);
        EXPECT_EQ(NeedsAdminRights(c.error), c.needs) << c.error << (c.admin ? " as administrator" : "");
    }
}

// Every live tally counts a refusal that needs rights, and nothing else; TakeNew hands each
// refusal over once.
TEST(AdminRights, TalliesCountTheRefusalsThatNeedRights) {
    const test::ScopedAdminRights without(false);
    NoteRefusal(ERROR_ACCESS_DENIED);  // no tally lives: nowhere to count
    AdminRefusalTally outer;
    NoteRefusal(ERROR_ACCESS_DENIED);
    NoteRefusal(ERROR_SHARING_VIOLATION);
    {
        AdminRefusalTally inner;
        NoteRefusal(ERROR_PRIVILEGE_NOT_HELD);
        NoteRefusal(ERROR_ACCESS_DENIED);
        EXPECT_EQ(inner.TakeNew(), 2u);
        EXPECT_EQ(inner.TakeNew(), 0u);
        NoteRefusal(ERROR_ACCESS_DENIED);
        EXPECT_EQ(inner.TakeNew(), 1u);
        EXPECT_EQ(inner.Total(), 3u);
    }
    {
        const test::ScopedAdminRights with(true);
        NoteRefusal(ERROR_ACCESS_DENIED);  // a plain failure for an administrator
    }
    NoteRefusal(ERROR_ACCESS_DENIED);
    EXPECT_EQ(outer.Total(), 5u);
    EXPECT_EQ(outer.TakeNew(), 5u);
}

}  // namespace
}  // namespace tidemark

#include <gtest/gtest.h>

#include "core/startup_context.h"

namespace tidemark {
namespace {

TEST(UserHiveRedirect, OnlyForAnotherKnownUserOnTheNtFamily) {
    const struct {
        int kind;
        const wchar_t *process, *session, *key, *expected;
    } cases[] = {
        {3, L"admin", L"alice", L"S-1-5-21-1-1000", L"S-1-5-21-1-1000"},
        {2, L"admin", L"alice", L"S-1-5-21-1-1000", L"S-1-5-21-1-1000"},
        {3, L"alice", L"alice", L"S-1-5-21-1-1000", L""},
        {3, L"Alice", L"alice", L"S-1-5-21-1-1000", L"S-1-5-21-1-1000"},  // compared exactly
        {3, L"admin", L"alice", L"", L""},                                 // never HKEY_USERS itself
        {1, L"admin", L"alice", L"S-1-5-21-1-1000", L""},                  // the 9x family has one hive
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UserHiveRedirectKey(c.kind, c.process, c.session, c.key), c.expected)
            << c.kind << " " << testing::PrintToString(std::wstring(c.session));
    }
}

}  // namespace
}  // namespace tidemark

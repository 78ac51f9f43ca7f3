#include <gtest/gtest.h>

#include "system/text_util.h"

namespace tidemark {
namespace {

TEST(SplitToList, PiecesBetweenDelimiters) {
    struct Case { std::wstring text, delimiter; TextList expected; };
    const Case cases[] = {
        {L"a/b", L"/", {L"a", L"b"}},
        {L"a//b", L"/", {L"a", L"", L"b"}},            // two in a row: an empty entry between
        {L"a/", L"/", {L"a", L""}},                    // trailing delimiter: last entry empty
        {L"", L"/", {L""}},                            // empty text: one empty entry
        {L"abc", L"/", {L"abc"}},
        {L"c:\\x###d:\\y###", L"###", {L"c:\\x", L"d:\\y", L""}},
        {L"##a###b", L"###", {L"##a", L"b"}},
        {L"abc", L"", {L"abc"}},                       // an empty delimiter never loops
    };
    for (const auto& c : cases) {
        TextList list{L"kept"};
        SplitToList(c.text, list, c.delimiter);
        TextList expected{L"kept"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(list, expected) << "text: " << testing::PrintToString(c.text);
    }
}

TEST(SplitLastBackslash, SplitsAtTheLastOneAndLeavesBareNamesAlone) {
    std::wstring folder = L"old", name = L"old";
    SplitLastBackslash(L"C:\\a\\b\\file.txt", folder, name);
    EXPECT_EQ(folder, L"C:\\a\\b");
    EXPECT_EQ(name, L"file.txt");

    SplitLastBackslash(L"C:\\dir\\", folder, name);
    EXPECT_EQ(folder, L"C:\\dir");
    EXPECT_EQ(name, L"");

    folder = name = L"untouched";
    SplitLastBackslash(L"file.txt", folder, name);
    EXPECT_EQ(folder, L"untouched");
    EXPECT_EQ(name, L"untouched");
}

TEST(TextHelpers, CountCharAndExactMembership) {
    EXPECT_EQ(CountChar(L"a/b/c/", L'/'), 3);
    EXPECT_EQ(CountChar(L"", L'/'), 0);
    const TextList list{L"Alpha", L"beta", L""};
    EXPECT_TRUE(ListContains(list, L"Alpha"));
    EXPECT_FALSE(ListContains(list, L"alpha"));  // case-sensitive
    EXPECT_TRUE(ListContains(list, L""));
    EXPECT_FALSE(ListContains({}, L""));
}

}  // namespace
}  // namespace tidemark

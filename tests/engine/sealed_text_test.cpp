#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/sealed_text.h"
#include "engine/store_keys.h"

namespace tidemark {
namespace {

using Lines = std::vector<std::string>;

TEST(DefinitionKey, NumberModTwentyNineGivesThePosition) {
    const std::string source = kDefinitionKeySource;
    ASSERT_EQ(source.size(), 38u);
    const struct { const wchar_t* name; std::size_t position; } cases[] = {
        {L"V1", 1},  {L"V29", 1},  {L"V30", 1},   {L"V28", 28}, {L"V57", 28}, {L"V12", 12},
        {L"V12B", 12}, {L"V12b", 12}, {L"V1001", 15},  // 1001 = 34 * 29 + 15
        {L"V0", 1},  {L"V58", 1},  {L"V-5", 1},   {L"V-30", 1},
        {L"V", 1},   {L"", 1},     {L"VB", 1},    {L"Vx7", 1},  {L"V 7", 1},  {L"V7BB", 1},
        {L"V99999999999", 1},  // beyond an int: not a number
        {L"X+31", 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DefinitionKey(c.name, source), source.substr(c.position - 1, 8)) << testing::PrintToString(std::wstring(c.name));
}

TEST(SplitTextLines, EveryLineEndAndNoEmptyLastLine) {
    const struct { std::string text; Lines lines; } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\r", {"a", ""}},  // LF then CR: two line ends
        {"\r\n", {""}},
        {"\n\n", {"", ""}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitTextLines(c.text), c.lines) << testing::PrintToString(c.text);
}

// The stored format pinned down by an outside DES: "V1 test" zero-filled to 8 bytes, CBC with
// key and chaining value both "plumed.1".
TEST(SealedText, StoredFormatKnownAnswer) {
    const std::string sealed = SealText("V1 test", kFixedStoreKey);
    const unsigned char expected[8] = {0xb0, 0xe9, 0x08, 0xde, 0x48, 0x6c, 0x6d, 0x3c};
    EXPECT_EQ(sealed, std::string(reinterpret_cast<const char*>(expected), 8));
    EXPECT_EQ(ReadSealedText(sealed, kFixedStoreKey), Lines{"V1 test"});
}

TEST(SealedText, ZeroFillZeroCutAndPartialTail) {
    const std::string key = "{6B1E7C4";
    const struct { std::string text; std::size_t sealedSize; Lines lines; } cases[] = {
        {"Id=7\r\nName=xyz\r\n", 16, {"Id=7", "Name=xyz"}},  // a whole number of blocks: no fill
        {"Id=7\nName=xy", 16, {"Id=7", "Name=xy"}},
        {std::string("a\0b", 3), 8, {"a"}},              // the text ends at the first zero
        {"", 0, {}},
    };
    for (const auto& c : cases) {
        const std::string sealed = SealText(c.text, key);
        EXPECT_EQ(sealed.size(), c.sealedSize) << c.text;
        EXPECT_EQ(ReadSealedText(sealed, key), c.lines) << c.text;
        // A trailing partial block is left as stored.
        const std::string tail = "\x01zz";
        EXPECT_EQ(DecipherSealed(sealed + tail, key).substr(sealed.size()), tail);
    }
    // The text ends at the last whole block: a partial tail is never read as text.
    EXPECT_EQ(ReadSealedText(SealText("Id=7\nName=x", key) + "zz", key), (Lines{"Id=7", "Name=x"}));
    EXPECT_EQ(ReadSealedText(SealText("Id=7\r\nName=xyz\r\n", key) + "zz", key), (Lines{"Id=7", "Name=xyz"}));
}

}  // namespace
}  // namespace tidemark

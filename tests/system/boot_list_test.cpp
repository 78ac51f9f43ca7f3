#include <gtest/gtest.h>

#include "common/test_support.h"
#include "system/file_ops.h"
#include "engine/boot_checksum.h"
#include "system/boot_list.h"

namespace tidemark {
namespace {

TEST(BootList, RecordsTagsOnceIgnoringAsciiCase) {
    test::ScratchDir dir;
    BootList list(dir / L"cleandos.lst");
    EXPECT_TRUE(list.Record(BootRecordFile, L"C:\\x.dll"));
    EXPECT_FALSE(list.Record(BootRecordFile, L"c:\\X.DLL"));
    EXPECT_TRUE(list.Record(BootRecordFolder, L"C:\\dir"));
    EXPECT_TRUE(list.Record(BootRecordKey, L"HKLM\\SOFTWARE\\Bad"));
    EXPECT_FALSE(list.Record(BootRecordKeyAlso, L"hklm\\software\\bad"));
    EXPECT_TRUE(list.Record(BootRecordValue, L"HKLM\\SOFTWARE\\Run\\bad"));
    EXPECT_FALSE(list.Record(0, L"C:\\y"));
    EXPECT_FALSE(list.Record(6, L"C:\\y"));
    // Case is folded over A–Z only.
    EXPECT_TRUE(list.Record(BootRecordFile, L"C:\\Ä.dll"));
    EXPECT_TRUE(list.Record(BootRecordFile, L"C:\\ä.dll"));
    EXPECT_EQ(list.Lines(), (std::vector<std::wstring>{L"FC:\\x.dll", L"DC:\\dir", L"KHKLM\\SOFTWARE\\Bad",
                                                       L"VHKLM\\SOFTWARE\\Run\\bad", L"FC:\\Ä.dll", L"FC:\\ä.dll"}));
}

TEST(BootList, ChecksumOfTheLines) {
    EXPECT_EQ(BootListChecksum(std::vector<std::wstring>{L"FC:\\a.dll"}), 52u);  // 70 * 9 = 630
    EXPECT_EQ(BootListChecksum(std::vector<std::wstring>{}), 0u);
    EXPECT_EQ(BootListChecksum(std::vector<std::wstring>{L"", L"FC:\\a.dll", L""}), 52u);
    // The sum wraps at 32 bits before the division.
    std::vector<std::wstring> many(1, std::wstring(70000, L'\xFFFF'));
    many.push_back(std::wstring(70000, L'\xFFFF'));
    const std::uint32_t sum = static_cast<std::uint32_t>(0xFFFFull * 70000 * 2);
    EXPECT_EQ(BootListChecksum(many), (sum / 12) % 4096);
}

TEST(BootList, FileIsAnsiWithCrLfAndLoadsBackWithAnyMark) {
    test::ScratchDir dir;
    {
        BootList list(dir / L"cleandos.lst");
        list.Record(BootRecordFile, L"C:\\中文\\a.dll");
        list.Record(BootRecordFolder, L"C:\\d");
        ASSERT_TRUE(list.Save());
    }
    std::string expected = "FC:\\";
    expected += "\xD6\xD0\xCE\xC4";  // 中文 in code page 936
    expected += "\\a.dll\r\nDC:\\d\r\n";
    EXPECT_EQ(ReadFileBytes(dir / L"cleandos.lst"), expected);

    BootList again(dir / L"cleandos.lst");  // an earlier run's lines survive
    EXPECT_EQ(again.Lines(), (std::vector<std::wstring>{L"FC:\\中文\\a.dll", L"DC:\\d"}));
    EXPECT_FALSE(again.Record(BootRecordFolder, L"c:\\D"));

    // A byte-order mark selects the encoding for reading.
    ASSERT_TRUE(test::WriteFileText(dir / L"utf8.lst", "\xEF\xBB\xBF" "FC:\\\xE4\xB8\xAD.dll\r\nK HKLM\\x"));
    EXPECT_EQ(BootList(dir / L"utf8.lst").Lines(), (std::vector<std::wstring>{L"FC:\\中.dll", L"K HKLM\\x"}));
    ASSERT_TRUE(test::WriteFileText(dir / L"utf16.lst", std::string("\xFF\xFE" "F\0C\0:\0\\\0-N\r\0\n\0", 16)));
    EXPECT_EQ(BootList(dir / L"utf16.lst").Lines(), (std::vector<std::wstring>{L"FC:\\中"}));
}

}  // namespace
}  // namespace tidemark

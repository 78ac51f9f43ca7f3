#include <gtest/gtest.h>

#include "common/test_support.h"
#include "system/file_ops.h"
#include "engine/boot_checksum.h"
#include "system/boot_list.h"

namespace tidemark {
namespace {

using Result = BootRecordResult;

TEST(BootList, RecordsTagsOnceIgnoringAsciiCase) {
    test::ScratchDir dir;
    BootList list(dir / L"cleandos.lst");
    EXPECT_EQ(list.Record(BootRecordFile, L"C:\\x.dll"), Result::Added);
    EXPECT_EQ(list.Record(BootRecordFile, L"c:\\X.DLL"), Result::AlreadyListed);
    EXPECT_EQ(list.Record(BootRecordFolder, L"C:\\dir"), Result::Added);
    EXPECT_EQ(list.Record(BootRecordKey, L"HKLM\\SOFTWARE\\Bad"), Result::Added);
    EXPECT_EQ(list.Record(BootRecordKeyAlso, L"hklm\\software\\bad"), Result::AlreadyListed);
    EXPECT_EQ(list.Record(BootRecordValue, L"HKLM\\SOFTWARE\\Run\\bad"), Result::Added);
    EXPECT_EQ(list.Record(0, L"C:\\y"), Result::Refused);
    EXPECT_EQ(list.Record(6, L"C:\\y"), Result::Refused);
    // Case is folded over A–Z only.
    EXPECT_EQ(list.Record(BootRecordFile, L"C:\\Δ.dll"), Result::Added);
    EXPECT_EQ(list.Record(BootRecordFile, L"C:\\δ.dll"), Result::Added);
    EXPECT_EQ(list.Lines(), (std::vector<std::wstring>{L"FC:\\x.dll", L"DC:\\dir", L"KHKLM\\SOFTWARE\\Bad",
                                                       L"VHKLM\\SOFTWARE\\Run\\bad", L"FC:\\Δ.dll", L"FC:\\δ.dll"}));
}

TEST(BootList, TargetsTheToolWouldMisreadAreRefused) {
    test::ScratchDir dir;
    BootList list(dir / L"cleandos.lst");
    ASSERT_EQ(list.Record(BootRecordFile, L"C:\\keep.dll"), Result::Added);
    const std::wstring refused[] = {
        L"",
        L"C:\\a.dll\r\nDC:\\Windows",  // one line would become two
        L"C:\\a.dll\nDC:\\Windows",
        L"C:\\a\r.dll",
        L"C:\\a\t.dll",
        L"C:\\a\x01.dll",
        L"C:\\a\x7F.dll",
        L"C:\\a\x85.dll",
        std::wstring(L"C:\\a.dll\0b", 10),
        // Code page 936 has no exact form for these; best fit would write "xa.dll", "advapi32.dll".
        L"C:\\x\u00AA.dll",
        L"C:\\Windows\\system32\\\u00AAdvapi32.dll",
        L"C:\\\u0627.txt",
        L"C:\\\U0001F600.txt",
        L"C:\\\xD800.txt",  // a lone surrogate
    };
    for (const auto& target : refused)
        for (int type : {BootRecordFile, BootRecordFolder, BootRecordKey, BootRecordValue})
            EXPECT_EQ(list.Record(type, target), Result::Refused) << testing::PrintToString(target);
    // Characters the code page holds are recorded as they are.
    EXPECT_EQ(list.Record(BootRecordFile, L"C:\\中文\u00B7\u00A7.dll"), Result::Added);
    EXPECT_EQ(list.Lines(), (std::vector<std::wstring>{L"FC:\\keep.dll", L"FC:\\中文\u00B7\u00A7.dll"}));
    ASSERT_TRUE(list.Save());
    EXPECT_EQ(ReadFileBytes(dir / L"cleandos.lst"), "FC:\\keep.dll\r\nFC:\\\xD6\xD0\xCE\xC4\xA1\xA4\xA1\xEC.dll\r\n");
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
        ASSERT_EQ(list.Record(BootRecordFile, L"C:\\中文\\a.dll"), Result::Added);
        ASSERT_EQ(list.Record(BootRecordFolder, L"C:\\d"), Result::Added);
        ASSERT_TRUE(list.Save());
    }
    std::string expected = "FC:\\";
    expected += "\xD6\xD0\xCE\xC4";  // 中文 in code page 936
    expected += "\\a.dll\r\nDC:\\d\r\n";
    EXPECT_EQ(ReadFileBytes(dir / L"cleandos.lst"), expected);

    BootList again(dir / L"cleandos.lst");  // an earlier run's lines survive
    EXPECT_EQ(again.Lines(), (std::vector<std::wstring>{L"FC:\\中文\\a.dll", L"DC:\\d"}));
    EXPECT_EQ(again.Record(BootRecordFolder, L"c:\\D"), Result::AlreadyListed);

    // A byte-order mark selects the encoding for reading.
    ASSERT_TRUE(test::WriteFileText(dir / L"utf8.lst", "\xEF\xBB\xBF" "FC:\\\xE4\xB8\xAD.dll\r\nK HKLM\\x"));
    EXPECT_EQ(BootList(dir / L"utf8.lst").Lines(), (std::vector<std::wstring>{L"FC:\\中.dll", L"K HKLM\\x"}));
    ASSERT_TRUE(test::WriteFileText(dir / L"utf16.lst", std::string("\xFF\xFE" "F\0C\0:\0\\\0-N\r\0\n\0", 16)));
    EXPECT_EQ(BootList(dir / L"utf16.lst").Lines(), (std::vector<std::wstring>{L"FC:\\中"}));

    // Lines of such a list the code page cannot hold, or holding control characters, are left
    // out: saved, they would name another file.
    ASSERT_TRUE(test::WriteFileText(dir / L"foreign.lst", "\xEF\xBB\xBF" "FC:\\x\xC2\xAA.dll\r\nFC:\\a\tb\r\nFC:\\ok.dll\r\n"));
    BootList foreign(dir / L"foreign.lst");
    EXPECT_EQ(foreign.Lines(), (std::vector<std::wstring>{L"FC:\\ok.dll"}));
    ASSERT_TRUE(foreign.Save());
    EXPECT_EQ(ReadFileBytes(dir / L"foreign.lst"), "FC:\\ok.dll\r\n");
}

}  // namespace
}  // namespace tidemark

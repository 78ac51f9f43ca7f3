#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "engine/boot_delete.h"
#include "engine/md5.h"
#include "engine/sealed_store.h"
#include "engine/sealed_text.h"
#include "engine/store_keys.h"
#include "system/file_ops.h"
#include "system/handles.h"

namespace tidemark {
namespace {

std::string Ansi(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

const std::string kSource = kDefinitionKeySource;
const std::wstring kScript = L"Id=30\r\nName=没有发现可疑软件\r\nFiles=%windir%\\x.dll\r\n";
const std::string kWholeBlocks = "Id=1\r\nab";  // 8 bytes: no zero fill, no zero at all

// A copy of this program with resources enciphered here added, loaded as data: the reader
// meets them through the real resource calls, as it meets the program's own.
class SealedStoreTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = new test::ScratchDir;
        wchar_t self[MAX_PATH];
        ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
        const std::wstring copy = *scratch_ / L"sealed.dll";
        ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
        HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
        ASSERT_NE(update, nullptr);
        auto add = [&](const wchar_t* type, const wchar_t* name, const std::string& bytes) {
            ASSERT_TRUE(UpdateResourceW(update, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                        const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size())));
        };
        add(L"V", L"V30", SealText(Ansi(kScript), kSource.substr(0, 8)));    // the key of V1
        add(L"V", L"V12B", SealText(Ansi(kScript), kSource.substr(11, 8)));  // the key of V12
        add(L"FILE", L"VB", SealText(Ansi(kScript), kFixedStoreKey));
        add(L"FILE", L"PARTIAL", SealText("x=1", kFixedStoreKey) + "\x01\x02\x03");
        add(L"FILE", L"WHOLE", SealText(kWholeBlocks, kFixedStoreKey) + "zz");
        add(L"FILE", L"PLAIN", "plain\r\n");
        ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
        module_ = LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr);
    }
    static void TearDownTestSuite() {
        if (module_) FreeLibrary(module_);
        delete scratch_;
    }
    static inline test::ScratchDir* scratch_ = nullptr;
    static inline HMODULE module_ = nullptr;
};

TEST_F(SealedStoreTest, ResourcesReadWithTheirKeys) {
    const TextList script = {L"Id=30", L"Name=没有发现可疑软件", L"Files=%windir%\\x.dll"};
    const struct { const wchar_t* type; const wchar_t* name; std::string key; TextList lines; } cases[] = {
        {L"V", L"V30", DefinitionKey(L"V30", kSource), script},
        {L"V", L"V12B", DefinitionKey(L"V12B", kSource), script},
        {L"FILE", L"VB", kFixedStoreKey, script},
        {L"FILE", L"PARTIAL", kFixedStoreKey, {L"x=1"}},        // the tail lies after the zero fill
        // No zero: the text runs to the end of its whole blocks; the partial tail is no text.
        {L"FILE", L"WHOLE", kFixedStoreKey, {L"Id=1", L"ab"}},
        {L"FILE", L"PLAIN", "", {L"plain"}},
    };
    for (const auto& c : cases) {
        const std::optional<TextList> lines = ReadSealedLines(module_, c.type, c.name, c.key);
        ASSERT_TRUE(lines.has_value()) << c.name;
        EXPECT_EQ(*lines, c.lines) << c.name;
    }
    // The bytes: whole blocks deciphered, the partial tail as stored, a zero after the data.
    const std::optional<std::string> partial = ReadSealedResource(module_, L"FILE", L"PARTIAL", kFixedStoreKey);
    ASSERT_TRUE(partial.has_value());
    EXPECT_EQ(*partial, std::string("x=1\0\0\0\0\0\x01\x02\x03", 11));
    EXPECT_EQ(partial->c_str()[partial->size()], '\0');

    EXPECT_FALSE(ReadSealedResource(module_, L"V", L"V31", DefinitionKey(L"V31", kSource)).has_value());
    EXPECT_FALSE(ReadSealedLines(module_, L"FILE", L"NONE", "").has_value());
}

// Extracting an enciphered resource writes the deciphered bytes, and a file that cannot be
// replaced counts only when it already holds exactly those.
TEST_F(SealedStoreTest, KeyedExtractionWritesAndComparesThePlainBytes) {
    const std::string plain = *ReadSealedResource(module_, L"FILE", L"VB", kFixedStoreKey);
    const std::string cipher = *ReadSealedResource(module_, L"FILE", L"VB", "");
    ASSERT_NE(plain, cipher);
    const std::wstring path = *scratch_ / L"vb.txt";

    bool leftOld = true;
    EXPECT_TRUE(ExtractSealedResource(module_, L"FILE", L"VB", path, kFixedStoreKey, &leftOld));
    EXPECT_FALSE(leftOld);
    EXPECT_EQ(ReadFileBytes(path), plain);

    const struct { std::string held; bool result; } cases[] = {{plain, true}, {cipher, false}};
    for (const auto& c : cases) {
        DeleteFileW(path.c_str());
        ASSERT_TRUE(test::WriteFileText(path, c.held));
        UniqueHandle holder(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_EQ(ExtractSealedResource(module_, L"FILE", L"VB", path, kFixedStoreKey, &leftOld), c.result);
        EXPECT_TRUE(leftOld);
    }
    DeleteFileW(path.c_str());
    EXPECT_FALSE(ExtractSealedResource(module_, L"FILE", L"NONE", path, kFixedStoreKey));
    EXPECT_FALSE(test::PathExists(path));
}

TEST(StringMD5, DigestOfTheAnsiText) {
    EXPECT_EQ(Md5Hex(StringMD5(L"abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex(StringMD5(L"")), "d41d8cd98f00b204e9800998ecf8427e");
    if (GetACP() == 936) {
        EXPECT_EQ(Md5Hex(StringMD5(L"中文")), "bcce109775e8e1972e9f5fcda3e12895");  // D6 D0 CE C4
    }
}

TEST(FileMD5, WholeFileOrZeros) {
    test::ScratchDir dir;
    // One byte past the mapping's view size, so the digest spans two views.
    std::string big((16u << 20) + 1, '\0');
    for (std::size_t i = 0; i < big.size(); i += 4093) big[i] = static_cast<char>(i);
    const Md5Digest zeros{};
    ASSERT_TRUE(test::WriteFileText(dir / L"empty.bin", ""));
    ASSERT_TRUE(test::WriteFileText(dir / L"abc.txt", "abc"));
    ASSERT_TRUE(test::WriteFileText(dir / L"big.bin", big));
    EXPECT_EQ(FileMD5(dir / L"missing.bin"), zeros);
    EXPECT_EQ(FileMD5(dir / L"empty.bin"), zeros);
    EXPECT_EQ(Md5Hex(FileMD5(dir / L"big.bin")), Md5HexOf(big.data(), big.size()));

    // Read while another handle writes it, as the process rating does with running programs.
    UniqueHandle writer(CreateFileW((dir / L"abc.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_EQ(Md5Hex(FileMD5(dir / L"abc.txt")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_TRUE(FileMatchesMD5("900150983CD24FB0D6963F7D28E17F72", dir / L"abc.txt"));

    // A file that cannot be read matches no digest, not even the zeros FileMD5 gives for it.
    EXPECT_FALSE(FileMatchesMD5(std::string(32, '0'), dir / L"missing.bin"));
    EXPECT_FALSE(FileMatchesMD5(std::string(32, '0'), dir / L"empty.bin"));
}

}  // namespace
}  // namespace tidemark

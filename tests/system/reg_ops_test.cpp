#include <gtest/gtest.h>

#include "common/test_support.h"
#include "system/handles.h"
#include "system/reg_ops.h"

namespace tidemark {
namespace {

using test::ScratchKey;

void SetValue(const ScratchKey& k, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    UniqueHKey h;
    ASSERT_EQ(RegOpenKeyExW(k.root(), k.path().c_str(), 0, KEY_SET_VALUE, h.put()), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(h.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

void SetString(const ScratchKey& k, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    SetValue(k, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetDword(const ScratchKey& k, const wchar_t* name, DWORD number) {
    SetValue(k, name, REG_DWORD, &number, sizeof number);
}

// The stored value's type and bytes; type 0 when it is missing.
std::pair<DWORD, std::vector<BYTE>> Stored(HKEY root, const std::wstring& key, const wchar_t* name) {
    UniqueHKey h;
    DWORD type = 0, size = 0;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, h.put()) != ERROR_SUCCESS ||
        RegQueryValueExW(h.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return {0, {}};
    std::vector<BYTE> data(size);
    RegQueryValueExW(h.get(), name, nullptr, &type, data.data(), &size);
    data.resize(size);
    return {type, data};
}

bool KeyExists(HKEY root, const std::wstring& key) {
    UniqueHKey h;
    return RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, h.put()) == ERROR_SUCCESS;
}

TEST(ReadRegString, ValueDefaultOrUntouched) {
    ScratchKey k;
    SetString(k, L"sz", L"text");
    SetString(k, L"expand", L"%WINDIR%\\x", REG_EXPAND_SZ);
    SetDword(k, L"number", 7);

    struct Case { std::wstring key; const wchar_t* name; std::wstring expected; };
    const Case cases[] = {
        {k.path(), L"sz", L"text"},
        {k.path(), L"expand", L"%WINDIR%\\x"},      // read as stored, not expanded
        {k.path(), L"missing", L"dflt"},            // missing value: the default
        {k.path(), L"number", L"before"},           // another type: untouched
        {k / L"nokey", L"sz", L"before"},           // missing key: untouched
    };
    for (const auto& c : cases) {
        std::wstring value = L"before";
        ReadRegString(k.root(), c.key, c.name, L"dflt", value);
        EXPECT_EQ(value, c.expected) << testing::PrintToString(std::wstring(c.name));
    }
}

TEST(ReadRegIntDefault, StoresTheDefaultOnlyWhereTheKeyExists) {
    ScratchKey k;
    SetDword(k, L"present", 42);
    SetString(k, L"text", L"1");

    EXPECT_EQ(ReadRegIntDefault(k.root(), k.path(), L"present", 0), 42);

    // A missing value is created with the default, sign-extended to 32 bits.
    EXPECT_EQ(ReadRegIntDefault(k.root(), k.path(), L"fresh", -5), -5);
    auto [type, bytes] = Stored(k.root(), k.path(), L"fresh");
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(bytes.size(), 4u);
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(bytes.data()), 0xFFFFFFFBu);

    // A missing key gives the default and is not created.
    EXPECT_EQ(ReadRegIntDefault(k.root(), k / L"absent", L"v", 3), 3);
    EXPECT_FALSE(KeyExists(k.root(), k / L"absent"));

    // A value of another type counts as missing but is left as it is.
    EXPECT_EQ(ReadRegIntDefault(k.root(), k.path(), L"text", 9), 9);
    EXPECT_EQ(Stored(k.root(), k.path(), L"text").first, static_cast<DWORD>(REG_SZ));
}

TEST(WriteReg, CreatesTheWholePathAndStoresTheRightType) {
    ScratchKey k;
    const std::wstring deep = k / L"a\\b\\c";
    ASSERT_TRUE(WriteRegString(k.root(), deep, L"s", L"中文 text"));
    ASSERT_TRUE(WriteRegInt(k.root(), deep, L"n", -1));
    ASSERT_TRUE(WriteRegString(k.root(), deep, L"", L"default value"));

    std::wstring s;
    ReadRegString(k.root(), deep, L"s", L"", s);
    EXPECT_EQ(s, L"中文 text");
    EXPECT_EQ(Stored(k.root(), deep, L"s").first, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(ReadRegIntDefault(k.root(), deep, L"n", 0), -1);
    ReadRegString(k.root(), deep, L"", L"", s);
    EXPECT_EQ(s, L"default value");

    // A root that is no key at all: the write reports failure.
    const HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7FFFFFF0));
    EXPECT_FALSE(WriteRegString(bogus, L"x", L"s", L"t"));
    EXPECT_FALSE(WriteRegInt(bogus, L"x", L"n", 1));
}

TEST(DeleteReg, ValuesAndWholeSubtrees) {
    ScratchKey k;
    SetString(k, L"v", L"x");
    EXPECT_TRUE(DeleteRegValue(k.root(), k.path(), L"v"));
    EXPECT_EQ(Stored(k.root(), k.path(), L"v").first, 0u);
    EXPECT_FALSE(DeleteRegValue(k.root(), k.path(), L"v"));          // already gone
    EXPECT_FALSE(DeleteRegValue(k.root(), k / L"nokey", L"v"));      // key missing

    ASSERT_TRUE(WriteRegString(k.root(), k / L"tree\\child\\grandchild", L"v", L"x"));
    ASSERT_TRUE(WriteRegString(k.root(), k / L"tree", L"top", L"x"));
    EXPECT_TRUE(DeleteRegSubKey(k.root(), k.path(), L"tree"));
    EXPECT_FALSE(KeyExists(k.root(), k / L"tree"));
    EXPECT_FALSE(DeleteRegSubKey(k.root(), k.path(), L"tree"));      // missing subkey
    EXPECT_FALSE(DeleteRegSubKey(k.root(), k / L"nokey", L"tree"));  // missing key

    // An empty subkey name would mean the opened key itself: refused.
    EXPECT_FALSE(DeleteRegSubKey(k.root(), k.path(), L""));
    EXPECT_TRUE(KeyExists(k.root(), k.path()));
}

}  // namespace
}  // namespace tidemark

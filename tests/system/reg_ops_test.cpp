#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <optional>

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
    EXPECT_FALSE(DeleteRegValue(k.root(), k.path(), std::wstring(L"v\0x", 3)));  // would delete "v"
    EXPECT_EQ(Stored(k.root(), k.path(), L"v").first, static_cast<DWORD>(REG_SZ));
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

TEST(DeleteReg, SubKeyNamesWithAnEmptyPartOrAControlCharacterAreRefused) {
    ScratchKey k;
    ASSERT_TRUE(WriteRegString(k.root(), k / L"p1\\child", L"v", L"x"));
    ASSERT_TRUE(WriteRegString(k.root(), k / L"p2", L"v", L"x"));
    ASSERT_TRUE(WriteRegString(k.root(), k / std::wstring(L"p1\x01", 3), L"v", L"x"));
    const struct { std::wstring key; std::wstring subkey; } cases[] = {
        {k.path(), L"\\"},
        {k.path(), L"p1\\"},
        {k.path(), L"p1\\\\"},
        {k.path(), L"\\p1"},
        {k.path(), L"p1\\\\child"},
        {k.path(), std::wstring(L"p1\x01", 3)},
        {k.path(), std::wstring(L"p1\0", 3)},  // the system would read "p1"
        {k.path() + L"\\", L"p1"},
        {L"\\" + k.path(), L"p1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.key + L" | " + c.subkey));
        EXPECT_FALSE(DeleteRegSubKey(k.root(), c.key, c.subkey));
        EXPECT_TRUE(KeyExists(k.root(), k / L"p1\\child"));
        EXPECT_TRUE(KeyExists(k.root(), k / L"p2"));
        EXPECT_TRUE(KeyExists(k.root(), k / std::wstring(L"p1\x01", 3)));
    }
    // A key right below the root is a key like any other.
    EXPECT_TRUE(DeleteRegSubKey(k.root(), L"", k.path() + L"\\p2"));
    EXPECT_FALSE(KeyExists(k.root(), k / L"p2"));
}

TEST(ExactKeyPath, OneKeyNamedExactly) {
    for (const wchar_t* good : {L"a", L"Software\\x y", L"a\\b\\c", L"中文\\.\\..", L"a/b"})
        EXPECT_TRUE(IsExactKeyPath(good)) << testing::PrintToString(std::wstring(good));
    const std::wstring bad[] = {L"", L"\\", L"a\\", L"\\a", L"a\\\\b", L"a\tb", L"a\rb", L"a\nb", L"a\x7F",
                                L"a\x85", std::wstring(L"a\0b", 3)};
    for (const auto& path : bad) EXPECT_FALSE(IsExactKeyPath(path)) << testing::PrintToString(path);
}

TEST(OpenRegKey, ReportsWhyAKeyDidNotOpen) {
    ScratchKey k;
    LONG error = -1;
    EXPECT_TRUE(OpenRegKey(k.root(), k.path(), KEY_READ, &error));
    EXPECT_EQ(error, ERROR_SUCCESS);
    EXPECT_FALSE(OpenRegKey(k.root(), k / L"none", KEY_READ, &error));
    EXPECT_TRUE(IsMissingError(error)) << error;
    EXPECT_FALSE(OpenRegKey(k.root(), k / L"none\\deeper", KEY_READ, &error));
    EXPECT_TRUE(IsMissingError(error)) << error;
    EXPECT_FALSE(OpenRegKey(nullptr, L"x", KEY_READ, &error));
    EXPECT_EQ(error, ERROR_INVALID_HANDLE);
    EXPECT_FALSE(IsMissingError(error));  // a null root says nothing about a key
    EXPECT_FALSE(IsMissingError(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CreateRegKey(k.root(), k / L"made", KEY_READ, &error));
    EXPECT_EQ(error, ERROR_SUCCESS);
    EXPECT_FALSE(CreateRegKey(nullptr, L"x", KEY_READ, &error));
    EXPECT_EQ(error, ERROR_INVALID_HANDLE);
}

TEST(MultiString, ReadAsTheSystemReadsAndWrittenExactly) {
    ScratchKey k;
    auto set = [&](const wchar_t* name, const std::wstring& data, DWORD type = REG_MULTI_SZ) {
        SetValue(k, name, type, data.data(), static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    };
    set(L"plain", std::wstring(L"a\0bc\0\0", 6));
    set(L"unterminated", std::wstring(L"a\0bc", 4));
    set(L"emptyInside", std::wstring(L"a\0\0b\0\0", 6));  // the system stops at the empty string
    set(L"empty", std::wstring(L"\0", 1));
    set(L"text", L"a", REG_SZ);
    using L = std::vector<std::wstring>;
    const struct { const wchar_t* name; std::optional<L> strings; } cases[] = {
        {L"plain", L{L"a", L"bc"}},   {L"unterminated", L{L"a", L"bc"}},
        {L"emptyInside", L{L"a"}},    {L"empty", L{}},
        {L"text", std::nullopt},      {L"missing", std::nullopt},
    };
    UniqueHKey key = OpenRegKey(k.root(), k.path(), KEY_QUERY_VALUE | KEY_SET_VALUE);
    ASSERT_TRUE(key);
    for (const auto& c : cases)
        EXPECT_EQ(QueryMultiStringValue(key.get(), c.name), c.strings) << testing::PrintToString(std::wstring(c.name));

    // Written as the system writes it: every string, its zero, one more zero.
    ASSERT_TRUE(SetMultiStringValue(key.get(), L"written", {L"autocheck autochk *", L"中文"}));
    auto [type, bytes] = Stored(k.root(), k.path(), L"written");
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    const std::wstring expected(L"autocheck autochk *\0中文\0\0", 24);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t)), expected);
    ASSERT_TRUE(SetMultiStringValue(key.get(), L"none", {}));
    EXPECT_EQ(QueryMultiStringValue(key.get(), L"none"), L{});
    // A string that would end the list early is refused, and the value stays as it was.
    EXPECT_FALSE(SetMultiStringValue(key.get(), L"written", {L"a", L"", L"b"}));
    EXPECT_FALSE(SetMultiStringValue(key.get(), L"written", {std::wstring(L"a\0b", 3)}));
    EXPECT_EQ(QueryMultiStringValue(key.get(), L"written"), (L{L"autocheck autochk *", L"中文"}));
}

TEST(EnumNames, LongNamesGrowTheBufferAndAVanishedKeyEndsTheWalk) {
    ScratchKey k;
    const std::wstring longName(5000, L'v');
    SetString(k, longName.c_str(), L"x");
    SetString(k, L"short", L"x");
    ASSERT_TRUE(WriteRegString(k.root(), k / std::wstring(255, L'k'), L"v", L"x"));
    ASSERT_TRUE(WriteRegString(k.root(), k / L"b", L"v", L"x"));
    UniqueHKey key = OpenRegKey(k.root(), k.path(), KEY_READ);
    ASSERT_TRUE(key);
    std::vector<std::wstring> names;
    EXPECT_TRUE(EnumValueNames(key.get(), names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"short", longName}));
    EXPECT_TRUE(EnumSubKeyNames(key.get(), names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"b", std::wstring(255, L'k')}));

    // The key goes while a handle on it is open: the walk stops at once instead of asking
    // every index there is.
    ASSERT_EQ(SHDeleteKeyW(k.root(), k.path().c_str()), ERROR_SUCCESS);
    EXPECT_FALSE(EnumSubKeyNames(key.get(), names));
    EXPECT_FALSE(EnumValueNames(key.get(), names));
}

}  // namespace
}  // namespace tidemark

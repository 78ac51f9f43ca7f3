#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>

#include "common/test_support.h"
#include "system/boot_list.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/reg_view.h"
#include "system/text_case.h"

namespace tidemark {
namespace {

using test::ScratchKey;

const std::wstring kHkcu = L"HKEY_CURRENT_USER\\";

TEST(RegPaths, SplittingFullPaths) {
    const struct { const wchar_t* text; HKEY root; const wchar_t* path; } keys[] = {
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\X", HKEY_LOCAL_MACHINE, L"SOFTWARE\\X"},
        {L"hkey_current_user\\Software", HKEY_CURRENT_USER, L"Software"},
        {L"Hkey_Classes_Root\\.txt", HKEY_CLASSES_ROOT, L".txt"},
        {L"HKEY_USERS\\S-1-5-18", HKEY_USERS, L"S-1-5-18"},
        {L"HKEY_CURRENT_CONFIG\\System", HKEY_CURRENT_CONFIG, L"System"},
        {L"HKLM\\SOFTWARE\\X", nullptr, L"SOFTWARE\\X"},  // short forms are no roots
        {L"HKEY_DYN_DATA\\X", nullptr, L"X"},
    };
    for (const auto& k : keys) {
        HKEY root = nullptr;
        std::wstring path;
        SplitRootPath(k.text, root, path);
        EXPECT_EQ(root, k.root) << testing::PrintToString(std::wstring(k.text));
        EXPECT_EQ(path, k.path);
    }
    HKEY root = nullptr;
    std::wstring path, name;
    SplitValuePath(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Run\\Tool", root, path, name);
    EXPECT_EQ(path, L"SOFTWARE\\Microsoft\\Run");
    EXPECT_EQ(name, L"Tool");
    SplitValuePath(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Run\\", root, path, name);  // the default value
    EXPECT_EQ(path, L"SOFTWARE\\Run");
    EXPECT_EQ(name, L"");
}

TEST(RegPaths, TypedReadsAndConditionalWrites) {
    ScratchKey k;
    const std::wstring full = kHkcu + k.path();
    ASSERT_TRUE(WriteRegString(k.root(), k.path(), L"text", L"0"));
    const BYTE binary[] = {1, 2, 3};
    {
        UniqueHKey key;
        ASSERT_EQ(RegOpenKeyExW(k.root(), k.path().c_str(), 0, KEY_SET_VALUE, key.put()), ERROR_SUCCESS);
        RegSetValueExW(key.get(), L"bin", 0, REG_BINARY, binary, sizeof binary);
        const wchar_t expand[] = L"%WINDIR%\\x";
        RegSetValueExW(key.get(), L"expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand), sizeof expand);
    }
    // Integer over a text "0": the text goes, the integer comes.
    EXPECT_TRUE(RegEnsureInt(k.root(), k.path(), L"text", 0));
    EXPECT_EQ(RegReadIntIfInt(k.root(), k.path(), L"text"), 0);
    EXPECT_TRUE(RegEnsureInt(k.root(), k.path(), L"text", 0));  // equal: nothing written
    EXPECT_TRUE(RegEnsureInt(k.root(), k.path(), L"text", 7));
    EXPECT_EQ(RegReadIntIfInt(k.root(), k.path(), L"text"), 7);

    // Texts never overwrite integers or binary data.
    EXPECT_FALSE(RegWriteTextIfText(k.root(), k.path(), L"bin", L"x"));
    EXPECT_FALSE(RegWriteTextIfText(k.root(), k.path(), L"text", L"x"));
    const auto data = RegReadBinary(k.root(), k.path(), L"bin");
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, (std::vector<unsigned char>{1, 2, 3, 0}));
    EXPECT_FALSE(RegReadBinary(k.root(), k.path(), L"text"));
    EXPECT_TRUE(RegWriteTextIfText(k.root(), k.path(), L"new", L"hello"));
    EXPECT_TRUE(RegWriteExpandIfText(k.root(), k.path(), L"new", L"%WINDIR%"));

    std::wstring text = L"old";
    RegReadText(k.root(), k.path(), L"expand", text);
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(text, std::wstring(windows) + L"\\x");
    RegReadText(k.root(), k.path(), L"bin", text);
    EXPECT_EQ(text, L"");
    ReadValuePath(full + L"\\new", text);
    EXPECT_EQ(text, windows);

    std::vector<std::wstring> names;
    EXPECT_TRUE(RegListValueNames(k.root(), k.path(), names));
    EXPECT_EQ(names.size(), 4u);
    EXPECT_FALSE(RegListSubKeys(k.root(), k.path() + L"\\none", names));
    EXPECT_TRUE(ValuePathExists(full + L"\\bin"));
    EXPECT_TRUE(DeleteValuePath(full + L"\\bin"));
    EXPECT_FALSE(ValuePathExists(full + L"\\bin"));
    EXPECT_TRUE(DeleteValuePath(full + L"\\bin"));       // already gone: done
    EXPECT_TRUE(DeleteValuePath(L"HKLM\\nothing\\x"));  // unknown root: nothing to do
    EXPECT_FALSE(KeyPathExists(L"HKLM\\SOFTWARE"));
}

TEST(RegPaths, RedirectionAppliesToExistenceAndTreeDeletionOnly) {
    ScratchKey k;
    ASSERT_TRUE(WriteRegString(k.root(), k.path() + L"\\sub", L"v", L"x"));
    const std::wstring full = kHkcu + k.path() + L"\\sub";
    // The user's key name of the redirected hive: our own current user's keys moved under a
    // scratch key of HKEY_USERS is not possible, so redirect to a name that does not exist.
    SetUserHiveRedirect(true, L"TidemarkNoSuchUser");
    EXPECT_FALSE(KeyPathExists(full));
    EXPECT_TRUE(ValuePathExists(full + L"\\v"));  // the process's own hive
    EXPECT_TRUE(DeleteKeyPath(full));             // nothing there to delete under HKEY_USERS
    EXPECT_TRUE(ValuePathExists(full + L"\\v"));
    EXPECT_FALSE(DeleteKeyPath(L"HKEY_CURRENT_USER"));  // not the redirected user's whole hive
    SetUserHiveRedirect(true, L"");               // an empty name still redirects
    EXPECT_FALSE(KeyPathExists(full));
    EXPECT_FALSE(DeleteKeyPath(full));            // "\\Software\\..." below HKEY_USERS: refused
    SetUserHiveRedirect(false, L"");
    EXPECT_TRUE(KeyPathExists(full));
    HKEY root = HKEY_LOCAL_MACHINE;
    std::wstring path = L"x";
    SetUserHiveRedirect(true, L"S-1");
    ApplyUserHiveRedirect(root, path);
    EXPECT_EQ(path, L"x");  // only the current user's root moves
    root = HKEY_CURRENT_USER;
    ApplyUserHiveRedirect(root, path);
    EXPECT_EQ(root, HKEY_USERS);
    EXPECT_EQ(path, L"S-1\\x");
    SetUserHiveRedirect(false, L"");
}

TEST(RegPaths, TreeDeletionRemovesEverything) {
    ScratchKey k;
    for (const wchar_t* sub : {L"\\a\\deep\\deeper", L"\\b", L"\\c\\x"})
        ASSERT_TRUE(WriteRegString(k.root(), k.path() + L"\\tree" + sub, L"v", L"x"));
    EXPECT_TRUE(RegDeleteKeyTree(k.root(), k.path() + L"\\tree"));
    EXPECT_FALSE(RegKeyExists(k.root(), k.path() + L"\\tree"));
    EXPECT_TRUE(RegDeleteKeyTree(k.root(), k.path() + L"\\tree"));  // missing: done
    EXPECT_TRUE(RegDeleteKeyTree(nullptr, L"x"));                   // unknown root: done
}

TEST(RegPaths, ARootAloneOrAnEmptyPartDeletesNothing) {
    ScratchKey k;
    ASSERT_TRUE(WriteRegString(k.root(), k.path() + L"\\p1\\child", L"v", L"x"));
    ASSERT_TRUE(WriteRegString(k.root(), k.path() + L"\\p2", L"v", L"x"));
    const std::wstring p1 = kHkcu + k.path() + L"\\p1";
    std::vector<std::wstring> refused = {p1 + L"\\", p1 + L"\\\\", kHkcu + L"\\" + k.path() + L"\\p1",
                                         kHkcu + k.path() + L"\\\\p1", p1 + L"\\\\child", p1 + L"\r\nx",
                                         p1 + std::wstring(1, L'\0')};
    for (const wchar_t* root : {L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE", L"HKEY_USERS", L"HKEY_CLASSES_ROOT",
                                L"hkey_current_config"}) {
        refused.push_back(root);
        refused.push_back(std::wstring(root) + L"\\");
        refused.push_back(std::wstring(root) + L"\\\\");
    }
    for (const auto& text : refused) {
        SCOPED_TRACE(testing::PrintToString(text));
        EXPECT_FALSE(DeleteKeyPath(text));
        EXPECT_TRUE(RegKeyExists(k.root(), k.path() + L"\\p1\\child"));
        EXPECT_TRUE(RegKeyExists(k.root(), k.path() + L"\\p2"));
    }
    HKEY root = nullptr;
    std::wstring path;
    SplitRootPath(p1 + L"\\", root, path);
    EXPECT_FALSE(RegDeleteKeyTree(root, path));
    EXPECT_FALSE(RegDeleteKeyTree(k.root(), L""));
    EXPECT_TRUE(RegKeyExists(k.root(), k.path() + L"\\p1\\child"));
    EXPECT_TRUE(DeleteKeyPath(p1));
    EXPECT_FALSE(RegKeyExists(k.root(), k.path() + L"\\p1"));
    EXPECT_TRUE(RegKeyExists(k.root(), k.path() + L"\\p2"));
}

// Stands in for a system that refuses to open keys named "locked" (Wine ignores key security):
// access denied, which says nothing about whether the key is there.
UniqueHKey DenyLocked(HKEY root, const std::wstring& path, REGSAM access, LONG* error) {
    if (path.size() >= 6 && path.compare(path.size() - 6, 6, L"locked") == 0) {
        if (error) *error = ERROR_ACCESS_DENIED;
        return {};
    }
    return OpenRegKey(root, path, access, error);
}

// Hands out keys for reading only, whatever was asked: the system then refuses every change.
UniqueHKey ReadOnly(HKEY root, const std::wstring& path, REGSAM, LONG* error) {
    return OpenRegKey(root, path, KEY_READ, error);
}

TEST(RegPaths, ARefusalIsNeitherAbsenceNorSuccess) {
    ScratchKey k;
    const std::wstring locked = k.path() + L"\\tree\\locked";
    ASSERT_TRUE(WriteRegString(k.root(), locked, L"v", L"x"));
    ASSERT_TRUE(WriteRegString(k.root(), k.path() + L"\\tree\\a", L"v", L"x"));
    ASSERT_TRUE(WriteRegString(k.root(), k.path(), L"v", L"x"));

    EXPECT_TRUE(RegKeyExists(k.root(), locked, DenyLocked));
    EXPECT_TRUE(RegValueExists(k.root(), locked, L"v", DenyLocked));
    EXPECT_FALSE(RegKeyExists(k.root(), k.path() + L"\\none", DenyLocked));
    EXPECT_FALSE(RegValueExists(k.root(), k.path() + L"\\none", L"v", DenyLocked));
    EXPECT_FALSE(RegValueExists(k.root(), k.path(), L"none", DenyLocked));

    EXPECT_FALSE(RegDeleteValueChecked(k.root(), locked, L"v", DenyLocked));
    EXPECT_FALSE(RegDeleteValueChecked(k.root(), k.path(), L"v", ReadOnly));
    EXPECT_TRUE(RegValueExists(k.root(), locked, L"v"));
    EXPECT_TRUE(RegValueExists(k.root(), k.path(), L"v"));
    EXPECT_TRUE(RegDeleteValueChecked(k.root(), k.path() + L"\\none", L"v", DenyLocked));  // gone with its key
    EXPECT_TRUE(RegDeleteValueChecked(k.root(), k.path(), L"none", ReadOnly));

    // Names the system would read as others are refused.
    EXPECT_FALSE(RegDeleteValueChecked(k.root(), k.path(), std::wstring(L"v\0x", 3)));
    EXPECT_FALSE(RegDeleteValueChecked(k.root(), k.path() + L"\\\\tree\\a", L"v"));
    EXPECT_FALSE(RegValueExists(k.root(), k.path() + L"\\\\tree\\a", L"v"));
    EXPECT_TRUE(RegValueExists(k.root(), k.path(), L"v"));
    EXPECT_TRUE(RegValueExists(k.root(), k.path() + L"\\tree\\a", L"v"));

    // The locked key is not taken for gone: the walk stops there and the tree stays.
    const auto remove = [](HKEY root, const std::wstring& key) { return SHDeleteKeyW(root, key.c_str()) == ERROR_SUCCESS; };
    EXPECT_FALSE(RegDeleteKeyTreeUsing(k.root(), k.path() + L"\\tree", remove, DenyLocked));
    EXPECT_FALSE(RegDeleteKeyTreeUsing(k.root(), locked, remove, DenyLocked));
    EXPECT_TRUE(RegKeyExists(k.root(), locked));
    EXPECT_TRUE(RegKeyExists(k.root(), k.path() + L"\\tree\\a"));

    // Under HKEY_LOCAL_MACHINE such a key is a survivor like any other: it goes to the list.
    const std::wstring top = L"SOFTWARE\\TidemarkTests\\Denied";
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, top + L"\\locked", L"v", L"x"));
    const std::size_t before = BootDeleteList().Lines().size();
    EXPECT_FALSE(RegDeleteKeyTreeUsing(HKEY_LOCAL_MACHINE, top, remove, DenyLocked));
    ASSERT_EQ(BootDeleteList().Lines().size(), before + 1);
    EXPECT_EQ(BootDeleteList().Lines().back(), L"KHKLM\\" + top);
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TidemarkTests");
}

// Wine removes keys whatever their security says, so the key the system refuses to delete is
// played by a remover that leaves keys named "stuck" alone.
bool RemoveAllButStuck(HKEY root, const std::wstring& key) {
    if (key.size() >= 5 && key.compare(key.size() - 5, 5, L"stuck") == 0) return false;
    return SHDeleteKeyW(root, key.c_str()) == ERROR_SUCCESS;
}

TEST(RegPaths, DeletionStopsAtTheFirstSurvivorAndRecordsMachineKeys) {
    // Subkeys are deleted from the last to the first: "c" goes, "stuck" survives, "a" is never
    // tried, and the top key stays.
    const std::wstring top = L"SOFTWARE\\TidemarkTests\\Tree";
    for (const wchar_t* sub : {L"\\a", L"\\b\\stuck", L"\\c"})
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, top + sub, L"v", L"x"));
    const std::size_t before = BootDeleteList().Lines().size();
    EXPECT_FALSE(RegDeleteKeyTreeUsing(HKEY_LOCAL_MACHINE, top, RemoveAllButStuck));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, top + L"\\c"));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, top + L"\\b\\stuck"));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, top + L"\\a"));
    ASSERT_EQ(BootDeleteList().Lines().size(), before + 1);
    EXPECT_EQ(BootDeleteList().Lines().back(), L"KHKLM\\" + top);  // the top key, short root
    // Again: the same line is not added twice.
    EXPECT_FALSE(RegDeleteKeyTreeUsing(HKEY_LOCAL_MACHINE, top, RemoveAllButStuck));
    EXPECT_EQ(BootDeleteList().Lines().size(), before + 1);
    // Under another root a survivor is only reported.
    test::ScratchKey k;
    ASSERT_TRUE(WriteRegString(k.root(), k.path() + L"\\t\\stuck", L"v", L"x"));
    EXPECT_FALSE(RegDeleteKeyTreeUsing(k.root(), k.path() + L"\\t", RemoveAllButStuck));
    EXPECT_EQ(BootDeleteList().Lines().size(), before + 1);
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TidemarkTests");
    // The tool at boot knows no registry views: a survivor of the 32-bit view is listed by its
    // Wow6432Node name, or the tool would delete the 64-bit view's key of that name.
    if (SystemIs64Bit()) {
        const ScopedRegView view(RegView::Bits32);
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TidemarkTests\\Tree32\\stuck", L"v", L"x"));
        EXPECT_FALSE(RegDeleteKeyTreeUsing(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TidemarkTests\\Tree32\\stuck", RemoveAllButStuck));
        EXPECT_EQ(UpperCased(BootDeleteList().Lines().back()), L"KHKLM\\SOFTWARE\\WOW6432NODE\\TIDEMARKTESTS\\TREE32\\STUCK");
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TidemarkTests");
    }
}

}  // namespace
}  // namespace tidemark

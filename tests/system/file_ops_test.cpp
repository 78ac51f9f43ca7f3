#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "common/test_support.h"
#include "system/file_ops.h"
#include "system/handles.h"

namespace tidemark {
namespace {

using test::PathExists;
using test::ScratchDir;
using test::WriteFileText;

UniqueHandle HoldExclusively(const std::wstring& path) {
    return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

// Names of a folder's entries in the order the system's search returns them.
std::vector<std::wstring> SearchOrder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW((folder + L"\\*.*").c_str(), &data));
    if (!find) return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find.get(), &data));
    return names;
}

TEST(FileQueries, ExistenceAndSizes) {
    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(dir / L"a.tmp", std::string(1234, 'x')));
    ASSERT_TRUE(WriteFileText(dir / L"empty.log", ""));
    ASSERT_TRUE(test::MakeDirs(dir / L"sub"));

    EXPECT_TRUE(FileExistsAny(dir / L"*.tmp"));
    EXPECT_FALSE(FileExistsAny(dir / L"*.bak"));
    EXPECT_TRUE(FileExistsAny(dir / L"sub"));         // folders count
    EXPECT_FALSE(FileExistsAny(dir / L"nothing"));

    EXPECT_EQ(FileSizeByFind(dir / L"a.tmp"), 1234u);
    EXPECT_EQ(FileSizeByFind(dir / L"*.tmp"), 1234u);
    EXPECT_EQ(FileSizeByFind(dir / L"nothing"), 0u);
    EXPECT_EQ(FileSizeByFind(dir / L"sub"), 0u);      // the folder entry's own size

    EXPECT_EQ(FileSizeOrNone(dir / L"a.tmp"), 1234);
    EXPECT_EQ(FileSizeOrNone(dir / L"empty.log"), 0);
    EXPECT_EQ(FileSizeOrNone(dir / L"sub"), -1);
    EXPECT_EQ(FileSizeOrNone(dir / L"nothing"), -1);

    EXPECT_EQ(FileSizeByOpen(dir / L"a.tmp"), 1234u);
    EXPECT_EQ(FileSizeByOpen(dir / L"nothing"), 0u);
    UniqueHandle held = HoldExclusively(dir / L"a.tmp");
    ASSERT_TRUE(held);
    EXPECT_EQ(FileSizeByOpen(dir / L"a.tmp"), 0u);    // cannot be opened while held
}

TEST(DeleteFileForce, ClearsAttributesFirstAndFailsOnLockedFiles) {
    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(dir / L"ro.txt", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(WriteFileText(dir / L"sys.txt", "x", FILE_ATTRIBUTE_SYSTEM));
    EXPECT_TRUE(DeleteFileForce(dir / L"ro.txt"));
    EXPECT_TRUE(DeleteFileForce(dir / L"sys.txt"));
    EXPECT_FALSE(PathExists(dir / L"ro.txt"));
    EXPECT_FALSE(DeleteFileForce(dir / L"missing.txt"));

    ASSERT_TRUE(WriteFileText(dir / L"locked.txt", "x"));
    {
        UniqueHandle held = HoldExclusively(dir / L"locked.txt");
        ASSERT_TRUE(held);
        EXPECT_FALSE(DeleteFileForce(dir / L"locked.txt"));
        EXPECT_TRUE(PathExists(dir / L"locked.txt"));
    }
    EXPECT_TRUE(DeleteFileForce(dir / L"locked.txt"));
}

TEST(DeleteFileForce, LeavesFoldersAndTheirAttributesAlone) {
    ScratchDir dir;
    const std::wstring folder = dir / L"folder";
    ASSERT_TRUE(test::MakeDirs(folder));
    ASSERT_TRUE(SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_HIDDEN));
    const DWORD before = GetFileAttributesW(folder.c_str());
    ASSERT_TRUE(before & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(DeleteFileForce(folder));
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), before);
}

TEST(RemoveFolderTree, RemovesEverythingIncludingProtectedFiles) {
    ScratchDir dir;
    const std::wstring top = dir / L"top";
    ASSERT_TRUE(WriteFileText(top + L"\\a.txt", "a", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteFileText(top + L"\\sub\\b.txt", "b", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(WriteFileText(top + L"\\sub\\deeper\\中文.txt", "c"));
    ASSERT_TRUE(test::MakeDirs(top + L"\\empty"));

    EXPECT_TRUE(RemoveFolderTree(top + L"\\"));  // a trailing backslash is fine
    EXPECT_FALSE(PathExists(top));
    EXPECT_TRUE(RemoveFolderTree(top));          // missing: nothing to do
}

TEST(RemoveFolderTree, StopsDeletingAtTheFirstEntryThatSurvives) {
    ScratchDir dir;
    const std::wstring top = dir / L"top";
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt", L"d.txt", L"e.txt"})
        ASSERT_TRUE(WriteFileText(top + L"\\" + name, "x"));
    const std::vector<std::wstring> order = SearchOrder(top);
    ASSERT_EQ(order.size(), 5u);
    const std::wstring lockedName = order[2];  // in the middle of the search order

    UniqueHandle held = HoldExclusively(top + L"\\" + lockedName);
    ASSERT_TRUE(held);
    EXPECT_FALSE(RemoveFolderTree(top));
    EXPECT_TRUE(PathExists(top));
    for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(PathExists(top + L"\\" + order[i]), i >= 2) << testing::PrintToString(order[i]);
}

TEST(LongPaths, FileOperationsWorkBeyondMaxPath) {
    ScratchDir dir;
    std::wstring deep = dir / L"long";
    while (deep.size() < 300) deep += L"\\" + std::wstring(40, L'd');
    const std::wstring file = deep + L"\\file.dat";
    ASSERT_GT(file.size(), static_cast<std::size_t>(MAX_PATH));
    ASSERT_TRUE(WriteFileText(file, std::string(77, 'z')));

    EXPECT_TRUE(FileExistsAny(file));
    EXPECT_TRUE(FileExistsAny(deep + L"\\*.dat"));
    EXPECT_EQ(FileSizeByFind(file), 77u);
    EXPECT_EQ(FileSizeOrNone(file), 77);
    EXPECT_EQ(FileSizeByOpen(file), 77u);
    EXPECT_TRUE(DeleteFileForce(file));
    EXPECT_FALSE(FileExistsAny(file));

    ASSERT_TRUE(WriteFileText(file, "again"));
    EXPECT_TRUE(RemoveFolderTree(dir / L"long"));
    EXPECT_FALSE(PathExists(dir / L"long"));
}

TEST(FileNames, NamesEndingInADotOrABlankCanBeDeleted) {
    // Such names come from other systems and archives; the plain path form drops the ending.
    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(L"\\\\?\\" + (dir / L"x.tmp."), "x"));
    ASSERT_TRUE(WriteFileText(L"\\\\?\\" + (dir / L"blank "), "x"));
    EXPECT_TRUE(FileExistsAny(dir / L"x.tmp."));
    EXPECT_EQ(FileSizeOrNone(dir / L"x.tmp."), 1);
    EXPECT_TRUE(DeleteFileForce(dir / L"x.tmp."));
    EXPECT_FALSE(FileExistsAny(dir / L"x.tmp."));
    ASSERT_TRUE(WriteFileText(L"\\\\?\\" + (dir / L"sub\\y.tmp."), "y"));
    EXPECT_TRUE(RemoveFolderTree(dir / L"sub"));
    EXPECT_FALSE(PathExists(dir / L"sub"));
    EXPECT_TRUE(DeleteFileForce(dir / L"blank "));
}

TEST(ExtendedPath, OnlyLongAbsolutePathsGetThePrefix) {
    EXPECT_EQ(ExtendedPath(L"C:\\short\\path"), L"C:\\short\\path");
    const std::wstring name(250, L'n');
    EXPECT_EQ(ExtendedPath(L"C:\\" + name), L"\\\\?\\C:\\" + name);
    EXPECT_EQ(ExtendedPath(L"C:/x/../" + name), L"\\\\?\\C:\\" + name);
    EXPECT_EQ(ExtendedPath(L"\\\\server\\share\\" + name), L"\\\\?\\UNC\\server\\share\\" + name);
    EXPECT_EQ(ExtendedPath(L"\\\\?\\C:\\" + name), L"\\\\?\\C:\\" + name);
    EXPECT_EQ(ExtendedPath(L"relative\\" + name), L"relative\\" + name);
    // Long names that the plain form would change stay exact; with a ".." step no form is.
    EXPECT_EQ(ExtendedPath(L"C:\\" + name + L"\\report."), L"\\\\?\\C:\\" + name + L"\\report.");
    EXPECT_EQ(ExtendedPath(L"C:\\" + name + L"\\nul.tmp"), L"\\\\?\\C:\\" + name + L"\\nul.tmp");
    EXPECT_EQ(ExtendedPath(L"C:\\x\\..\\" + name + L"\\report."), L"C:\\x\\..\\" + name + L"\\report.");
}

TEST(ExtendedPath, NamesThePlainFormWouldChangeGetTheExactForm) {
    const struct { const wchar_t* path; const wchar_t* expected; } cases[] = {
        // A last name ending in a dot or blank, wherever dotted folder names stand.
        {L"C:\\dir\\x.tmp.", L"\\\\?\\C:\\dir\\x.tmp."},
        {L"C:/dir/y ", L"\\\\?\\C:\\dir\\y "},
        {L"C:\\dir\\.cache\\report.", L"\\\\?\\C:\\dir\\.cache\\report."},
        {L"C:\\.config\\a.\\b", L"\\\\?\\C:\\.config\\a.\\b"},
        {L"C:\\dir\\...", L"\\\\?\\C:\\dir\\..."},
        {L"C:/dir//x.", L"\\\\?\\C:\\dir\\x."},
        {L"\\\\server\\share\\x.", L"\\\\?\\UNC\\server\\share\\x."},
        // Device names, with any extension.
        {L"C:\\dir\\nul.tmp", L"\\\\?\\C:\\dir\\nul.tmp"},
        {L"C:\\dir\\CON.bak", L"\\\\?\\C:\\dir\\CON.bak"},
        {L"C:\\dir\\aux", L"\\\\?\\C:\\dir\\aux"},
        {L"C:\\dir\\com1.txt", L"\\\\?\\C:\\dir\\com1.txt"},
        {L"C:\\dir\\Lpt9.log", L"\\\\?\\C:\\dir\\Lpt9.log"},
        {L"C:\\dir\\nul .txt", L"\\\\?\\C:\\dir\\nul .txt"},
        {L"C:\\prn\\x", L"\\\\?\\C:\\prn\\x"},
        // Unchanged: ordinary names, dotted folders alone, "." / ".." steps, relative paths.
        {L"C:\\dir\\.cache\\report", L"C:\\dir\\.cache\\report"},
        {L"C:\\dir\\null.txt", L"C:\\dir\\null.txt"},
        {L"C:\\dir\\com10", L"C:\\dir\\com10"},
        {L"C:\\dir\\console.log", L"C:\\dir\\console.log"},
        {L"C:\\dir\\..", L"C:\\dir\\.."},
        {L"C:\\dir\\..\\x.", L"C:\\dir\\..\\x."},
        {L"C:\\dir\\.\\nul", L"C:\\dir\\.\\nul"},
        {L"report.", L"report."},
        {L".cache\\report.", L".cache\\report."},
        {L"nul.tmp", L"nul.tmp"},
        {L"\\\\.\\C:\\x.", L"\\\\.\\C:\\x."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtendedPath(c.path), c.expected) << testing::PrintToString(std::wstring(c.path));
}

TEST(FileNames, DottedFoldersDoNotCostTheExactName) {
    ScratchDir dir;
    const std::wstring folder = dir / L".cache";
    ASSERT_TRUE(WriteFileText(folder + L"\\report", "plain"));
    ASSERT_TRUE(WriteFileText(L"\\\\?\\" + folder + L"\\report.", "dot"));

    // With a ".." step no form names "report." exactly: refused rather than reaching "report".
    const std::wstring stepped = folder + L"\\..\\.cache\\report.";
    EXPECT_FALSE(DeleteFileForce(stepped));
    EXPECT_FALSE(DeleteAtReboot(stepped));
    EXPECT_TRUE(PathExists(L"\\\\?\\" + folder + L"\\report."));

    EXPECT_TRUE(DeleteFileForce(folder + L"\\report."));
    EXPECT_FALSE(PathExists(L"\\\\?\\" + folder + L"\\report."));
    EXPECT_EQ(FileSizeOrNone(folder + L"\\report"), 5);
}

TEST(FileNames, DeviceNamesAreDeletedAsFiles) {
    // A junk clean finds such files; the plain form would address the device instead.
    ScratchDir dir;
    const std::wstring exact = L"\\\\?\\" + dir.path() + L"\\";
    for (const wchar_t* name : {L"nul.tmp", L"con.bak", L"aux", L"com1.txt"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        // Read-only, so that the attribute reset has to reach the file as well.
        ASSERT_TRUE(WriteFileText(exact + name, "x", FILE_ATTRIBUTE_READONLY));
        EXPECT_EQ(FileSizeOrNone(dir / name), 1);
        EXPECT_TRUE(DeleteFileForce(dir / name));
        EXPECT_FALSE(PathExists(exact + name));
    }
    ASSERT_TRUE(WriteFileText(exact + L"tree\\con\\aux.txt", "x", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteFileText(exact + L"tree\\nul.tmp", "x"));
    EXPECT_TRUE(RemoveFolderTree(dir / L"tree"));
    EXPECT_FALSE(PathExists(exact + L"tree"));
}

// Drive Y: is the link_fixtures' folder C:\tm-fixtures\ydrive, holding keep.txt and sub\keep.txt.
class DriveRoots : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PathExists(L"Y:\\sub\\keep.txt")) << "drive Y: missing: run through ctest (link_fixtures)";
        // Relative spellings are tried from a working folder on Y: as well.
        GetCurrentDirectoryW(MAX_PATH, savedCwd_);
        ASSERT_TRUE(SetCurrentDirectoryW(L"Y:\\sub"));
    }
    void TearDown() override { SetCurrentDirectoryW(savedCwd_); }
    wchar_t savedCwd_[MAX_PATH] = {};
};

TEST_F(DriveRoots, EveryDeletionRefusesRootsAndBareDrives) {
    const std::wstring spellings[] = {
        L"Y:",  // a bare drive, the shape %windriver% expands to
        L"Y:\\", L"Y:/", L"y:\\\\", L"\\\\?\\Y:\\", L"\\\\?\\Y:", L"\\\\.\\Y:\\", L"\\\\.\\Y:", L"\\??\\Y:\\",
        L"//?/Y:/", L"Y:\\sub\\..", L"Y:\\sub\\..\\", L"Y:\\.", L"Y:\\sub\\.\\..\\.", L"\\\\?\\Y:\\sub\\..",
        L"\\\\server\\share", L"\\\\server\\share\\", L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share\\",
        L"\\\\server", L"", L".", L"..", L"\\", L"/", L".\\", L"sub\\..\\..",
        std::wstring(L"Y:\\\0junk", 8),  // the system call would stop at the zero
        L"Y:\\sub\tx",               // control characters are never part of a name
    };
    for (const std::wstring& path : spellings) {
        SCOPED_TRACE(testing::PrintToString(path));
        EXPECT_FALSE(RemoveFolderTree(path));
        EXPECT_FALSE(ShellDeletePath(path));
        EXPECT_FALSE(DeleteFileForce(path));
        EXPECT_FALSE(DeleteAtReboot(path));
        EXPECT_FALSE(RemoveReparsePoint(path));
    }
    EXPECT_TRUE(PathExists(L"Y:\\keep.txt"));
    EXPECT_TRUE(PathExists(L"Y:\\sub\\keep.txt"));
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_SET_VALUE | KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS) {
        EXPECT_NE(RegDeleteValueW(key.get(), L"PendingFileRenameOperations"), ERROR_SUCCESS)
            << "a refused path was registered for deletion at restart";
    }
}

TEST_F(DriveRoots, FoldersBelowARootStillGo) {
    ASSERT_TRUE(WriteFileText(L"Y:\\made\\inner\\f.txt", "x"));
    ASSERT_TRUE(WriteFileText(L"Y:\\made2\\f.txt", "x"));
    EXPECT_TRUE(RemoveFolderTree(L"Y:\\sub\\..\\made"));  // resolved to Y:\made
    EXPECT_FALSE(PathExists(L"Y:\\made"));
    EXPECT_TRUE(ShellDeletePath(L"Y:\\sub\\..\\made2"));
    EXPECT_FALSE(PathExists(L"Y:\\made2"));
    EXPECT_TRUE(PathExists(L"Y:\\sub\\keep.txt"));
}

TEST(DeleteAtReboot, RegistersTheExactName) {
    ScratchDir dir;
    const std::wstring names[] = {L"later.txt", L".cache\\report.", L"nul.tmp"};
    for (const std::wstring& name : names) {
        ASSERT_TRUE(WriteFileText(L"\\\\?\\" + (dir / name), "x"));
        ASSERT_TRUE(DeleteAtReboot(dir / name)) << testing::PrintToString(name);
    }

    UniqueHKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                            0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()),
              ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    std::wstring pending(size / sizeof(wchar_t), L'\0');
    RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, &type,
                     reinterpret_cast<BYTE*>(pending.data()), &size);
    // A reboot never comes in a test prefix; do not leave the entry behind.
    RegDeleteValueW(key.get(), L"PendingFileRenameOperations");
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    for (const std::wstring& name : names) {
        // Each source is followed by its end and an empty target.
        const std::wstring entry = L"\\" + name + std::wstring(2, L'\0');
        EXPECT_NE(pending.find(entry), std::wstring::npos) << testing::PrintToString(name);
        EXPECT_TRUE(PathExists(L"\\\\?\\" + (dir / name)));
    }
}

TEST(ShellDeletePath, DeletesFilesAndFoldersWithoutTheRecycleBin) {
    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(dir / L"one.txt", "x"));
    ASSERT_TRUE(WriteFileText(dir / L"folder\\inner\\two.txt", "y"));
    EXPECT_TRUE(ShellDeletePath(dir / L"one.txt"));
    EXPECT_TRUE(ShellDeletePath(dir / L"folder"));
    EXPECT_FALSE(PathExists(dir / L"one.txt"));
    EXPECT_FALSE(PathExists(dir / L"folder"));
    EXPECT_FALSE(ShellDeletePath(dir / L"never-there.txt"));
}

TEST(ExtractResourceToFile, WritesTheBytesAndLeavesFilesAloneForMissingResources) {
    ScratchDir dir;
    const std::wstring target = dir / L"out.bin";
    ASSERT_TRUE(WriteFileText(target, "old contents that are longer than the resource", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(ExtractResourceToFile(L"FILE", L"TESTBLOB", target));
    UniqueHandle file(CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    char bytes[64] = {};
    DWORD got = 0;
    ReadFile(file.get(), bytes, sizeof bytes, &got, nullptr);
    file.reset();
    EXPECT_EQ(std::string(bytes, got), "tidemark test resource\n");

    EXPECT_FALSE(ExtractResourceToFile(L"FILE", L"NO_SUCH_RESOURCE", target));
    EXPECT_EQ(FileSizeByFind(target), got);  // untouched

    UniqueHandle held = HoldExclusively(target);
    EXPECT_FALSE(ExtractResourceToFile(L"FILE", L"TESTBLOB", target));
    EXPECT_FALSE(ExtractResourceToFile(L"FILE", L"TESTBLOB", dir / L"no\\such\\folder\\x.bin"));
}

TEST(GetFileCompanyName, ReadsTheVersionResource) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring company = L"before";
    EXPECT_TRUE(GetFileCompanyName(self, company)) << testing::PrintToString(std::wstring(self));
    EXPECT_EQ(company, L"Corvane 测试");

    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(dir / L"plain.txt", "no version here"));
    company = L"before";
    EXPECT_FALSE(GetFileCompanyName(dir / L"plain.txt", company));
    EXPECT_EQ(company, L"before");
    EXPECT_FALSE(GetFileCompanyName(dir / L"missing.exe", company));
}

// The tree below is made by the link_fixtures setup step (Unix symbolic links inside the
// prefix, which Windows code sees as reparse points):
//   C:\tm-fixtures\links\tree\{a.txt, sub\b.txt, zlink -> ..\outside}
//   C:\tm-fixtures\links\outside\keep.txt
//   C:\tm-fixtures\links\tree2\elink -> ..\emptytarget     (an empty outside folder)
//   C:\tm-fixtures\links\toplink -> outside
const std::wstring kLinks = L"C:\\tm-fixtures\\links";

TEST(RemoveFolderTree, NeverEntersAReparsePoint) {
    ASSERT_TRUE(PathExists(kLinks + L"\\tree\\zlink"))
        << "link fixtures missing: run through ctest (link_fixtures sets them up)";
    ASSERT_TRUE(IsReparsePoint(kLinks + L"\\tree\\zlink"));
    EXPECT_FALSE(IsReparsePoint(kLinks + L"\\tree\\sub"));

    const bool removed = RemoveFolderTree(kLinks + L"\\tree");
    // The outside folder keeps its content whatever happened to the link.
    EXPECT_TRUE(PathExists(kLinks + L"\\outside\\keep.txt"));
    // The result tells the truth: true only when the tree is really gone.
    EXPECT_EQ(removed, !PathExists(kLinks + L"\\tree"));

    // A link to an empty folder: the folder it points to must survive too.
    const bool removed2 = RemoveFolderTree(kLinks + L"\\tree2");
    EXPECT_TRUE(PathExists(kLinks + L"\\emptytarget"));
    EXPECT_EQ(removed2, !PathExists(kLinks + L"\\tree2"));

    // A folder link is no file: refused without touching the folder it points to.
    ASSERT_TRUE(SetFileAttributesW((kLinks + L"\\outside").c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(DeleteFileForce(kLinks + L"\\toplink"));
    EXPECT_TRUE(GetFileAttributesW((kLinks + L"\\outside").c_str()) & FILE_ATTRIBUTE_HIDDEN);

    // Asked to remove a link itself: the link may go, the target's content stays.
    RemoveFolderTree(kLinks + L"\\toplink");
    EXPECT_TRUE(PathExists(kLinks + L"\\outside\\keep.txt"));
    EXPECT_FALSE(RemoveReparsePoint(kLinks + L"\\outside"));  // not a link: refused
}

}  // namespace
}  // namespace tidemark

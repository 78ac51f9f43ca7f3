// The trace catalogue: the three tables as written, their lists parallel, and the expansion.
#include <gtest/gtest.h>

#include <set>

#include "system/rule_macros.h"
#include "system/text_util.h"
#include "traces/trace_catalogue.h"
#include "traces/trace_engine.h"

namespace tidemark {
namespace {

std::vector<std::wstring> Split(const std::wstring& text) {
    std::vector<std::wstring> list;
    SplitToList(text, list, L"###");
    return list;
}

TEST(TraceCatalogue, ThreeTablesOfSixtyFiveRowsWithParallelLists) {
    const std::pair<int, int> sizes[] = {{TraceTableIe, 6}, {TraceTableSystem, 8}, {TraceTableSoftware, 51}};
    const int firstId[] = {0, 12001, 11001, 15001};
    int total = 0;
    for (auto [table, count] : sizes) {
        ASSERT_EQ(TraceRowCount(table), count) << table;
        total += count;
        for (int row = 0; row < count; ++row) {
            SCOPED_TRACE(testing::Message() << "table " << table << " row " << row);
            EXPECT_EQ(TraceTextId(table, row), firstId[table] + row);
            const TraceRecordFields r = TraceRecord(table, row);
            EXPECT_EQ(Split(r.Folders).size(), Split(r.Masks).size());
            EXPECT_EQ(Split(r.Roots).size(), Split(r.KeyPaths).size());
            if (!r.ValueNames.empty()) {
                EXPECT_EQ(Split(r.ValueNames).size(), Split(r.Roots).size());
            }
            // The tag follows the parts the row has.
            const bool files = !r.Folders.empty(), keys = !r.Roots.empty();
            EXPECT_EQ(r.Tag, files && keys ? L"0" : files ? L"1" : L"2");
        }
    }
    EXPECT_EQ(total, 65);
    EXPECT_TRUE(TraceRecord(TraceTableIe, 6).Tag.empty());
    EXPECT_EQ(TraceTextId(TraceTableSoftware, 51), 0);
    EXPECT_EQ(TraceTextId(7, 0), 0);
}

TEST(TraceCatalogue, RowsSpelledAsWritten) {
    const TraceRecordFields xunlei = TraceRecord(TraceTableSoftware, 49);
    EXPECT_EQ(xunlei.Folders, L"%windir%\\systen32\\cid_store.dat");
    EXPECT_EQ(xunlei.Masks, L"");
    EXPECT_EQ(xunlei.Roots, L"");

    const TraceRecordFields zip = TraceRecord(TraceTableSoftware, 50);
    EXPECT_EQ(Split(zip.KeyPaths),
              (std::vector<std::wstring>{L"Software\\7-Zip\\FM", L"Software\\7-Zip\\FM",
                                         L"Software\\7-Zip\\Compression\\ArcHistory"}));
    EXPECT_EQ(Split(zip.ValueNames), (std::vector<std::wstring>{L"CopyHistory", L"FolderHistory", L"NULL"}));

    const TraceRecordFields player = TraceRecord(TraceTableSoftware, 5);
    EXPECT_EQ(Split(player.Roots)[1], L"HKEY_USERS");
    EXPECT_EQ(Split(player.KeyPaths)[1], L".Default\\Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList");

    EXPECT_EQ(TraceRecord(TraceTableSystem, 7).KeyPaths, L"InstallLocationsMRU");
    EXPECT_EQ(TraceRecord(TraceTableSystem, 1).KeyPaths,
              L"\\SoftWare\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs");
    EXPECT_EQ(TraceRecord(TraceTableSoftware, 44).KeyPaths, L"Software\\Taobao\\WangWang\\淘宝旺旺");
    EXPECT_EQ(TraceRecord(TraceTableIe, 0).Folders, L"%usertempInternetFiles%");
    EXPECT_EQ(TraceRecord(TraceTableIe, 5).Folders, L"%useriecookies%");
}

TEST(TraceCatalogue, ResolveExpandsFoldersAndKeepsEmptyEntries) {
    BuildSpecialFolders();
    ASSERT_FALSE(SpecialFolders[1].empty());
    const TraceLocations file = ResolveTraceLocations(TraceRecord(TraceTableSoftware, 49));
    EXPECT_EQ(file.Folders, std::vector<std::wstring>{SpecialFolders[1] + L"\\SYSTEN32\\CID_STORE.DAT"});
    EXPECT_EQ(file.Masks, std::vector<std::wstring>{L""});
    EXPECT_EQ(file.Roots, std::vector<std::wstring>{L""});

    const TraceLocations temp = ResolveTraceLocations(TraceRecord(TraceTableSystem, 0));
    EXPECT_EQ(temp.Folders, std::vector<std::wstring>{SpecialFolders[8]});
    EXPECT_EQ(temp.ValueNames, std::vector<std::wstring>{L""});
}

TEST(TraceCatalogue, ProtectedTempNamesAreElevenDistinctWithOurOwnFirst) {
    std::set<std::wstring> names(TempProtectedNames.begin(), TempProtectedNames.end());
    EXPECT_EQ(names.size(), 11u);
    EXPECT_STREQ(TempProtectedNames[0], L"Brim");
}

TEST(TracePaths, JoinAddsOneSeparator) {
    const struct {
        const wchar_t *folder, *name, *joined;
    } cases[] = {
        {L"C:\\", L"x", L"C:\\x"},
        {L"C:\\TEMP", L"*.*", L"C:\\TEMP\\*.*"},
        {L"C:\\TEMP\\", L"a.txt", L"C:\\TEMP\\a.txt"},
    };
    for (const auto& c : cases) EXPECT_EQ(JoinTracePath(c.folder, c.name), c.joined) << c.folder;
}

TEST(TracePaths, FoldersThatWouldTakeTheSystemAlongAreNotTraces) {
    TracePlaces places;
    places.Keep.AddFolder(L"C:\\WINDOWS");
    places.Keep.AddFolder(L"C:\\PROGRAM FILES");
    places.Keep.AddFolder(L"C:\\USERS\\ME");
    places.Keep.AddFolder(L"C:\\USERS\\ME\\DOCUMENTS");
    const struct {
        const wchar_t* folder;
        bool allowed;
    } cases[] = {
        {L"", false},
        {L"TEMP", false},
        {L"C:\\", false},
        {L"C:", false},
        {L"C:\\WINDOWS", false},
        {L"c:\\windows\\", false},
        {L"C:\\PROGRAM FILES", false},
        {L"C:\\USERS", false},
        {L"C:\\USERS\\ME", false},
        {L"C:\\USERS\\ME\\DOCUMENTS", false},
        {L"C:\\USERS\\ME\\TEMP", true},
        {L"C:\\WINDOWS\\TEMP", true},
        {L"C:\\USERS\\ME\\DOCUMENTS\\RECENT", true},
    };
    for (const auto& c : cases) EXPECT_EQ(TraceFolderAllowed(c.folder, places), c.allowed) << c.folder;
}

}  // namespace
}  // namespace tidemark

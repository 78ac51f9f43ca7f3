// The junk scan and the junk deletion against real folders of the test prefix.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>

#include "common/junk_literal_walk.h"
#include "common/test_support.h"
#include "junk/custom_folders.h"
#include "junk/junk_clean.h"
#include "junk/junk_scan.h"
#include "settings/settings_store.h"
#include "system/file_ops.h"

namespace tidemark {
namespace {

constexpr unsigned kPrc = 2052;
const std::wstring kLinks = L"C:\\tm-fixtures\\junk-links";

JunkRuleSet DefaultRules() { return BuildJunkRuleSetFrom(L"", kDefaultTypeStates, kPrc); }

// Stops the operation after a number of reports.
template <typename Record>
class StoppingSink final : public Sink<Record> {
public:
    StoppingSink(StopToken& stop, int after) : stop_(stop), left_(after) {}
    void Found(const Record&) override { Tick(); }
    void Processed(const Record&, Outcome) override { Tick(); }

private:
    void Tick() {
        if (--left_ == 0) stop_.Request();
    }
    StopToken& stop_;
    int left_;
};

JunkScanResult Scan(const std::vector<std::wstring>& roots, JunkRuleSet rules = DefaultRules(),
                    std::vector<std::wstring> excluded = {}) {
    Sink<JunkListed> sink;
    NullPump pump;
    StopToken stop;
    return ScanJunk(JunkScanRequest{roots, std::move(rules), std::move(excluded)}, {sink, pump, stop});
}

std::vector<std::pair<std::wstring, std::wstring>> Listing(const JunkScanResult& result) {
    std::vector<std::pair<std::wstring, std::wstring>> listing;
    for (const JunkFile& file : result.files) listing.emplace_back(result.groups[file.group].groupType, result.FullPath(file));
    return listing;
}

JunkCleanTotals Clean(const JunkScanResult& result, JunkMethod method) {
    Sink<JunkCleanRecord> sink;
    NullPump pump;
    StopToken stop;
    return CleanJunkFiles(result, FilesInGroupOrder(result), method, {sink, pump, stop});
}

TEST(JunkScan, ListsWhatTheRulesMatchInTheLiteralOrder) {
    test::ScratchDir dir;
    const std::wstring root = dir.path() + L"\\";
    // name -> the group it belongs to ("" = never listed)
    const std::vector<std::pair<std::wstring, std::wstring>> files = {
        {L"a.tmp", L"*.tmp"},
        {L"x.~mp", L"*.~*"},              // the pattern rule comes first; "*.~mp" does not list it again
        {L"file0001.chk", L"file0*.chk"},  // likewise before "*.chk"
        {L"b.chk", L"*.chk"},
        {L"c.TMP", L"*.tmp"},
        {L"e.ab~", L"*.??~"},
        {L"Thumbs.db", L""},                // its type is unticked by default
        {L"setup.inf.tmp", L""},            // vetoed: ".INF"
        {L"DeskTop.ini", L""},
        {L"keep.txt", L""},
        {L"sub\\d.tmp", L"*.tmp"},
        {L"sub\\deeper\\f.old", L"*.old"},
        {L"sub\\x.~mp", L"*.~*"},
        {L"Application Data\\z.tmp", L""},  // excluded names, in any letter case
        {L"sub\\application data\\z.tmp", L""},
        {L"Norton SYMANTEC\\z.tmp", L""},
        {L"appdata\\z.tmp", L""},           // excluded as a folder the system reports
    };
    for (const auto& [name, group] : files) ASSERT_TRUE(test::WriteFileText(root + name, "x")) << test::Narrow(name);

    const JunkRuleSet rules = DefaultRules();
    const std::vector<std::wstring> excluded = {root + L"AppData"};
    const JunkScanResult result = Scan({root}, rules, excluded);

    std::set<std::pair<std::wstring, std::wstring>> expected, got;
    for (const auto& [name, group] : files)
        if (!group.empty()) expected.emplace(group, root + name);
    for (const auto& row : Listing(result)) got.insert(row);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(result.files.size(), expected.size());  // each file once

    // File for file and in order, what one search per pattern rule per folder lists.
    EXPECT_EQ(Listing(result), test::LiteralJunkWalk(rules, excluded).Walk({root}));

    // Groups in first-found order, each with its files in the order found and its totals.
    std::vector<std::wstring> firstSeen;
    for (const JunkFile& file : result.files) {
        const std::wstring& type = result.groups[file.group].groupType;
        if (std::find(firstSeen.begin(), firstSeen.end(), type) == firstSeen.end()) firstSeen.push_back(type);
    }
    ASSERT_EQ(result.groups.size(), firstSeen.size());
    std::uint64_t total = 0;
    for (std::size_t g = 0; g < result.groups.size(); ++g) {
        const JunkGroup& group = result.groups[g];
        EXPECT_EQ(group.groupType, firstSeen[g]);
        EXPECT_EQ(group.fileCount, group.files.size());
        EXPECT_TRUE(std::is_sorted(group.files.begin(), group.files.end()));
        total += group.totalCentiKb;
    }
    EXPECT_EQ(total, result.totalCentiKb);
    // Rule index and description follow the rule that made the group.
    for (const JunkGroup& group : result.groups) {
        if (group.groupType == L"*.tmp") {
            EXPECT_FALSE(group.pattern);
            EXPECT_EQ(rules.extensions[group.ruleIndex], L".TMP");
            EXPECT_EQ(group.description, L"临时文件");
        }
        if (group.groupType == L"file0*.chk") {
            EXPECT_TRUE(group.pattern);
            EXPECT_EQ(rules.patterns[group.ruleIndex], L"file0*.chk");
        }
    }
}

TEST(JunkScan, UserTypesWithVetoes) {
    test::ScratchDir dir;
    const std::wstring root = dir.path() + L"\\";
    for (const wchar_t* name : {L"setup.log", L"install.LOG", L"error.log", L"FOUND.000.chk", L"found001.chk",
                                L"x.pf", L"Prefetch\\y.pf", L"Prefetch\\error.log", L"qmgr.inf.log"})
        ASSERT_TRUE(test::WriteFileText(root + name, "x"));
    const JunkRuleSet rules =
        BuildJunkRuleSetFrom(L"*.LOG/found*.chk/*.pf", std::wstring(kDefaultTypeStates) + L"000", kPrc);
    const JunkScanResult result = Scan({root}, rules);
    std::set<std::pair<std::wstring, std::wstring>> names;
    for (const JunkFile& file : result.files) names.emplace(file.name, result.groups[file.group].groupType);
    // "FOUND*.CHK" lists only in a drive's root folder (the built-in "*.chk" lists them here);
    // "*.PF" only under Prefetch; "*.LOG" not for names holding UN, IN or SE.
    EXPECT_EQ(names, (std::set<std::pair<std::wstring, std::wstring>>{
                         {L"error.log", L"*.log"}, {L"y.pf", L"*.pf"}, {L"FOUND.000.chk", L"*.chk"},
                         {L"found001.chk", L"*.chk"}}));
    EXPECT_EQ(Listing(result), test::LiteralJunkWalk(rules, {}).Walk({root}));
}

TEST(JunkScan, ExcludedFolders) {
    const std::vector<std::wstring> system = SystemAppDataFolders();
    EXPECT_FALSE(system.empty());
    const struct { std::wstring folder; bool excluded; } cases[] = {
        {L"C:\\RECYCLER\\S-1-5-21", true},
        {L"D:\\Recycled\\", true},
        {L"C:\\$Recycle.Bin\\S-1-5-21\\", true},
        {L"C:\\System Volume Information", true},
        {L"C:\\Documents and Settings\\u\\Application Data\\x", true},
        {L"C:\\Program Files\\Microsoft Office\\Data\\", true},
        {L"C:\\Program Files\\symantec\\", true},
        {L"C:\\stuff\\RECYCLER\\", false},  // only a drive's own recycle bin
        {L"C:\\Program Files\\", false},
        {L"C:\\Windows\\Temp\\", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsExcludedJunkFolder(c.folder, system), c.excluded) << test::Narrow(c.folder);
    for (const std::wstring& folder : system) {
        EXPECT_TRUE(IsExcludedJunkFolder(folder, system)) << test::Narrow(folder);
        EXPECT_TRUE(IsExcludedJunkFolder(folder + L"\\Vendor\\cache", system)) << test::Narrow(folder);
        EXPECT_FALSE(IsExcludedJunkFolder(folder + L"x", system)) << test::Narrow(folder);  // a sibling's name
    }
}

TEST(JunkScan, SizesAndTexts) {
    const struct { std::uint64_t bytes; std::uint64_t centi; const wchar_t* text; } sizes[] = {
        {1536, 150, L"1.5"}, {0, 0, L"0"},     {1024, 100, L"1"},  {128, 12, L"0.12"},  // 0.125: half to even
        {384, 38, L"0.38"},  {10, 1, L"0.01"}, {4096000, 400000, L"4000"},
        // Past 32 bits, in bytes and in hundredths of a KB.
        {53687091200ull, 5242880000ull, L"52428800"},          // 50 GB
        {(1ull << 32) + 512, 419430450ull, L"4194304.5"},
        {~0ull, 1801439850948198400ull, L"18014398509481984"},  // the largest size: no overflow
    };
    for (const auto& s : sizes) {
        EXPECT_EQ(CentiKbOfSize(s.bytes), s.centi) << s.bytes;
        EXPECT_EQ(CentiText(s.centi), s.text) << s.bytes;
    }
    EXPECT_EQ(CentiText(CentiMbOfCentiKb(104857600)), L"1024");  // 1,048,576 KB
    EXPECT_EQ(CentiText(CentiMbOfCentiKb(150)), L"0");
    JunkGroup group;
    group.description = L"临时文件";
    group.groupType = L"*.tmp";
    group.fileCount = 2;
    group.totalCentiKb = 150;
    EXPECT_EQ(GroupRowText(group), L"临时文件   (*.tmp 文件大小: 1.50 KB  文件个数: 2个)");
    EXPECT_EQ(ElapsedText(3725), L"01:02:05");

    test::ScratchDir dir;
    ASSERT_TRUE(test::WriteFileText(dir / L"a.tmp", std::string(1536, 'x')));
    const JunkScanResult result = Scan({dir.path()});
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].centiKb, 150u);
    EXPECT_EQ(result.totalCentiKb, 150u);
}

TEST(JunkScan, StopsMidWalkWithWhatItFound) {
    test::ScratchDir dir;
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(test::WriteFileText(dir / (L"f" + std::to_wstring(i) + L"\\a.tmp"), "x"));
    StopToken stop;
    StoppingSink<JunkListed> sink(stop, 2);
    NullPump pump;
    const JunkScanResult result = ScanJunk(JunkScanRequest{{dir.path()}, DefaultRules(), {}}, {sink, pump, stop});
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.files.size(), 2u);
    EXPECT_EQ(result.totalCentiKb, 0u);  // 1 byte rounds to 0.00
}

TEST(JunkScan, CustomRuleSet) {
    const struct { const wchar_t* types; const wchar_t* states; std::size_t patterns, extensions; } cases[] = {
        {L"*.log/Thumbs.db/*.bak", L"010", 0, 2},
        {L"*.log/Thumbs.db", L"000", 0, 0},  // counts disagree: nothing used
        {L"", L"", 0, 0},
        {L"a?.x/*.y", L"00", 1, 1},
    };
    for (const auto& c : cases) {
        const JunkRuleSet set = BuildCustomJunkRuleSetFrom(c.types, c.states, kPrc);
        EXPECT_EQ(set.patterns.size(), c.patterns) << test::Narrow(c.types);
        EXPECT_EQ(set.extensions.size(), c.extensions) << test::Narrow(c.types);
        for (const auto& d : set.extensionDescriptions) EXPECT_EQ(d, L"自定义");
    }
}

// The links of make_junk_links.sh: a link to an outside folder and one looping back to its
// grandparent.
TEST(JunkScan, LinksAreNeitherFollowedNorListedNorTouched) {
    const std::wstring tree = kLinks + L"\\tree";
    ASSERT_TRUE(IsReparsePoint(tree + L"\\zlink")) << "run make_junk_links.sh";
    for (const JunkMethod method : {JunkMethod::Recycle, JunkMethod::Direct}) {
        const JunkScanResult result = Scan({tree});
        std::set<std::wstring> paths;
        for (const auto& row : Listing(result)) EXPECT_TRUE(paths.insert(row.second).second) << "listed twice";
        // Before the first clean the tree holds a.tmp and sub\b.tmp; the recycle bin may keep them.
        for (const std::wstring& path : paths)
            EXPECT_TRUE(path == tree + L"\\a.tmp" || path == tree + L"\\sub\\b.tmp") << test::Narrow(path);
        Clean(result, method);
        EXPECT_TRUE(test::PathExists(kLinks + L"\\outside\\keep.tmp"));
        EXPECT_TRUE(IsReparsePoint(tree + L"\\zlink"));
    }
}

TEST(JunkClean, AFolderTurnedIntoALinkSinceTheScanIsRefused) {
    // A result as a scan of a folder would have made before that folder became a link.
    JunkScanResult result;
    result.folders = {kLinks + L"\\tree\\zlink\\"};
    JunkGroup group;
    group.groupType = L"*.tmp";
    group.fileCount = 1;
    group.files = {0};
    result.groups = {group};
    result.files = {JunkFile{0, 0, 0, L"keep.tmp"}};
    ASSERT_TRUE(test::PathExists(kLinks + L"\\outside\\keep.tmp")) << "run make_junk_links.sh";
    for (const JunkMethod method : {JunkMethod::Direct, JunkMethod::Recycle}) {
        const JunkCleanTotals totals = Clean(result, method);
        EXPECT_EQ(totals.refused, 1u);
        EXPECT_EQ(totals.attempted, 0u);
        EXPECT_TRUE(totals.rebootList.empty());
        EXPECT_EQ(totals.Cleaned(), 0u);
        EXPECT_TRUE(test::PathExists(kLinks + L"\\outside\\keep.tmp"));
    }
}

TEST(JunkClean, LongPathsAreListedAndDeleted) {
    test::ScratchDir dir;
    std::wstring folder = dir.path();
    while (folder.size() < 380) folder += L"\\" + std::wstring(40, L'd');
    const std::wstring file = folder + L"\\long.tmp";
    ASSERT_GT(file.size(), 400u);
    ASSERT_TRUE(test::WriteFileText(file, "x"));
    const JunkScanResult result = Scan({dir.path()});
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.FullPath(0), file);
    const JunkCleanTotals totals = Clean(result, JunkMethod::Direct);
    EXPECT_EQ(totals.deleted, 1u);
    EXPECT_FALSE(test::PathExists(file));
}

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(ExtendedPath(path).c_str()); }

TEST(JunkClean, BothMethods) {
    constexpr DWORD kReadOnlyHidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    for (const JunkMethod method : {JunkMethod::Direct, JunkMethod::Recycle}) {
        SCOPED_TRACE(method == JunkMethod::Direct ? "direct" : "recycle");
        test::ScratchDir dir;
        const std::wstring plain = dir / L"plain.tmp", protectedFile = dir / L"ro.tmp", locked = dir / L"locked.tmp",
                           vanished = dir / L"gone.tmp";
        ASSERT_TRUE(test::WriteFileText(plain, "x"));
        ASSERT_TRUE(test::WriteFileText(protectedFile, "x", kReadOnlyHidden));
        ASSERT_TRUE(test::WriteFileText(locked, "x", FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(test::WriteFileText(vanished, "x"));
        const JunkScanResult result = Scan({dir.path()});
        ASSERT_EQ(result.files.size(), 4u);
        ASSERT_TRUE(DeleteFileW(vanished.c_str()));
        // Another program holds the file (no sharing at all).
        SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
        HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(hold, INVALID_HANDLE_VALUE);
        SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);

        std::vector<std::pair<std::wstring, Outcome>> seen;
        class Recorder final : public Sink<JunkCleanRecord> {
        public:
            explicit Recorder(std::vector<std::pair<std::wstring, Outcome>>& seen) : seen_(seen) {}
            void Processed(const JunkCleanRecord& r, Outcome o) override { seen_.emplace_back(r.result.FullPath(r.index), o); }
            std::vector<std::pair<std::wstring, Outcome>>& seen_;
        } recorder(seen);
        NullPump pump;
        StopToken stop;
        const JunkCleanTotals totals = CleanJunkFiles(result, FilesInGroupOrder(result), method, {recorder, pump, stop});
        CloseHandle(hold);

        ASSERT_EQ(seen.size(), 4u);
        for (const auto& [path, outcome] : seen) {
            if (path == vanished) {
                EXPECT_EQ(outcome, Outcome::Missing);
            } else if (path == locked) {
                EXPECT_EQ(outcome, method == JunkMethod::Direct ? Outcome::Deferred : Outcome::Failed);
            } else {
                EXPECT_EQ(outcome, method == JunkMethod::Direct ? Outcome::Done : Outcome::Recycled) << test::Narrow(path);
            }
        }
        EXPECT_FALSE(test::PathExists(plain));
        EXPECT_FALSE(test::PathExists(protectedFile));
        EXPECT_TRUE(test::PathExists(locked));
        EXPECT_EQ(totals.missing, 1u);
        EXPECT_EQ(totals.attempted, 3u);
        EXPECT_EQ(totals.Cleaned(), 2u);  // what was removed, not what was tried
        if (method == JunkMethod::Direct) {
            EXPECT_EQ(totals.reboot, 1u);
            ASSERT_EQ(totals.rebootList.size(), 1u);
            EXPECT_EQ(result.FullPath(totals.rebootList[0]), locked);
        } else {
            EXPECT_EQ(totals.failed, 1u);
            EXPECT_TRUE(totals.rebootList.empty());
            // It stayed: it keeps the attributes it had.
            EXPECT_EQ(Attributes(locked) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
        }
        SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

using Sequence = std::vector<std::pair<std::wstring, Outcome>>;

class SequenceRecorder final : public Sink<JunkCleanRecord> {
public:
    void Processed(const JunkCleanRecord& r, Outcome o) override { seen.emplace_back(r.result.FullPath(r.index), o); }
    Sequence seen;
};

// A service judging by no protected places, with a stand-in recycle bin.
RemovalService ServiceWithRecycler(RemovalService::Recycler recycler) {
    RemovalService service(std::make_shared<const ProtectedPlaces>());
    service.SetRecycler(std::move(recycler));
    return service;
}

TEST(JunkClean, PreviewListsExactlyWhatTheCleanProcesses) {
    for (const JunkMethod method : {JunkMethod::Direct, JunkMethod::Recycle}) {
        SCOPED_TRACE(method == JunkMethod::Direct ? "direct" : "recycle");
        test::ScratchDir dir;
        for (const wchar_t* name : {L"a.tmp", L"b.old", L"sub\\c.tmp", L"d.old", L"e.tmp", L"gone.tmp"})
            ASSERT_TRUE(test::WriteFileText(dir / name, "x"));
        const JunkScanResult result = Scan({dir.path()});
        ASSERT_EQ(result.files.size(), 6u);
        ASSERT_TRUE(DeleteFileW((dir / L"gone.tmp").c_str()));
        // The order a window hands in: group order minus an unticked file, plus an index the
        // result does not have (neither is offered to the clean).
        std::vector<std::uint32_t> order = FilesInGroupOrder(result);
        const std::uint32_t unticked = order[1];
        order.erase(order.begin() + 1);
        order.push_back(99);

        const RemovalService service = ServiceWithRecycler([](const std::wstring& path) { return DeleteFileForce(path); });
        NullPump pump;
        StopToken stop;
        SequenceRecorder preview, apply;
        const JunkCleanTotals listed =
            CleanJunkFiles(result, order, method, {preview, pump, stop}, WalkMode::Preview, service);
        EXPECT_EQ(listed.listed, 5u);
        EXPECT_EQ(listed.attempted + listed.Cleaned() + listed.missing + listed.failed + listed.reboot, 0u);
        for (const auto& [path, outcome] : preview.seen) EXPECT_EQ(outcome, Outcome::Listed) << test::Narrow(path);
        // A preview changes nothing.
        for (std::size_t i = 0; i < result.files.size(); ++i)
            EXPECT_EQ(test::PathExists(result.FullPath(i)), result.files[i].name != L"gone.tmp") << i;

        const JunkCleanTotals cleaned = CleanJunkFiles(result, order, method, {apply, pump, stop}, WalkMode::Apply, service);
        ASSERT_EQ(apply.seen.size(), preview.seen.size());
        for (std::size_t i = 0; i < apply.seen.size(); ++i) EXPECT_EQ(apply.seen[i].first, preview.seen[i].first) << i;
        EXPECT_EQ(cleaned.listed, 0u);
        EXPECT_EQ(cleaned.missing, 1u);
        EXPECT_EQ(cleaned.Cleaned(), 4u);
        EXPECT_TRUE(test::PathExists(result.FullPath(unticked)));
    }
}

TEST(JunkClean, RecycleNeverDeletesWhatTheBinRefuses) {
    constexpr DWORD kReadOnlyHidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    test::ScratchDir dir;
    ASSERT_TRUE(test::WriteFileText(dir / L"a.tmp", "x", kReadOnlyHidden));
    ASSERT_TRUE(test::WriteFileText(dir / L"b.tmp", "x"));
    const JunkScanResult result = Scan({dir.path()});
    ASSERT_EQ(result.files.size(), 2u);
    std::vector<std::wstring> offered;
    const RemovalService service = ServiceWithRecycler([&](const std::wstring& path) {
        offered.push_back(path);
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    });
    SequenceRecorder sink;
    NullPump pump;
    StopToken stop;
    const JunkCleanTotals totals =
        CleanJunkFiles(result, FilesInGroupOrder(result), JunkMethod::Recycle, {sink, pump, stop}, WalkMode::Apply, service);
    EXPECT_EQ(offered.size(), 2u);
    EXPECT_EQ(totals.failed, 2u);
    EXPECT_EQ(totals.Cleaned(), 0u);
    EXPECT_TRUE(totals.rebootList.empty());  // never left for the restart either
    for (const auto& [path, outcome] : sink.seen) EXPECT_EQ(outcome, Outcome::Failed) << test::Narrow(path);
    EXPECT_TRUE(test::PathExists(dir / L"a.tmp"));
    EXPECT_TRUE(test::PathExists(dir / L"b.tmp"));
    EXPECT_EQ(Attributes(dir / L"a.tmp") & kReadOnlyHidden, kReadOnlyHidden);
    SetFileAttributesW((dir / L"a.tmp").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(JunkClean, GroupOrderAndCancelAfterTheFirstFile) {
    test::ScratchDir dir;
    for (const wchar_t* name : {L"a.tmp", L"b.old", L"c.tmp", L"d.old"}) ASSERT_TRUE(test::WriteFileText(dir / name, "x"));
    const JunkScanResult result = Scan({dir.path()});
    ASSERT_EQ(result.files.size(), 4u);
    // Group by group.
    const std::vector<std::uint32_t> order = FilesInGroupOrder(result);
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(result.files[order[0]].group, result.files[order[1]].group);
    EXPECT_EQ(result.files[order[2]].group, result.files[order[3]].group);

    StopToken stop;
    StoppingSink<JunkCleanRecord> sink(stop, 1);
    NullPump pump;
    const JunkCleanTotals totals = CleanJunkFiles(result, order, JunkMethod::Direct, {sink, pump, stop});
    EXPECT_TRUE(totals.stopped);
    EXPECT_EQ(totals.deleted, 1u);
    EXPECT_FALSE(test::PathExists(result.FullPath(order[0])));
    for (std::size_t i = 1; i < order.size(); ++i) EXPECT_TRUE(test::PathExists(result.FullPath(order[i])));
}

TEST(JunkClean, ProgressBarSteps) {
    CleanProgressBar three(200, 3);
    const int widths[] = {67, 133, 199}, percents[] = {33, 66, 99};
    for (int i = 0; i < 3; ++i) {
        three.Advance();
        EXPECT_EQ(three.Width(), widths[i]);
        EXPECT_EQ(three.Percent(), percents[i]);
    }
    three.Finish();
    EXPECT_EQ(three.Percent(), 100);

    CleanProgressBar thousand(200, 1000);  // one pixel every five files
    for (int i = 0; i < 4; ++i) thousand.Advance();
    EXPECT_EQ(thousand.Width(), 1);
    thousand.Advance();
    EXPECT_EQ(thousand.Width(), 2);
    for (int i = 5; i < 1000; ++i) thousand.Advance();
    EXPECT_EQ(thousand.Width(), 200);

    CleanProgressBar one(200, 1);  // never past the full width
    one.Advance();
    EXPECT_EQ(one.Width(), 200);
}

TEST(CustomFolders, ImportDeleteAndTheSeparator) {
    const struct { const wchar_t* stored; const wchar_t* path; std::optional<std::wstring> after; } cases[] = {
        {L"", L"C:\\a", L"C:\\a"},
        {L"C:\\a###D:\\b", L"d:\\B", L"C:\\a###D:\\b"},           // the last entry, other case
        {L"C:\\a###D:\\b", L"c:\\A", L"C:\\a###D:\\b"},           // an earlier entry
        {L"C:\\abc", L"C:\\ab", L"C:\\abc###C:\\ab"},              // a proper prefix is new
        {L"C:\\a", L"C:\\x###y", std::nullopt},                     // would split the list
        {L"C:\\a", L"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CustomFolderListWith(c.stored, c.path), c.after) << test::Narrow(c.stored) << " + " << test::Narrow(c.path);
    EXPECT_EQ(CustomFolderEntries(L"C:\\a######D:\\b###"), (std::vector<std::wstring>{L"C:\\a", L"D:\\b"}));
    EXPECT_EQ(CustomFolderListText({}), L"");
    EXPECT_EQ(CustomFolderListText({L"C:\\a", L"D:\\b"}), L"C:\\a###D:\\b");
}

}  // namespace
}  // namespace tidemark

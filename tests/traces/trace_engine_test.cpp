// The trace scan and clean against real folders, registry keys and the URL cache of the test
// prefix.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>
#include <wininet.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "system/file_ops.h"
#include "system/reg_view.h"
#include "system/rule_macros.h"
#include "system/text_case.h"
#include "traces/trace_engine.h"

namespace tidemark {
namespace {

using test::MakeDirs;
using test::PathExists;
using test::WriteFileText;

class Recorder final : public Sink<TraceEntry> {
public:
    void Found(const TraceEntry& entry) override { found.push_back(entry); }
    void Processed(const TraceEntry& entry, Outcome outcome) override { processed.emplace_back(entry.Text, outcome); }
    std::vector<TraceEntry> found;
    std::vector<std::pair<std::wstring, Outcome>> processed;
};

struct Harness {
    Recorder sink;
    NullPump pump;
    StopToken stop;
    TraceRun op{sink, pump, stop};
};

std::vector<std::wstring> Texts(const TraceItem& item) {
    std::vector<std::wstring> texts;
    for (const TraceEntry& e : item.Entries) texts.push_back(UpperCased(e.Text));
    std::sort(texts.begin(), texts.end());
    return texts;
}

TraceItem& ItemOf(TraceTree& tree, int table, int row) {
    for (TraceGroupState& group : tree.Groups)
        for (TraceItem& item : group.Items)
            if (item.Table == table && item.Row == row) return item;
    throw std::runtime_error("no such item");
}

void SetText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text = L"x") {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | ViewAccess(CurrentRegView()), nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

bool ValueThere(HKEY root, const std::wstring& path, const std::wstring& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | ViewAccess(CurrentRegView()), &key) != ERROR_SUCCESS) return false;
    const bool there = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return there;
}

// The special-folder table as the test leaves it: each case points macros at its scratch folders.
class TraceTest : public testing::Test {
protected:
    void SetUp() override {
        BuildSpecialFolders();
        saved_ = SpecialFolders;
    }
    void TearDown() override { SpecialFolders = saved_; }
    std::array<std::wstring, kRuleMacroCount> saved_;
};

// A trace folder tree: files at the top and deeper, index files in any case, our work folder,
// an empty sub-folder.
void MakeTree(const test::ScratchDir& dir) {
    WriteFileText(dir / L"a.txt", "a");
    WriteFileText(dir / L"INDEX.DAT", "i");
    WriteFileText(dir / L"sub\\index.dat", "i");
    WriteFileText(dir / L"sub\\Index.Dat.old", "i");
    WriteFileText(dir / L"sub\\deep\\b.txt", "b");
    WriteFileText(dir / L"Brim\\own.tmp", "w");
    WriteFileText(dir / L"brim\\x\\own2.tmp", "w");
    MakeDirs(dir / L"empty");
}

TEST_F(TraceTest, TemporaryFolderSkipsIndexFilesAndOurWorkFolder) {
    test::ScratchDir dir;
    MakeTree(dir);
    const std::wstring upper = UpperCased(dir.path());
    SpecialFolders[8] = upper;  // %usertemp%
    SpecialFolders[9] = upper;  // %usertempInternetFiles%
    TracePlaces places = TracePlacesOfSystem();
    ASSERT_EQ(places.TempFolder, upper);

    TraceTree tree = MakeTraceTree();
    Harness run;
    // As the temporary folder: the work folder is never listed, empty folders are left for the clean.
    TraceItem& temp = ItemOf(tree, TraceTableSystem, 0);
    ScanTraceItem(temp, places, run.op);
    EXPECT_EQ(Texts(temp), (std::vector<std::wstring>{upper + L"\\A.TXT", upper + L"\\SUB\\DEEP\\B.TXT"}));
    EXPECT_EQ(temp.Count, 2);
    EXPECT_TRUE(temp.Done);
    EXPECT_TRUE(PathExists(dir / L"empty"));
    EXPECT_EQ(run.sink.found.size(), 2u);
    for (const TraceEntry& e : temp.Entries) {
        EXPECT_EQ(e.Kind, TraceEntryKind::File);
        EXPECT_EQ(e.Base, upper);
        EXPECT_EQ(e.Table, TraceTableSystem);
        EXPECT_TRUE(e.Ticked);
    }
    // The same tree as the browser cache: only the temporary folder protects those names.
    places.TempFolder = SpecialFolders[1];
    TraceItem& cache = ItemOf(tree, TraceTableIe, 0);
    ScanTraceItem(cache, places, run.op);
    EXPECT_EQ(Texts(cache), (std::vector<std::wstring>{upper + L"\\A.TXT", upper + L"\\BRIM\\OWN.TMP",
                                                       upper + L"\\BRIM\\X\\OWN2.TMP", upper + L"\\SUB\\DEEP\\B.TXT"}));
    // A rescan starts the item afresh.
    ScanTraceItem(cache, places, run.op);
    EXPECT_EQ(cache.Count, 4);
}

TEST_F(TraceTest, FoldersThatHoldTheSystemListNothing) {
    TraceTree tree = MakeTraceTree();
    const std::wstring windowsFolder = SpecialFolders[1];
    const std::wstring cases[] = {windowsFolder.substr(0, 3), windowsFolder, SpecialFolders[16], L"TEMP", L""};
    for (const std::wstring& folder : cases) {
        SpecialFolders[8] = folder;
        Harness run;
        TraceItem& temp = ItemOf(tree, TraceTableSystem, 0);
        ScanTraceItem(temp, TracePlacesOfSystem(), run.op);
        EXPECT_EQ(temp.Count, 0) << folder;
    }
}

TEST_F(TraceTest, LinksAreNeverWalked) {
    const std::wstring links = L"C:\\tm-fixtures\\links";
    ASSERT_TRUE(PathExists(links + L"\\tree\\zlink\\keep.txt")) << "the link fixture is missing";
    TraceTree tree = MakeTraceTree();
    TraceItem& cache = ItemOf(tree, TraceTableIe, 0);
    Harness run;
    SpecialFolders[9] = UpperCased(links + L"\\tree");
    ScanTraceItem(cache, TracePlacesOfSystem(), run.op);
    EXPECT_EQ(Texts(cache), (std::vector<std::wstring>{SpecialFolders[9] + L"\\A.TXT", SpecialFolders[9] + L"\\SUB\\B.TXT"}));
    // A trace folder that is itself a link, or reached through one, is passed over.
    for (const wchar_t* folder : {L"\\toplink", L"\\tree\\zlink"}) {
        SpecialFolders[9] = UpperCased(links + folder);
        ScanTraceItem(cache, TracePlacesOfSystem(), run.op);
        EXPECT_EQ(cache.Count, 0) << folder;
    }
}

TEST_F(TraceTest, NamedFileIsFoundOnlyWhenItExists) {
    test::ScratchDir dir;
    SpecialFolders[1] = UpperCased(dir.path());  // %windir%
    TraceTree tree = MakeTraceTree();
    TraceItem& xunlei = ItemOf(tree, TraceTableSoftware, 49);
    Harness run;
    ScanTraceItem(xunlei, TracePlacesOfSystem(), run.op);
    EXPECT_EQ(xunlei.Count, 0);
    WriteFileText(dir / L"systen32\\cid_store.dat", "x");
    ScanTraceItem(xunlei, TracePlacesOfSystem(), run.op);
    EXPECT_EQ(Texts(xunlei), std::vector<std::wstring>{SpecialFolders[1] + L"\\SYSTEN32\\CID_STORE.DAT"});
    EXPECT_EQ(xunlei.Entries[0].Base, L"");
}

// Registry shapes of the catalogue, written where the catalogue looks.
class TraceKeys : public TraceTest {
protected:
    void TearDown() override {
        for (const wchar_t* key : {L"Software\\7-Zip", L"InstallLocationsMRU", L"Software\\yahoo", L"Software\\WinImage",
                                   L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs",
                                   L"Software\\Microsoft\\MediaPlayer"})
            SHDeleteKeyW(HKEY_CURRENT_USER, key);
        SHDeleteKeyW(HKEY_USERS, L".Default\\Software\\Microsoft\\MediaPlayer");
        TraceTest::TearDown();
    }
};

TEST_F(TraceKeys, EachShapeListsItsValues) {
    SetText(HKEY_CURRENT_USER, L"Software\\7-Zip\\FM", L"CopyHistory");
    SetText(HKEY_CURRENT_USER, L"Software\\7-Zip\\FM", L"Other");
    SetText(HKEY_CURRENT_USER, L"Software\\7-Zip\\Compression\\ArcHistory", L"");
    SetText(HKEY_CURRENT_USER, L"Software\\7-Zip\\Compression\\ArcHistory", L"0");
    SetText(HKEY_CURRENT_USER, L"Software\\7-Zip\\Compression\\ArcHistory\\Deeper", L"1");
    SetText(HKEY_CURRENT_USER, L"InstallLocationsMRU", L"a");
    SetText(HKEY_CURRENT_USER, L"InstallLocationsMRU", L"MRUList");
    SetText(HKEY_CURRENT_USER, L"Software\\yahoo\\Pager", L"Yahoo! User ID");
    SetText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs", L"MRUListEx");
    SetText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs\\.txt", L"0");
    SetText(HKEY_USERS, L".Default\\Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList", L"File0");
    test::ScratchDir recent;  // %UserRecent%: one shortcut
    WriteFileText(recent / L"doc.lnk", "l");
    SpecialFolders[17] = UpperCased(recent.path());

    const struct {
        int table, row;
        std::vector<std::wstring> values;  // "key|name", sorted
    } cases[] = {
        {TraceTableSoftware, 50,
         {L"Software\\7-Zip\\Compression\\ArcHistory\\Deeper|1", L"Software\\7-Zip\\Compression\\ArcHistory|",
          L"Software\\7-Zip\\Compression\\ArcHistory|0", L"Software\\7-Zip\\FM|CopyHistory"}},
        {TraceTableSystem, 7, {L"InstallLocationsMRU|MRUList", L"InstallLocationsMRU|a"}},
        {TraceTableSoftware, 42, {L"Software\\yahoo\\Pager|Yahoo! User ID"}},
        {TraceTableSoftware, 5, {L".Default\\Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList|File0"}},
        {TraceTableSystem, 1,
         {L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs\\.txt|0",
          L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs|MRUListEx"}},
        {TraceTableSoftware, 0, {}},  // a missing key: nothing, no failure
    };
    TraceTree tree = MakeTraceTree();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "table " << c.table << " row " << c.row);
        TraceItem& item = ItemOf(tree, c.table, c.row);
        Harness run;
        ScanTraceItem(item, TracePlacesOfSystem(), run.op);
        std::vector<std::wstring> values;
        for (const TraceEntry& e : item.Entries) {
            if (e.Kind == TraceEntryKind::File) continue;
            EXPECT_EQ(e.RootName, c.row == 5 && c.table == TraceTableSoftware ? L"HKEY_USERS" : L"HKEY_CURRENT_USER");
            values.push_back(e.KeyPath + L"|" + e.Text);
        }
        std::sort(values.begin(), values.end());
        EXPECT_EQ(values, c.values);
        EXPECT_TRUE(item.Done);
    }
    // Recent documents: the folder's shortcut first, then the registry.
    TraceItem& docs = ItemOf(tree, TraceTableSystem, 1);
    ASSERT_EQ(docs.Count, 3);
    EXPECT_EQ(UpperCased(docs.Entries[0].Text), SpecialFolders[17] + L"\\DOC.LNK");
}

TEST_F(TraceTest, StopEndsTheScanAfterTheItemInHand) {
    class StopAtFirst final : public Sink<TraceEntry> {
    public:
        explicit StopAtFirst(StopToken& stop) : stop_(stop) {}
        void Found(const TraceEntry&) override { stop_.Request(); }
        StopToken& stop_;
    };
    test::ScratchDir dir;
    WriteFileText(dir / L"a.txt", "a");
    WriteFileText(dir / L"b.txt", "b");
    SpecialFolders[9] = UpperCased(dir.path());
    StopToken stop;
    StopAtFirst sink(stop);
    NullPump pump;
    TraceTree tree = MakeTraceTree();
    EXPECT_FALSE(StartTraceScan(tree, TracePlacesOfSystem(), {sink, pump, stop}));
    EXPECT_EQ(tree.Groups[0].Items[0].Count, 1);
    EXPECT_FALSE(tree.Groups[0].Items[0].Done);
    EXPECT_FALSE(tree.Groups[0].Items[1].Done);
}

// A file held open without delete sharing, as a running program holds its document.
class HeldFile {
public:
    explicit HeldFile(const std::wstring& path) {
        WriteFileText(path, "held");
        handle_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~HeldFile() { CloseHandle(handle_); }
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

TEST_F(TraceKeys, CleanRemovesTickedEntriesAndKeepsWhatStays) {
    const struct {
        bool recycle;
        Outcome held;
    } methods[] = {{false, Outcome::Deferred}, {true, Outcome::Failed}};
    for (const auto& method : methods) {
        SCOPED_TRACE(method.recycle ? "recycle" : "direct");
        test::ScratchDir dir;
        WriteFileText(dir / L"a.txt", "a");
        WriteFileText(dir / L"keep.txt", "k");
        WriteFileText(dir / L"sub\\deep\\b.txt", "b");
        WriteFileText(dir / L"sub2\\c.txt", "c");
        WriteFileText(dir / L"sub2\\other.txt", "o");
        HeldFile held(dir / L"held.txt");
        ASSERT_TRUE(held.Held());
        SetText(HKEY_CURRENT_USER, L"InstallLocationsMRU", L"a");
        SetText(HKEY_CURRENT_USER, L"InstallLocationsMRU", L"b");
        SpecialFolders[8] = UpperCased(dir.path());
        test::ScratchDir recent;
        SpecialFolders[17] = UpperCased(recent.path());

        TraceTree tree = MakeTraceTree();
        tree.Groups[0].Selected = tree.Groups[2].Selected = false;
        Harness run;
        ASSERT_TRUE(StartTraceScan(tree, TracePlacesOfSystem(), run.op));
        TraceItem& temp = ItemOf(tree, TraceTableSystem, 0);
        ASSERT_EQ(temp.Count, 6);
        for (TraceEntry& e : temp.Entries)
            if (UpperCased(e.Text).ends_with(L"KEEP.TXT") || UpperCased(e.Text).ends_with(L"OTHER.TXT")) e.Ticked = false;
        TraceItem& mru = ItemOf(tree, TraceTableSystem, 7);
        ASSERT_EQ(mru.Count, 2);

        TraceCleanOptions options;
        options.Recycle = method.recycle;
        options.RecycleFile = [](const std::wstring& path) { return DeleteFileForce(path); };
        options.ClearHistory = [] { return true; };
        options.ClearCache = [](const std::wstring&) { return 0; };
        const TraceCleanResult result = CleanTraces(tree, options, run.op);

        const std::wstring upper = UpperCased(dir.path());
        // Left: the unticked entries (ticked off) and the held file (still ticked).
        EXPECT_EQ(Texts(temp), (std::vector<std::wstring>{upper + L"\\HELD.TXT", upper + L"\\KEEP.TXT",
                                                          upper + L"\\SUB2\\OTHER.TXT"}));
        EXPECT_EQ(temp.Count, 6);
        EXPECT_TRUE(temp.Done);
        for (const TraceEntry& e : temp.Entries) EXPECT_EQ(e.Ticked, UpperCased(e.Text).ends_with(L"HELD.TXT")) << e.Text;
        EXPECT_FALSE(PathExists(dir / L"a.txt"));
        EXPECT_TRUE(PathExists(dir / L"keep.txt"));
        EXPECT_TRUE(PathExists(dir / L"held.txt"));
        // The folders the clean emptied went, up to the trace folder; the others stay.
        EXPECT_FALSE(PathExists(dir / L"sub"));
        EXPECT_TRUE(PathExists(dir / L"sub2"));
        EXPECT_TRUE(PathExists(dir.path()));
        EXPECT_TRUE(mru.Entries.empty());
        EXPECT_FALSE(ValueThere(HKEY_CURRENT_USER, L"InstallLocationsMRU", L"a"));
        const auto heldOutcome = std::find_if(run.sink.processed.begin(), run.sink.processed.end(),
                                              [](const auto& p) { return UpperCased(p.first).ends_with(L"HELD.TXT"); });
        ASSERT_NE(heldOutcome, run.sink.processed.end());
        EXPECT_EQ(heldOutcome->second, method.held);
        EXPECT_EQ(result.Totals.done + result.Totals.recycled, 5u);  // 3 files, 2 values
    }
}

// On 64-bit Windows a trace key of the machine's software branch is read in each registry view,
// and each value is cleaned in the view it was found in.
TEST_F(TraceTest, MachineTraceKeysAreReadAndCleanedInEachView) {
    if (!SystemIs64Bit()) GTEST_SKIP() << "32-bit Windows has one registry view";
    const std::wstring key = L"Software\\Microsoft\\Protected Storage System Provider";
    TraceTree tree = MakeTraceTree();
    TraceItem* item = nullptr;
    for (TraceGroupState& group : tree.Groups)
        for (TraceItem& candidate : group.Items)
            if (TraceRecord(candidate.Table, candidate.Row).KeyPaths == key) item = &candidate;
    ASSERT_NE(item, nullptr);
    for (const RegView view : {RegView::Bits64, RegView::Bits32}) {
        const ScopedRegView scope(view);
        SetText(HKEY_LOCAL_MACHINE, key + L"\\TidemarkTest", view == RegView::Bits32 ? L"Seen32" : L"Seen64");
    }
    Harness run;
    ScanTraceItem(*item, TracePlacesOfSystem(), run.op);
    std::vector<std::wstring> found;
    for (const TraceEntry& e : item->Entries)
        if (e.KeyPath == key + L"\\TidemarkTest") found.push_back(e.Text + L"|" + std::to_wstring(ViewNumber(e.View)));
    EXPECT_EQ(found, (std::vector<std::wstring>{L"Seen64|64", L"Seen32|32"}));

    for (TraceGroupState& group : tree.Groups) group.Selected = false;
    for (TraceEntry& e : item->Entries) e.Ticked = e.KeyPath == key + L"\\TidemarkTest";
    for (TraceGroupState& group : tree.Groups)
        for (TraceItem& candidate : group.Items)
            if (&candidate == item) group.Selected = true;
    TraceCleanOptions options;
    options.ClearHistory = [] { return true; };
    options.ClearCache = [](const std::wstring&) { return 0; };
    CleanTraces(tree, options, run.op);
    for (const RegView view : {RegView::Bits64, RegView::Bits32}) {
        const ScopedRegView scope(view);
        EXPECT_FALSE(ValueThere(HKEY_LOCAL_MACHINE, key + L"\\TidemarkTest", view == RegView::Bits32 ? L"Seen32" : L"Seen64"))
            << ViewNumber(view);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (key + L"\\TidemarkTest").c_str(), ViewAccess(view), 0);
    }
}

TEST_F(TraceTest, BrowserClearsRunOnlyForFullyTickedItems) {
    const struct {
        bool ieSelected;
        int untickedRow;  // -1: none
        bool historyWorks;
        std::vector<std::wstring> calls;
    } cases[] = {
        {true, -1, true, {L"history", L"cache:", L"cache:Cookie:"}},
        {true, 5, true, {L"history", L"cache:"}},
        {true, 0, true, {L"history", L"cache:Cookie:"}},
        {true, 1, true, {L"cache:", L"cache:Cookie:"}},
        {false, -1, true, {}},
        {true, -1, false, {L"history", L"cache:", L"cache:Cookie:"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "ie " << c.ieSelected << " unticked " << c.untickedRow);
        TraceTree tree = MakeTraceTree();
        // As a scan that found nothing would leave it (an unscanned item would be scanned first).
        for (TraceGroupState& group : tree.Groups)
            for (TraceItem& item : group.Items) item.Scanned = true;
        tree.Groups[0].Selected = c.ieSelected;
        if (c.untickedRow >= 0) {
            TraceEntry entry;
            entry.Text = L"C:\\no such folder\\x";
            entry.Ticked = false;
            tree.Groups[0].Items[c.untickedRow].Entries.push_back(entry);
        }
        std::vector<std::wstring> calls;
        TraceCleanOptions options;
        options.ClearHistory = [&] { calls.push_back(L"history"); return c.historyWorks; };
        options.ClearCache = [&](const std::wstring& p) { calls.push_back(L"cache:" + p); return 0; };
        Harness run;
        const TraceCleanResult result = CleanTraces(tree, options, run.op);
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(result.HistoryFailed, !c.historyWorks);
        for (const TraceGroupState& g : tree.Groups)
            for (const TraceItem& item : g.Items) EXPECT_EQ(item.Done, g.Selected);
    }
}

TEST_F(TraceTest, BrowserClearsNeverRunForItemsNoScanListed) {
    // A scan that was stopped leaves the items unlisted: the clean stops too, nothing is cleared.
    TraceTree tree = MakeTraceTree();
    std::vector<std::wstring> calls;
    TraceCleanOptions options;
    options.ClearHistory = [&] { calls.push_back(L"history"); return true; };
    options.ClearCache = [&](const std::wstring& p) { calls.push_back(L"cache:" + p); return 0; };
    Harness run;
    run.stop.Request();
    const TraceCleanResult result = CleanTraces(tree, options, run.op);
    EXPECT_TRUE(result.Totals.stopped);
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(result.HistoryAsked);
    EXPECT_TRUE(run.sink.processed.empty());
}

// The system group with its temporary and recent folders in scratch folders.
TEST_F(TraceKeys, PreviewListsExactlyWhatTheCleanProcessesAndScansFirst) {
    test::ScratchDir dir, recent;
    WriteFileText(dir / L"a.txt", "a");
    WriteFileText(dir / L"sub\\b.txt", "b");
    WriteFileText(dir / L"keep.txt", "k");
    WriteFileText(recent / L"doc.lnk", "l");
    SetText(HKEY_CURRENT_USER, L"InstallLocationsMRU", L"a");
    SpecialFolders[8] = UpperCased(dir.path());
    SpecialFolders[17] = UpperCased(recent.path());
    const TracePlaces places = TracePlacesOfSystem();

    TraceTree tree = MakeTraceTree();
    tree.Groups[0].Selected = tree.Groups[2].Selected = false;
    TraceCleanOptions options;
    options.Places = &places;
    Harness preview;
    // Never scanned: the clean scans the items first, entry by entry.
    CleanTraces(tree, options, preview.op, WalkMode::Preview);
    EXPECT_GE(preview.sink.found.size(), 5u);
    for (const TraceItem& item : tree.Groups[1].Items) EXPECT_TRUE(item.Scanned);
    // The user unticks one entry; a preview touches nothing.
    TraceItem& temp = ItemOf(tree, TraceTableSystem, 0);
    for (TraceEntry& e : temp.Entries)
        if (UpperCased(e.Text).ends_with(L"KEEP.TXT")) e.Ticked = false;
    Harness listed, cleaned;
    const TraceCleanResult previewed = CleanTraces(tree, options, listed.op, WalkMode::Preview);
    EXPECT_TRUE(PathExists(dir / L"a.txt"));
    EXPECT_TRUE(PathExists(recent / L"doc.lnk"));
    EXPECT_TRUE(ValueThere(HKEY_CURRENT_USER, L"InstallLocationsMRU", L"a"));
    EXPECT_EQ(temp.Entries.size(), 3u);
    EXPECT_EQ(previewed.Totals.listed, listed.sink.processed.size());
    for (const auto& [text, outcome] : listed.sink.processed) EXPECT_EQ(outcome, Outcome::Listed) << text;

    const TraceCleanResult result = CleanTraces(tree, options, cleaned.op, WalkMode::Apply);
    ASSERT_EQ(cleaned.sink.processed.size(), listed.sink.processed.size());
    for (std::size_t i = 0; i < listed.sink.processed.size(); ++i)
        EXPECT_EQ(cleaned.sink.processed[i].first, listed.sink.processed[i].first) << i;
    EXPECT_EQ(result.Totals.listed, 0u);
    EXPECT_TRUE(cleaned.sink.found.empty());  // scanned already: not scanned again
    EXPECT_FALSE(PathExists(dir / L"a.txt"));
    EXPECT_FALSE(PathExists(dir / L"sub"));
    EXPECT_TRUE(PathExists(dir / L"keep.txt"));
    EXPECT_FALSE(ValueThere(HKEY_CURRENT_USER, L"InstallLocationsMRU", L"a"));
}

TEST_F(TraceTest, AFileTheBinRefusesStaysWithItsAttributes) {
    constexpr DWORD kReadOnlyHidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    test::ScratchDir dir;
    const std::wstring path = dir / L"marked.txt";
    ASSERT_TRUE(WriteFileText(path, "m", kReadOnlyHidden));
    TraceTree tree = MakeTraceTree();
    for (TraceGroupState& group : tree.Groups)
        for (TraceItem& item : group.Items) item.Scanned = true;
    tree.Groups[0].Selected = tree.Groups[2].Selected = false;
    TraceEntry entry;
    entry.Table = TraceTableSystem;
    entry.Text = path;
    entry.Base = dir.path();
    ItemOf(tree, TraceTableSystem, 0).Entries.push_back(entry);

    RemovalService service(std::make_shared<const ProtectedPlaces>());
    std::vector<std::wstring> offered;
    TraceCleanOptions options;
    options.Service = &service;
    options.Recycle = true;
    options.RecycleFile = [&](const std::wstring& p) {
        offered.push_back(p);
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    };
    Harness run;
    const TraceCleanResult result = CleanTraces(tree, options, run.op);
    EXPECT_EQ(offered, std::vector<std::wstring>{path});
    ASSERT_EQ(run.sink.processed.size(), 1u);
    EXPECT_EQ(run.sink.processed[0].second, Outcome::Failed);
    EXPECT_EQ(result.Totals.failed, 1u);
    EXPECT_TRUE(PathExists(path));
    EXPECT_EQ(GetFileAttributesW(path.c_str()) & kReadOnlyHidden, kReadOnlyHidden);
    // It stays listed and ticked.
    ASSERT_EQ(ItemOf(tree, TraceTableSystem, 0).Entries.size(), 1u);
    EXPECT_TRUE(ItemOf(tree, TraceTableSystem, 0).Entries[0].Ticked);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// WinImage's row names the program's whole settings key without value names: only the values
// that name recent files are listed and removed; its options, its subkeys and the key stay.
TEST_F(TraceKeys, AProgramsSettingsKeyLosesOnlyItsRecentFiles) {
    for (const wchar_t* name : {L"LastFile", L"File1", L"Registration", L"WindowPos"})
        SetText(HKEY_CURRENT_USER, L"Software\\WinImage", name);
    SetText(HKEY_CURRENT_USER, L"Software\\WinImage\\Settings", L"Recent1");
    TraceTree tree = MakeTraceTree();
    TraceItem& item = ItemOf(tree, TraceTableSoftware, 38);
    ASSERT_EQ(TraceRecord(TraceTableSoftware, 38).KeyPaths, L"Software\\WinImage");
    Harness run;
    ScanTraceItem(item, TracePlacesOfSystem(), run.op);
    std::vector<std::wstring> listed;
    for (const TraceEntry& e : item.Entries) listed.push_back(e.KeyPath + L"|" + e.Text);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::wstring>{L"Software\\WinImage|File1", L"Software\\WinImage|LastFile"}));
    for (TraceGroupState& group : tree.Groups) {
        group.Selected = false;
        for (TraceItem& i : group.Items) i.Scanned = true;
    }
    tree.Groups[2].Selected = true;
    const TraceCleanResult result = CleanTraces(tree, TraceCleanOptions{}, run.op);
    EXPECT_EQ(result.Totals.done, 2u);
    EXPECT_FALSE(ValueThere(HKEY_CURRENT_USER, L"Software\\WinImage", L"LastFile"));
    EXPECT_FALSE(ValueThere(HKEY_CURRENT_USER, L"Software\\WinImage", L"File1"));
    EXPECT_TRUE(ValueThere(HKEY_CURRENT_USER, L"Software\\WinImage", L"Registration"));
    EXPECT_TRUE(ValueThere(HKEY_CURRENT_USER, L"Software\\WinImage", L"WindowPos"));
    EXPECT_TRUE(ValueThere(HKEY_CURRENT_USER, L"Software\\WinImage\\Settings", L"Recent1"));
}

TEST(RecentFileValues, NamesThatHoldRecentFiles) {
    for (const wchar_t* name : {L"MRUList", L"a MRU", L"RecentFiles", L"History3", L"LastFile", L"Last File 2",
                                L"LastOpenDir", L"File1", L"file 12", L"Path2", L"Image10"})
        EXPECT_TRUE(IsRecentFileValueName(name)) << testing::PrintToString(std::wstring(name));
    for (const wchar_t* name : {L"", L"1", L"Registration", L"WindowPos", L"Files", L"Profile1", L"Version2", L"File"})
        EXPECT_FALSE(IsRecentFileValueName(name)) << testing::PrintToString(std::wstring(name));
}

// The URL cache through the system's internet library.
bool AddCacheEntry(const std::wstring& url, const std::string& headers = {}) {
    wchar_t file[MAX_PATH] = {};
    if (!CreateUrlCacheEntryW(url.c_str(), 0, L"htm", file, 0)) return false;
    WriteFileText(file, "<html></html>");
    FILETIME zero{};
    return CommitUrlCacheEntryW(url.c_str(), file, zero, zero, NORMAL_CACHE_ENTRY,
                                headers.empty() ? nullptr : reinterpret_cast<LPWSTR>(const_cast<char*>(headers.data())),
                                static_cast<DWORD>(headers.size() / sizeof(wchar_t)), nullptr, nullptr);
}

std::vector<std::wstring> CacheUrls(const wchar_t* pattern) {
    std::vector<std::wstring> urls;
    std::vector<unsigned char> buffer(1 << 20);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
    DWORD size = static_cast<DWORD>(buffer.size());
    HANDLE find = FindFirstUrlCacheEntryW(pattern, info, &size);
    if (!find) return urls;
    do {
        urls.push_back(info->lpszSourceUrlName);
        size = static_cast<DWORD>(buffer.size());
    } while (FindNextUrlCacheEntryW(find, info, &size));
    FindCloseUrlCache(find);
    return urls;
}

TEST(UrlCache, EmptiedWithCookiesLast) {
    ASSERT_TRUE(AddCacheEntry(L"http://trace.example/one.htm"));
    ASSERT_TRUE(AddCacheEntry(L"http://trace.example/two.htm"));
    ASSERT_TRUE(InternetSetCookieW(L"http://trace.example/", L"seen", L"1; expires=Sat, 01-Jan-2039 00:00:00 GMT"));
    ASSERT_FALSE(CacheUrls(L"Cookie:").empty());

    EXPECT_GE(ClearUrlCache(L""), 2);
    for (const std::wstring& url : CacheUrls(nullptr)) EXPECT_EQ(url.rfind(L"Cookie:", 0), 0u) << url;
    EXPECT_FALSE(CacheUrls(L"Cookie:").empty()) << "the cache pass must leave the cookies";
    EXPECT_GE(ClearUrlCache(L"Cookie:"), 1);
    EXPECT_TRUE(CacheUrls(nullptr).empty());
    EXPECT_EQ(ClearUrlCache(L"Cookie:"), 0);
    // The cache still works afterwards.
    EXPECT_TRUE(AddCacheEntry(L"http://trace.example/three.htm"));
    EXPECT_EQ(ClearUrlCache(L""), 1);
}

}  // namespace
}  // namespace tidemark

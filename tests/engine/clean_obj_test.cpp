#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "engine/clean_obj.h"
#include "removal/protected_places.h"
#include "removal/removal_guard.h"
#include "removal/removal_service.h"

#include "engine/soft_obj.h"
#include "system/handles.h"
#include "system/prompt.h"
#include "system/reg_paths.h"
#include "system/services.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

using test::PathExists;
using test::ScratchDir;
using test::ScratchKey;
using test::WriteFileText;

// The process as the objects see it, with a removal service of the test's own (places it may
// add to) and the shell's process and the repairs stood in for.
class TestHost : public CleanHost {
public:
    TestHost()
        : shared_(std::make_shared<ProtectedPlaces>(ProtectedFoldersOfSystem())), places_(*shared_), service_(shared_) {}
    const RemovalService& Removals() const override { return service_; }
    bool PostCleanRepair(int id) override {
        repairs.push_back(id);
        return repairSucceeds;
    }
    bool InSafeMode() const override { return safeMode; }
    std::uint32_t ExplorerProcess() const override { return explorer; }
    bool EndExplorer(std::uint32_t id) override {
        ended.push_back(id);
        return true;
    }

    std::shared_ptr<ProtectedPlaces> shared_;
    ProtectedPlaces& places_;
    RemovalService service_;
    std::vector<int> repairs;
    bool repairSucceeds = true;
    bool safeMode = true;
    std::uint32_t explorer = 0;
    std::vector<std::uint32_t> ended;
};

// Every removal as it was reported.
class RemovalLog : public Sink<RemovalReport> {
public:
    void Processed(const RemovalReport& report, Outcome outcome) override {
        entries.push_back({report.Item->Path, outcome, report.Verdict});
    }
    struct Entry {
        std::wstring path;
        Outcome outcome;
        TargetVerdict verdict;
    };
    std::vector<Entry> entries;
};

// A plain object: the base lists without the wildcard expansion of definitions.
class PlainObj : public TCleanObj {
public:
    using TCleanObj::TCleanObj;
    std::uint8_t Check() override { return Status; }
    bool CleanCheckFile(int, bool) override { return true; }
    bool CleanCheckValue(int, bool) override { return true; }
};

bool SetText(const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

std::vector<std::wstring> Paths(const ItemList& list) {
    std::vector<std::wstring> paths;
    for (const auto& item : list) paths.push_back(item->Path);
    return paths;
}

std::set<std::wstring> PathSet(const ItemList& list) {
    const auto paths = Paths(list);
    return {paths.begin(), paths.end()};
}

TEST(RemovalGuard, Verdicts) {
    ProtectedPlaces places;
    places.AddFolder(L"C:\\Windows");
    places.AddFolder(L"c:\\windows\\system32\\");
    places.AddFolder(L"C:\\Users\\me");
    places.AddSystemFile(L"C:\\WINDOWS\\system32\\shdocvw.dll");
    const struct {
        const wchar_t* path;
        TargetVerdict folder, file;
    } cases[] = {
        {L"C:\\", TargetVerdict::DriveRoot, TargetVerdict::DriveRoot},
        {L"c:", TargetVerdict::DriveRoot, TargetVerdict::DriveRoot},
        {L"\\\\server\\share\\", TargetVerdict::DriveRoot, TargetVerdict::DriveRoot},
        {L"C:\\WINDOWS\\", TargetVerdict::ProtectedFolder, TargetVerdict::ProtectedFolder},
        {L"C:/Windows//System32", TargetVerdict::ProtectedFolder, TargetVerdict::ProtectedFolder},
        {L"\\\\?\\C:\\Users\\ME", TargetVerdict::ProtectedFolder, TargetVerdict::ProtectedFolder},
        {L"C:\\Users", TargetVerdict::HoldsProtectedFolder, TargetVerdict::HoldsProtectedFolder},
        {L"C:\\Windows\\System32\\drivers\\", TargetVerdict::Allowed, TargetVerdict::Allowed},
        {L"C:\\Users\\me\\Local Settings\\Temp\\x", TargetVerdict::Allowed, TargetVerdict::Allowed},
        {L"c:\\windows\\SYSTEM32\\SHDOCVW.DLL", TargetVerdict::Allowed, TargetVerdict::SystemFile},
        {L"C:\\Users\\meter", TargetVerdict::Allowed, TargetVerdict::Allowed},
        {L"mscoree.dll", TargetVerdict::NotFullPath, TargetVerdict::NotFullPath},
        {L"C:x\\y", TargetVerdict::NotFullPath, TargetVerdict::NotFullPath},
        {L"C:\\a\\..\\Windows", TargetVerdict::NotFullPath, TargetVerdict::NotFullPath},
        {L"C:\\a\\*", TargetVerdict::NotFullPath, TargetVerdict::NotFullPath},
        {L"", TargetVerdict::NotFullPath, TargetVerdict::NotFullPath},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeFolderTarget(c.path, places), c.folder) << testing::PrintToString(std::wstring(c.path));
        EXPECT_EQ(JudgeFileTarget(c.path, places), c.file) << testing::PrintToString(std::wstring(c.path));
    }
    EXPECT_EQ(JudgeWildcardTarget(L"C:\\Windows\\System32\\*.dll", places), TargetVerdict::BroadWildcard);
    EXPECT_EQ(JudgeWildcardTarget(L"C:\\*.*", places), TargetVerdict::BroadWildcard);
    EXPECT_EQ(JudgeWildcardTarget(L"C:\\Users\\*", places), TargetVerdict::BroadWildcard);
    EXPECT_EQ(JudgeWildcardTarget(L"C:\\Program Files\\Rogue\\*.*", places), TargetVerdict::Allowed);
    EXPECT_EQ(JudgeWildcardTarget(L"C:\\a*\\b.txt", places), TargetVerdict::NotFullPath);
}

class CleanObjects : public testing::Test {
protected:
    ScratchDir dir_;
    TestHost host_;
    RemovalLog log_;
};

TEST_F(CleanObjects, FoldersGetOneTrailingBackslash) {
    PlainObj object(host_);
    object.AddFolder(dir_ / L"x");
    object.AddFolder(dir_ / L"y\\");
    EXPECT_EQ(Paths(object.Folders), (std::vector<std::wstring>{dir_ / L"x\\", dir_ / L"y\\"}));
}

TEST_F(CleanObjects, WildcardExpandsIntoFilesAndFoldersAndCleanRemovesThem) {
    for (const wchar_t* name : {L"d\\a.tmp", L"d\\b.TMP", L"d\\keep.txt", L"d\\x.tmp\\inner\\deep.txt", L"d\\x.tmp\\f.bin"})
        ASSERT_TRUE(WriteFileText(dir_ / name, "x"));
    TSoftObj definition(host_);
    definition.AddFile(dir_ / L"d\\*.tmp");
    EXPECT_EQ(PathSet(definition.Files),
              (std::set<std::wstring>{dir_ / L"d\\a.tmp", dir_ / L"d\\b.TMP", dir_ / L"d\\x.tmp\\f.bin",
                                      dir_ / L"d\\x.tmp\\inner\\deep.txt"}));
    EXPECT_EQ(Paths(definition.Folders),
              (std::vector<std::wstring>{dir_ / L"d\\x.tmp\\", dir_ / L"d\\x.tmp\\inner\\"}));
    EXPECT_TRUE(definition.Clean());
    EXPECT_FALSE(PathExists(dir_ / L"d\\a.tmp"));
    EXPECT_FALSE(PathExists(dir_ / L"d\\x.tmp"));
    EXPECT_TRUE(PathExists(dir_ / L"d\\keep.txt"));
}

TEST_F(CleanObjects, ARemainingWildcardRemovesItsWholeFolder) {
    ASSERT_TRUE(WriteFileText(dir_ / L"d\\sub\\a.log", "x"));
    ASSERT_TRUE(WriteFileText(dir_ / L"d\\sub\\b.txt", "x"));
    PlainObj object(host_);
    object.AddFile(dir_ / L"d\\sub\\*.log");
    EXPECT_TRUE(object.CleanFile(0, false));
    EXPECT_FALSE(PathExists(dir_ / L"d\\sub"));
    EXPECT_TRUE(PathExists(dir_ / L"d"));
}

TEST_F(CleanObjects, GuardRefusesProtectedPlacesWhateverTheDefinitionSays) {
    ASSERT_TRUE(WriteFileText(dir_ / L"guarded\\inside.txt", "x"));
    ASSERT_TRUE(WriteFileText(dir_ / L"sys.dll", "x"));
    host_.places_.AddFolder(dir_ / L"guarded");
    host_.places_.AddSystemFile(dir_ / L"SYS.DLL");
    PlainObj object(host_);
    object.OnRemoval = &log_;
    object.AddFolder(dir_ / L"guarded");
    object.AddFolder(dir_.path());                      // holds the guarded folder
    object.AddFolder(GetWinInfo().WindowsDir);          // the system's own places
    object.AddFolder(L"C:\\");
    object.AddFile(dir_ / L"sys.dll");
    object.AddFile(L"mscoree.dll");                     // never against the current folder
    object.AddFile(GetWinInfo().SystemDir + L"\\*.dll");  // a remaining wildcard over the system folder
    EXPECT_FALSE(object.Clean());
    std::map<std::wstring, TargetVerdict> verdicts;
    for (const auto& entry : log_.entries) {
        EXPECT_EQ(entry.outcome, Outcome::Refused) << testing::PrintToString(entry.path);
        verdicts[entry.path] = entry.verdict;
    }
    EXPECT_EQ(verdicts[dir_ / L"guarded\\"], TargetVerdict::ProtectedFolder);
    EXPECT_EQ(verdicts[dir_.path() + L"\\"], TargetVerdict::HoldsProtectedFolder);
    EXPECT_EQ(verdicts[L"C:\\"], TargetVerdict::DriveRoot);
    EXPECT_EQ(verdicts[dir_ / L"sys.dll"], TargetVerdict::SystemFile);
    EXPECT_EQ(verdicts[L"mscoree.dll"], TargetVerdict::NotFullPath);
    EXPECT_EQ(verdicts[GetWinInfo().SystemDir + L"\\*.dll"], TargetVerdict::ProtectedFolder);
    EXPECT_EQ(log_.entries.size(), 7u);
    for (const auto& item : object.Folders) EXPECT_EQ(item->State, StateRemoveFailed);
    EXPECT_TRUE(PathExists(dir_ / L"guarded\\inside.txt"));
    EXPECT_TRUE(PathExists(dir_ / L"sys.dll"));
    // A definition's wildcard over a protected folder lists nothing at all.
    TSoftObj definition(host_);
    definition.AddFile(GetWinInfo().WindowsDir + L"\\*.exe");
    EXPECT_TRUE(definition.Files.empty());
    EXPECT_TRUE(definition.Folders.empty());
}

// C:\tm-fixtures\engine\link is a folder link to target\ beside it (made by the link fixture step).
TEST_F(CleanObjects, NothingIsRemovedThroughALink) {
    const std::wstring base = L"C:\\tm-fixtures\\engine";
    const DWORD link = GetFileAttributesW((base + L"\\link").c_str());
    ASSERT_TRUE(link != INVALID_FILE_ATTRIBUTES && (link & FILE_ATTRIBUTE_REPARSE_POINT))
        << "no link fixture: run through ctest (engine_link_fixtures)";
    PlainObj object(host_);
    object.OnRemoval = &log_;
    object.AddFile(base + L"\\link\\precious.txt");
    object.AddFolder(base + L"\\link\\sub");
    EXPECT_FALSE(object.Clean());
    ASSERT_EQ(log_.entries.size(), 2u);
    for (const auto& entry : log_.entries) {
        EXPECT_EQ(entry.outcome, Outcome::Refused) << testing::PrintToString(entry.path);
        EXPECT_EQ(entry.verdict, TargetVerdict::ThroughReparsePoint) << testing::PrintToString(entry.path);
    }
    EXPECT_TRUE(PathExists(base + L"\\target\\precious.txt"));
}

TEST_F(CleanObjects, RegistryEntriesAndTheRepairDecideTheResult) {
    ScratchKey key;
    const std::wstring base = L"HKEY_CURRENT_USER\\" + key.path();
    ASSERT_TRUE(SetText(key.path() + L"\\Rogue\\Sub", L"x", L"y"));
    ASSERT_TRUE(SetText(key.path(), L"Bar", L"x"));
    PlainObj object(host_);
    object.Id = 41;
    object.AddRegKey(base + L"\\Rogue");
    object.AddRegKey(base + L"\\NeverThere");   // a key that is not there counts as removed
    object.AddRegValue(base + L"\\Bar");
    object.AddRegValue(base + L"\\NoSuchValue");
    object.AddService(L"TidemarkNoSuchService");  // so does a service that does not exist
    EXPECT_EQ(object.EntryCount(), 5);
    EXPECT_TRUE(object.Clean());
    EXPECT_FALSE(KeyPathExists(base + L"\\Rogue"));
    EXPECT_FALSE(ValuePathExists(base + L"\\Bar"));
    EXPECT_EQ(host_.repairs, std::vector<int>{41});
    host_.repairSucceeds = false;
    EXPECT_FALSE(object.Clean());
    PlainObj empty(host_);
    host_.repairSucceeds = true;
    EXPECT_TRUE(empty.Clean());
}

// A check text removes its value only when the value's data holds the text after the comma.
TEST_F(CleanObjects, CheckTextRemovesTheValueOnlyWhenItHoldsTheRogueText) {
    ScratchKey key;
    const std::wstring base = L"HKEY_CURRENT_USER\\" + key.path();
    const std::wstring evil = L"C:\\Rogue\\EvilBar.exe", good = L"C:\\Windows\\system32\\userinit.exe,";
    ASSERT_TRUE(SetText(key.path(), L"Run", evil));
    ASSERT_TRUE(SetText(key.path(), L"Userinit", good));
    TSoftObj definition(host_);
    definition.AddCheckText(base + L"\\Run,evilbar");
    definition.AddCheckText(base + L"\\Userinit,evilbar");
    definition.AddCheckValue(base + L"\\Run,evilbar");
    EXPECT_EQ(definition.Check(), StatusNotFound);  // looked for as a key of the whole text
    definition.Clean();
    EXPECT_FALSE(ValuePathExists(base + L"\\Run"));
    EXPECT_TRUE(ValuePathExists(base + L"\\Userinit"));
    EXPECT_EQ(definition.CheckTexts[1]->State, StateRemoved);  // nothing of the rogue's is left
}

TEST_F(CleanObjects, RealServiceIsDetectedBeforeAnyCheckEntryAndRemoved) {
    const std::wstring name = L"TidemarkRogue" + std::to_wstring(GetCurrentProcessId());
    {
        UniqueScHandle manager = OpenServiceManager();
        ASSERT_TRUE(manager);
        UniqueScHandle service(CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                              (dir_ / L"rogue.exe").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(service) << GetLastError();
    }
    TSoftObj definition(host_);
    definition.AddService(name);
    definition.AddCheckFile(dir_ / L"rogue.exe");
    EXPECT_EQ(definition.Check(), StatusInstalled);
    EXPECT_EQ(definition.Services[0]->State, StateFound);
    EXPECT_EQ(definition.CheckFiles[0]->State, StatePending);  // not examined
    EXPECT_EQ(definition.RunState, RunDetected);
    EXPECT_TRUE(definition.CleanService(nullptr, 0, false));
    EXPECT_EQ(definition.Services[0]->State, StateRemoved);
    EXPECT_EQ(definition.Status, StatusInstalled);
    EXPECT_EQ(definition.Check(), StatusNotFound);
    EXPECT_EQ(definition.Services[0]->State, StateNotFound);
    UniqueScHandle manager = OpenServiceManager();
    EXPECT_EQ(QueryServicePresence(manager.get(), name), ServicePresence::Absent);
}

TEST(DefinitionStatus, TwentyFortyRule) {
    const struct {
        int found, total;
        std::uint8_t status;
    } cases[] = {{0, 5, StatusNotFound}, {7, 20, StatusRemnants}, {8, 20, StatusInstalled},
                 {1, 19, StatusInstalled}, {1, 40, StatusRemnants}, {16, 40, StatusInstalled}};
    for (const auto& c : cases) EXPECT_EQ(StatusOfChecks(c.found, c.total), c.status) << c.found << "/" << c.total;
}

TEST_F(CleanObjects, CheckMarksEveryEntryAndReportsIt) {
    class Seen : public Sink<ItemReport> {
    public:
        void Found(const ItemReport& report) override { kinds.push_back(report.Kind * 10 + report.Item->State); }
        std::vector<int> kinds;
    } seen;
    ScratchKey key;
    TSoftObj definition(host_);
    definition.OnItem = &seen;
    for (int i = 0; i < 20; ++i) {
        const std::wstring file = dir_ / (L"c" + std::to_wstring(i) + L".dat");
        if (i < 7) {
            ASSERT_TRUE(WriteFileText(file, "x"));
        }
        definition.AddCheckFile(file);
    }
    EXPECT_EQ(definition.Check(), StatusRemnants);
    ASSERT_TRUE(WriteFileText(dir_ / L"c7.dat", "x"));
    EXPECT_EQ(definition.Check(), StatusInstalled);
    definition.AddCheckKey(L"HKEY_CURRENT_USER\\" + key.path());
    definition.AddCheckFile(dir_.path());  // a folder is no file
    seen.kinds.clear();
    definition.Check();
    ASSERT_EQ(seen.kinds.size(), 22u);
    EXPECT_EQ(seen.kinds[20], ItemFile * 10 + StateNotFound);
    EXPECT_EQ(seen.kinds[21], ItemRegKey * 10 + StateFound);
}

TEST_F(CleanObjects, SingleRemovalRechecksOnlyWhenAsked) {
    ASSERT_TRUE(WriteFileText(dir_ / L"only.exe", "x"));
    ASSERT_TRUE(WriteFileText(dir_ / L"second.exe", "x"));
    TSoftObj definition(host_);
    definition.AddCheckFile(dir_ / L"only.exe");
    definition.AddFile(dir_ / L"second.exe");
    ASSERT_EQ(definition.Check(), StatusInstalled);
    EXPECT_TRUE(definition.CleanFile(0, false));
    EXPECT_EQ(definition.Status, StatusInstalled);
    EXPECT_TRUE(definition.CleanCheckFile(0, true));
    EXPECT_EQ(definition.Status, StatusNotFound);
    EXPECT_EQ(definition.CheckFiles[0]->State, StateNotFound);  // the recheck set it again
    EXPECT_FALSE(definition.CleanFile(7, true));                 // no such entry
}

TEST_F(CleanObjects, ScriptBuildsOrderedListsWithExpansionsInPlace) {
    for (const wchar_t* name : {L"p\\z.exe", L"p\\y.dll", L"p\\sub\\w.txt"}) ASSERT_TRUE(WriteFileText(dir_ / name, "x"));
    const std::vector<std::wstring> script = {
        L"[Soft]", L"ID = 12", L"name=Rogue", L"file1=" + dir_ / L"a.txt", L"folder1=" + dir_ / L"before",
        L"file2=" + dir_ / L"p\\*.*", L"folder2=" + dir_ / L"after", L"file3=" + dir_ / L"a.dll",
        L"file4=" + dir_ / L"a.exe", L"regkeyfile1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Rogue\\Files",
        L"chkfile=" + dir_ / L"p\\z.exe"};
    TSoftObj definition(script, host_);
    EXPECT_EQ(definition.Id, 12);
    EXPECT_EQ(definition.Name, L"Rogue");
    const auto files = Paths(definition.Files);
    ASSERT_EQ(files.size(), 6u);
    // .exe first, then .dll, then the rest
    EXPECT_EQ(std::set<std::wstring>(files.begin(), files.begin() + 2), (std::set<std::wstring>{dir_ / L"p\\z.exe", dir_ / L"a.exe"}));
    EXPECT_EQ(std::set<std::wstring>(files.begin() + 2, files.begin() + 4), (std::set<std::wstring>{dir_ / L"p\\y.dll", dir_ / L"a.dll"}));
    EXPECT_EQ(std::set<std::wstring>(files.begin() + 4, files.end()), (std::set<std::wstring>{dir_ / L"a.txt", dir_ / L"p\\sub\\w.txt"}));
    EXPECT_EQ(Paths(definition.Folders),
              (std::vector<std::wstring>{dir_ / L"before\\", dir_ / L"p\\sub\\", dir_ / L"after\\"}));
    // The machine's software branch is looked at in each registry view there is.
    EXPECT_EQ(Paths(definition.KeyFiles), std::vector<std::wstring>(RegistryViews().size(), L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Rogue\\Files"));
    EXPECT_TRUE(definition.RegKeys.empty());
    EXPECT_EQ(definition.CheckCount(), 1);
    const std::vector<std::wstring> bad = {L"id=12", L"safemode=yes"};
    EXPECT_THROW(TSoftObj(bad, host_), DefinitionScriptFailure);
}

// On 64-bit Windows a definition looks for its registry entries of the software branch and the
// class registrations in both views, counting a path found in either view once, and for its
// Program Files paths in both Program Files folders; a clean removes each entry in its view.
TEST_F(CleanObjects, DefinitionLooksInBothRegistryViewsAndBothProgramFolders) {
    if (!SystemIs64Bit()) GTEST_SKIP() << "32-bit Windows has one registry view";
    const std::wstring branch = L"SOFTWARE\\TidemarkViewsTest", full = L"HKEY_LOCAL_MACHINE\\" + branch;
    ScratchKey user;
    {
        const ScopedRegView view(RegView::Bits32);
        UniqueHKey key = CreateRegKey(HKEY_LOCAL_MACHINE, branch + L"\\Rogue", KEY_ALL_ACCESS);
        ASSERT_TRUE(key && SetStringValue(key.get(), L"Path", L"x"));
    }
    {
        UniqueHKey key = CreateRegKey(HKEY_LOCAL_MACHINE, branch + L"\\Rogue", KEY_ALL_ACCESS);
        ASSERT_TRUE(key);
    }
    ASSERT_TRUE(SetText(user.path(), L"Seen", L"x"));
    const std::vector<std::wstring> script = {
        L"[Soft]", L"ID = 12", L"name=Rogue",
        L"chkvalue1=" + full + L"\\Rogue\\Path",                       // in the 32-bit view only
        L"chkkey1=HKEY_CURRENT_USER\\" + user.path(),                    // one key in both views
        L"regkey1=" + full,
        L"chkfile1=%programfiles%\\TidemarkViewsTest\\rogue.exe"};
    TSoftObj definition(script, host_);
    ASSERT_EQ(definition.CheckValues.size(), 2u);
    EXPECT_EQ(definition.CheckValues[0]->View, RegView::Bits64);
    EXPECT_EQ(definition.CheckValues[1]->View, RegView::Bits32);
    EXPECT_EQ(definition.CheckKeys.size(), 1u);
    const std::set<std::wstring> programFiles = {ProgramFolderOfView(RegView::Bits64, false) + L"\\TidemarkViewsTest\\rogue.exe",
                                                 ProgramFolderOfView(RegView::Bits32, false) + L"\\TidemarkViewsTest\\rogue.exe"};
    const std::vector<std::wstring> checkFiles = Paths(definition.CheckFiles);
    EXPECT_EQ(std::set<std::wstring>(checkFiles.begin(), checkFiles.end()), programFiles);

    EXPECT_EQ(definition.Check(), StatusInstalled);
    EXPECT_EQ(definition.CheckValues[0]->State, StateNotFound);
    EXPECT_EQ(definition.CheckValues[1]->State, StateFound);
    EXPECT_EQ(definition.CheckKeys[0]->State, StateFound);

    definition.Clean();
    for (const RegView view : {RegView::Bits64, RegView::Bits32}) {
        const ScopedRegView scope(view);
        EXPECT_FALSE(KeyPathExists(full)) << ViewNumber(view);
    }
    EXPECT_EQ(definition.RegKeys[0]->State, StateRemoved);
    EXPECT_EQ(definition.RegKeys[1]->State, StateRemoved);
}

TEST_F(CleanObjects, CleanAsksWhatItMustAndCleansIncludesOnce) {
    ScriptedPrompt prompt;
    ScopedPrompt scoped(prompt);
    host_.safeMode = false;
    host_.explorer = 4242;
    TSoftObj first({L"id=1", L"name=甲", L"safemode=1", L"killexplorer=1", L"include=2", L"include=1"}, host_);
    TSoftObj second({L"id=2", L"name=乙", L"include=1"}, host_);
    const auto find = [&](const TSoftObj&, std::int32_t id) -> TSoftObj* { return id == 1 ? &first : &second; };
    first.FindById = find;
    second.FindById = find;
    prompt.Script({AnswerOk, AnswerYes});
    EXPECT_TRUE(first.Clean());
    ASSERT_EQ(prompt.Asked().size(), 2u);
    EXPECT_EQ(prompt.Asked()[0].Kind, PromptKind::Info);
    EXPECT_EQ(prompt.Asked()[0].Text, L"清理<甲>需要安全模式，否则难以被完全清除");
    EXPECT_EQ(prompt.Asked()[1].Kind, PromptKind::YesNo);
    EXPECT_EQ(prompt.Asked()[1].Title, L"选择");
    EXPECT_EQ(host_.ended, std::vector<std::uint32_t>{4242});
    EXPECT_EQ(first.RunState, RunCleaned);
    EXPECT_EQ(second.RunState, RunCleaned);
    // Each asked once for the other; the one being cleaned was not cleaned again.
    EXPECT_EQ(host_.repairs, (std::vector<int>{2, 1}));
    // "No" leaves the shell running and goes on.
    prompt.Clear();
    host_.ended.clear();
    TSoftObj third({L"id=3", L"name=丙", L"killexplorer=1"}, host_);
    int before = 0;
    third.BeforeRemoval = [&](TSoftObj& self) { before += self.Id; };
    EXPECT_TRUE(third.Clean());
    EXPECT_EQ(before, 3);
    EXPECT_TRUE(host_.ended.empty());
    ASSERT_EQ(prompt.Asked().size(), 1u);
}

// A definition's file that is read-only, hidden and held open by another handle: its outcome is
// the removal service's (left for the restart, or failed), its entry is not "removed", and the
// file that stays keeps its hidden mark (read-only too unless the restart is to delete it).
TEST_F(CleanObjects, AHeldMarkedFileGetsItsOutcomeFromTheRemovalService) {
    const std::wstring file = dir_ / L"held.dll";
    ASSERT_TRUE(WriteFileText(file, "MZ"));
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    UniqueHandle held(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    TSoftObj definition(host_);
    definition.OnRemoval = &log_;
    definition.AddFile(file);
    EXPECT_FALSE(definition.Clean());
    ASSERT_EQ(log_.entries.size(), 1u);
    const Outcome outcome = log_.entries[0].outcome;
    EXPECT_TRUE(outcome == Outcome::Deferred || outcome == Outcome::Failed) << OutcomeName(outcome);
    EXPECT_EQ(definition.Files[0]->State, StateRemoveFailed);
    const DWORD attributes = GetFileAttributesW(file.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "a held file stays";
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
    if (outcome == Outcome::Failed) {
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
    }
    held.reset();
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace tidemark

// The WinSock2 check, repair, backup and restore. The import cases need the prefix to show
// Windows XP to this program (Wine's per-program version, set by the test's set-up step): the
// default catalogue is never imported on Vista and later, where the system's reset is run instead
// (here always a stand-in: no test runs netsh).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "repair/browser_repair.h"
#include "repair/winsock2.h"
#include "repair_test_support.h"
#include "system/change_recorder.h"
#include "system/file_ops.h"
#include "system/prompt.h"
#include "system/reg_text.h"

namespace tidemark {
namespace {

using std::wstring;
using test::SetBinary;
using test::SetDword;
using test::SetText;
using test::TextOf;
using test::TypeOf;

const wstring kParameters = kWinsock2Parameters;

// No test of this program may reach the system's reset: unless a test installs its own runner,
// a failing one stands in.
class NoSystemReset : public testing::Environment {
public:
    void SetUp() override {
        SetWinsockResetRunner([] { return false; });
    }
};
[[maybe_unused]] testing::Environment* const kNoSystemReset = testing::AddGlobalTestEnvironment(new NoSystemReset);

// The catalogue resources the program carries, as text.
std::wstring ResourceText(const wchar_t* name) {
    const ResourceBytes bytes = FindResourceBytes(nullptr, L"REG", name);
    if (!bytes.found) return {};
    const char* data = static_cast<const char*>(bytes.data);
    if (bytes.size >= 2 && static_cast<unsigned char>(data[0]) == 0xFF && static_cast<unsigned char>(data[1]) == 0xFE)
        return wstring(reinterpret_cast<const wchar_t*>(data + 2), (bytes.size - 2) / 2);
    const int n = MultiByteToWideChar(936, 0, data, static_cast<int>(bytes.size), nullptr, 0);
    wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(936, 0, data, static_cast<int>(bytes.size), text.data(), n);
    return text;
}

int CountOf(const wstring& text, const wstring& what) {
    int count = 0;
    for (auto at = text.find(what); at != wstring::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

TEST(Winsock2Catalogues, EachKindCarriesItsRegistryEditorFile) {
    struct Case { int kind; const wchar_t* header; const wchar_t* system; };
    const Case cases[] = {{0, L"REGEDIT4\r\n", L"System"}, {1, L"REGEDIT4\r\n", L"System"},
                          {2, L"Windows Registry Editor Version 5.00\r\n", L"SYSTEM"},
                          {3, L"Windows Registry Editor Version 5.00\r\n", L"SYSTEM"},
                          {4, L"Windows Registry Editor Version 5.00\r\n", L"SYSTEM"},
                          {6, L"Windows Registry Editor Version 5.00\r\n", L"SYSTEM"}};
    for (const Case& c : cases) {
        const DefaultCatalogue catalogue = DefaultCatalogueOf(c.kind);
        SCOPED_TRACE(testing::PrintToString(wstring(catalogue.Resource)));
        const wstring text = ResourceText(catalogue.Resource);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.rfind(c.header, 0), 0u);
        const wstring base = wstring(L"[HKEY_LOCAL_MACHINE\\") + c.system + L"\\CurrentControlSet\\Services\\WinSock2";
        EXPECT_EQ(CountOf(text, base + L"\\Parameters\\NameSpace_Catalog5\\Catalog_Entries\\0"), catalogue.NameSpaceEntries);
        EXPECT_EQ(CountOf(text, base + L"\\Parameters\\Protocol_Catalog9\\Catalog_Entries\\0"), catalogue.ProtocolEntries);
        EXPECT_EQ(CountOf(text, L"\"PackedCatalogItem\"=hex:"), catalogue.ProtocolEntries);
        EXPECT_NE(text.find(L"\"Current_Protocol_Catalog\"=\"Protocol_Catalog9\""), wstring::npos);
        EXPECT_EQ(text.find(L"[-"), wstring::npos) << "nothing is deleted";
        EXPECT_EQ(text.find(L"=-"), wstring::npos) << "nothing is deleted";
        EXPECT_EQ(text.find(L"\\Providers\\INET]") != wstring::npos, c.kind < 2);
    }
    EXPECT_EQ(wstring(DefaultCatalogueOf(4).Resource), L"2K3");
    EXPECT_EQ(wstring(DefaultCatalogueOf(2).Resource), L"2K");
}

TEST(Winsock2, BackupNameAndDialog) {
    SYSTEMTIME t{};
    t.wYear = 2007; t.wMonth = 3; t.wDay = 9; t.wHour = 8; t.wMinute = 5;
    const BackupFileRequest request = Winsock2BackupRequest(t);
    EXPECT_EQ(request.ProposedName, L"WinSock2备份_2007_03_09_08_05.reg");
    EXPECT_EQ(request.Title, L"把WinSock2的当前设置备份为，不输入文件名则不进行备份");
    EXPECT_EQ(request.Filter, L"注册表文件 (*.reg)|*.reg");
    EXPECT_EQ(request.DefaultExt, L"reg");
    for (const wchar_t* library : {L"C:\\Program Files\\YEHOO\\HP\\hp.dll", L"c:\\windows\\system32\\msplus3.dll"})
        EXPECT_TRUE(IsSuspiciousProtocolLibrary(library));
    EXPECT_FALSE(IsSuspiciousProtocolLibrary(L"%SystemRoot%\\system32\\mswsock.dll"));
}

// The import and the cases that need it run only where the program believes it runs on XP.
class Winsock2Xp : public testing::Test {
protected:
    void SetUp() override {
        system_ = RepairSystemOfProcess();
        if (system_.Win.Kind != 3 || system_.VistaOrLater)
            GTEST_SKIP() << "needs the prefix set to Windows XP for this program (HKCU\\Software\\Wine\\AppDefaults)";
        // A standard catalogue, imported through the registry editor.
        ScriptedPrompt prompt;
        ScopedPrompt scope(prompt);
        ASSERT_TRUE(RestoreRegistryDefaults(system_.Win.Kind, system_));
        ASSERT_EQ(prompt.Asked().size(), 1u);
        EXPECT_EQ(prompt.Asked()[0].Title, L"提示");
        EXPECT_EQ(prompt.Asked()[0].Text, L"注册表恢复成功");
        EXPECT_FALSE(test::PathExists(WithTrailing(system_.Win.TempDir) + L"XP.reg")) << "the import file is removed";
        previous_ = SetBackupFileChooser([this](const BackupFileRequest& request) -> std::optional<wstring> {
            requests_.push_back(request);
            return backupTo_;
        });
    }
    void TearDown() override {
        SetBackupFileChooser(previous_);
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kProtocolTrans);
    }
    static wstring WithTrailing(wstring path) { return path.empty() || path.back() == L'\\' ? path : path + L'\\'; }

    // A protocol entry served by library.
    static void AddProtocolEntry(const wstring& number, const std::string& library) {
        std::vector<unsigned char> packed(library.begin(), library.end());
        packed.resize(888, 0);
        SetBinary(HKEY_LOCAL_MACHINE, wstring(kProtocolEntries) + L"\\" + number, L"PackedCatalogItem", packed);
    }
    wstring TcpipEntry() const {
        std::vector<wstring> entries;
        RegListSubKeys(HKEY_LOCAL_MACHINE, kNameSpaceEntries, entries);
        for (const wstring& entry : entries)
            if (TextOf(HKEY_LOCAL_MACHINE, wstring(kNameSpaceEntries) + L"\\" + entry, L"DisplayString") == wstring(L"Tcpip"))
                return wstring(kNameSpaceEntries) + L"\\" + entry;
        return {};
    }

    RepairSystem system_;
    BackupFileChooser previous_;
    std::vector<BackupFileRequest> requests_;
    std::optional<wstring> backupTo_;
};

TEST_F(Winsock2Xp, StandardCatalogueFindsNothingAndAsksNothing) {
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, wstring(kProtocolEntries) + L"\\000000000013"));
    std::vector<RepairChange> fixes;
    EXPECT_FALSE(CheckWinsock2(&fixes));
    EXPECT_TRUE(fixes.empty());
    ScriptedPrompt prompt;
    ScopedPrompt scope(prompt);
    RepairWinsock2(true, system_);
    EXPECT_TRUE(prompt.Asked().empty());
    EXPECT_TRUE(requests_.empty());
}

// The check only reads; the answer No leaves everything as it was.
TEST_F(Winsock2Xp, CheckOnlyReadsAndNoChangesNothing) {
    const wstring tcpip = TcpipEntry();
    ASSERT_FALSE(tcpip.empty());
    SetText(HKEY_LOCAL_MACHINE, tcpip, L"Enabled", L"0");
    AddProtocolEntry(L"000000000099", "C:\\Program Files\\yehoo\\hp\\yhp.dll");
    SetText(HKEY_LOCAL_MACHINE, kProtocolTrans, L"x", L"y");

    std::vector<RepairChange> fixes;
    EXPECT_TRUE(CheckWinsock2(&fixes));
    ASSERT_EQ(fixes.size(), 3u);
    EXPECT_EQ(fixes[0].Action, RepairAction::SetInt);
    EXPECT_EQ(fixes[0].Now, L"0");
    EXPECT_EQ(fixes[1].Key, wstring(kProtocolTrans));
    EXPECT_EQ(fixes[2].Now, L"C:\\Program Files\\yehoo\\hp\\yhp.dll");

    ScriptedPrompt prompt;
    ScopedPrompt scope(prompt);
    prompt.Script({AnswerNo});
    RepairWinsock2(true, system_);
    ASSERT_EQ(prompt.Asked().size(), 1u);
    EXPECT_EQ(prompt.Asked()[0].Kind, PromptKind::YesNo);
    EXPECT_EQ(prompt.Asked()[0].Title, L"注意");
    EXPECT_EQ(prompt.Asked()[0].Text, kWinsock2Question);
    EXPECT_TRUE(requests_.empty());
    EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, tcpip, L"Enabled"), wstring(L"0"));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, wstring(kProtocolEntries) + L"\\000000000099"));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kProtocolTrans));
}

// Yes: the backup (a name with a blank works), then the fixes, then the import.
TEST_F(Winsock2Xp, YesBacksUpThenRepairsAndRestores) {
    const wstring tcpip = TcpipEntry();
    SetText(HKEY_LOCAL_MACHINE, tcpip, L"Enabled", L"0");
    AddProtocolEntry(L"000000000099", "C:\\WINDOWS\\system32\\msplus.dll");
    SetText(HKEY_LOCAL_MACHINE, kProtocolTrans, L"x", L"y");
    test::ScratchDir dir;
    backupTo_ = dir / L"my backup.reg";

    ScriptedPrompt prompt;
    ScopedPrompt scope(prompt);
    prompt.Script({AnswerYes});
    std::vector<std::pair<RepairAction, bool>> made;
    RepairWinsock2(true, system_, [&](const RepairChange& c, bool ok) { made.emplace_back(c.Action, ok); });

    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(requests_[0].ProposedName.rfind(L"WinSock2备份_", 0), 0u);
    const std::string backup = ReadFileBytes(*backupTo_);
    ASSERT_FALSE(backup.empty());
    const wstring exported(reinterpret_cast<const wchar_t*>(backup.data()), backup.size() / 2);
    EXPECT_NE(exported.find(L"Catalog_Entries\\000000000099]"), wstring::npos) << "the backup holds the state before the repair";
    EXPECT_EQ(RegReadIntIfInt(HKEY_LOCAL_MACHINE, tcpip, L"Enabled"), 1);
    EXPECT_EQ(TypeOf(HKEY_LOCAL_MACHINE, tcpip, L"Enabled"), static_cast<DWORD>(REG_DWORD));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, wstring(kProtocolEntries) + L"\\000000000099"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kProtocolTrans));
    ASSERT_EQ(made.size(), 4u);
    EXPECT_TRUE(std::all_of(made.begin(), made.end(), [](const auto& m) { return m.second; }));
    EXPECT_EQ(made.back().first, RepairAction::ImportDefaults);
    ASSERT_EQ(prompt.Asked().size(), 2u);
    EXPECT_EQ(prompt.Asked()[1].Text, L"注册表恢复成功");
}

// Cancelling the dialog still repairs, without a backup; a backup that cannot be written stops
// the repair before anything changes.
TEST_F(Winsock2Xp, CancelledDialogRepairsAndFailedBackupStops) {
    AddProtocolEntry(L"000000000099", "C:\\WINDOWS\\system32\\quartz32.dll");
    ScriptedPrompt prompt;
    ScopedPrompt scope(prompt);

    backupTo_ = L"C:\\tm-no-such-folder\\x\\backup.reg";
    prompt.Script({AnswerYes});
    RepairWinsock2(true, system_);
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, wstring(kProtocolEntries) + L"\\000000000099"));
    ASSERT_EQ(prompt.Asked().size(), 2u);
    EXPECT_EQ(prompt.Asked()[1].Kind, PromptKind::Error);

    backupTo_.reset();
    prompt.Clear();
    prompt.Script({AnswerYes});
    RepairWinsock2(true, system_);
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, wstring(kProtocolEntries) + L"\\000000000099"));
    EXPECT_EQ(requests_.size(), 2u);
}

// Vista and later: the catalogues are left to the system's reset (a stand-in runner here) and
// never edited in place. Each test starts from a standard catalogue.
class Winsock2Reset : public testing::Test {
protected:
    void SetUp() override {
        previousChooser_ = SetBackupFileChooser([this](const BackupFileRequest&) { return backupTo_; });
        previousRunner_ = SetWinsockResetRunner([this] {
            ++resets_;
            if (backupTo_) {
                EXPECT_GT(FileSizeOrNone(*backupTo_), 0) << "the backup is written before the reset";
            }
            return resetSucceeds_;
        });
    }
    void TearDown() override {
        SetBackupFileChooser(previousChooser_);
        SetWinsockResetRunner(previousRunner_);
        RemoveFixtures();
        // The next test finds a catalogue again.
        if (!RegKeyExists(HKEY_LOCAL_MACHINE, kProtocolEntries)) ImportStandard();
    }
    // Each case starts from a standard catalogue, without a backup, with a reset that succeeds.
    void Fresh() {
        RemoveFixtures();
        ImportStandard();
        backupTo_.reset();
        resetSucceeds_ = true;
        resets_ = 0;
    }
    static void ImportStandard() {
        RepairSystem xp = test::SystemOfKind(3);
        xp.VistaOrLater = false;
        ScriptedPrompt prompt;
        ScopedPrompt scope(prompt);
        ASSERT_TRUE(RestoreRegistryDefaults(3, xp));
    }
    static void RemoveFixtures() {
        for (const wstring& key : {wstring(kProtocolEntries64), wstring(kNameSpaceEntries64), wstring(kProtocolTrans),
                                   wstring(kProtocolEntries) + L"\\000000000099"})
            RegDeleteKeyTree(HKEY_LOCAL_MACHINE, key);
    }
    static void AddProtocolEntry(const wstring& catalogue, const wstring& number, const std::string& library) {
        std::vector<unsigned char> packed(library.begin(), library.end());
        packed.resize(888, 0);
        SetBinary(HKEY_LOCAL_MACHINE, catalogue + L"\\" + number, L"PackedCatalogItem", packed);
    }
    static wstring Catalogues() {
        wstring text;
        EXPECT_TRUE(AppendRegKeyTree(HKEY_LOCAL_MACHINE, kParameters, text));
        return text;
    }
    static RepairSystem Vista(int kind) {
        RepairSystem system = test::SystemOfKind(kind);
        system.VistaOrLater = true;
        return system;
    }

    BackupFileChooser previousChooser_;
    WinsockResetRunner previousRunner_;
    std::optional<wstring> backupTo_;
    bool resetSucceeds_ = true;
    int resets_ = 0;
};

// XP imports its default catalogue after the fixes in place; Vista, 7 and later leave the
// catalogue exactly as it is and run the reset once, after the backup.
TEST_F(Winsock2Reset, EachKindImportsOrResets) {
    struct Case { const char* name; int kind; bool vista; };
    const Case cases[] = {{"XP", 3, false}, {"Vista", 2, true}, {"7", 3, true}, {"8 and later", 4, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        test::ScratchDir dir;
        backupTo_ = dir / L"backup.reg";
        SetText(HKEY_LOCAL_MACHINE, kProtocolTrans, L"x", L"y");
        AddProtocolEntry(kProtocolEntries, L"000000000099", "C:\\WINDOWS\\system32\\msplus.dll");
        RepairSystem system = test::SystemOfKind(c.kind);
        system.VistaOrLater = c.vista;
        const wstring before = Catalogues();

        ScriptedPrompt prompt;
        ScopedPrompt scope(prompt);
        prompt.Script({AnswerYes});
        std::vector<std::pair<RepairChange, bool>> made;
        RepairWinsock2(true, system, [&](const RepairChange& change, bool ok) { made.emplace_back(change, ok); });

        EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kProtocolTrans)) << "outside the catalogues: removed everywhere";
        ASSERT_EQ(made.size(), 3u - c.vista);
        for (const auto& m : made) EXPECT_TRUE(m.second);
        EXPECT_EQ(made[0].first.Action, RepairAction::DeleteKey);
        ASSERT_EQ(prompt.Asked().size(), 2u);
        EXPECT_EQ(prompt.Asked()[1].Kind, PromptKind::Info);
        if (c.vista) {
            EXPECT_EQ(resets_, 1);
            EXPECT_EQ(Catalogues(), before) << "no catalogue key is written or removed";
            const RepairChange& reset = made[1].first;
            EXPECT_EQ(reset.Action, RepairAction::ResetCatalog);
            EXPECT_EQ(reset.Step, 3);
            EXPECT_EQ(reset.Key, kParameters);
            EXPECT_EQ(reset.Now, L"Protocol_Catalog9\\Catalog_Entries\\000000000099: C:\\WINDOWS\\system32\\msplus.dll");
            EXPECT_EQ(reset.After, L"netsh winsock reset");
            EXPECT_EQ(prompt.Asked()[1].Text, L"WinSock2已重置，请重新启动计算机后生效。");
        } else {
            EXPECT_EQ(resets_, 0);
            EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, wstring(kProtocolEntries) + L"\\000000000099"));
            EXPECT_EQ(made[1].first.Key, wstring(kProtocolEntries) + L"\\000000000099");
            EXPECT_EQ(made[2].first.Action, RepairAction::ImportDefaults);
            EXPECT_EQ(prompt.Asked()[1].Text, L"注册表恢复成功");
        }
    }
}

// What the check finds on Vista and later, the 64-bit catalogues included; a 64-bit catalogue
// that is not there at all (32-bit Windows) is no finding.
TEST_F(Winsock2Reset, CheckReadsBothCataloguesOfVista) {
    const wstring tcpip64 = wstring(kNameSpaceEntries64) + L"\\000000000001";
    struct Case {
        const char* name;
        void (*arrange)(const wstring& tcpip64);
        const wchar_t* found;  // what the reset's Now names; null: nothing found
    };
    const Case cases[] = {
        {"standard, no 64-bit catalogues", [](const wstring&) {}, nullptr},
        {"clean 64-bit catalogues",
         [](const wstring& tcpip64) {
             AddProtocolEntry(kProtocolEntries64, L"000000000001", "%SystemRoot%\\system32\\mswsock.dll");
             SetText(HKEY_LOCAL_MACHINE, tcpip64, L"DisplayString", L"Tcpip");
             SetDword(HKEY_LOCAL_MACHINE, tcpip64, L"Enabled", 1);
         },
         nullptr},
        {"suspicious library in the 64-bit protocol catalogue only",
         [](const wstring&) {
             AddProtocolEntry(kProtocolEntries64, L"000000000001", "%SystemRoot%\\system32\\mswsock.dll");
             AddProtocolEntry(kProtocolEntries64, L"000000000002", "C:\\Windows\\System32\\HBMTER.DLL");
         },
         L"Protocol_Catalog9\\Catalog_Entries64\\000000000002: C:\\Windows\\System32\\HBMTER.DLL"},
        {"name-space provider switched off in the 64-bit catalogue",
         [](const wstring& tcpip64) {
             SetText(HKEY_LOCAL_MACHINE, tcpip64, L"DisplayString", L"Tcpip");
             SetDword(HKEY_LOCAL_MACHINE, tcpip64, L"Enabled", 0);
         },
         L"NameSpace_Catalog5\\Catalog_Entries64\\000000000001 Enabled=dword:00000000"},
        {"empty 64-bit protocol catalogue",
         [](const wstring&) {
             ASSERT_TRUE(static_cast<bool>(CreateRegKey(HKEY_LOCAL_MACHINE, kProtocolEntries64, KEY_ALL_ACCESS)));
         },
         L"Protocol_Catalog9\\Catalog_Entries64 (empty)"},
        {"missing 32-bit protocol catalogue",
         [](const wstring&) { RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kProtocolEntries); },
         L"Protocol_Catalog9\\Catalog_Entries (missing)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        c.arrange(tcpip64);
        const wstring before = Catalogues();
        std::vector<RepairChange> fixes;
        EXPECT_EQ(CheckWinsock2(Vista(3), &fixes), c.found != nullptr);
        if (c.found) {
            ASSERT_EQ(fixes.size(), 1u);
            EXPECT_EQ(fixes[0].Action, RepairAction::ResetCatalog);
            EXPECT_EQ(fixes[0].Now, c.found);
        } else {
            EXPECT_TRUE(fixes.empty());
        }
        EXPECT_EQ(Catalogues(), before);
        // The lists the console and the window show carry the same change, and no import.
        const auto planned = PlanPostCleanRepairs(Vista(3), false);
        EXPECT_EQ(std::count_if(planned.begin(), planned.end(),
                                [](const RepairChange& p) { return p.Action == RepairAction::ResetCatalog; }),
                  c.found ? 1 : 0);
        EXPECT_TRUE(std::none_of(planned.begin(), planned.end(),
                                 [](const RepairChange& p) { return p.Action == RepairAction::ImportDefaults; }));
    }
}

// Records what it is asked and answers as told.
class ScriptedRecorder final : public ChangeRecorder {
public:
    explicit ScriptedRecorder(bool accept) : accept_(accept) {}
    bool BeforeValueWrite(HKEY, const wstring&, const wstring&) override { return accept_; }
    bool BeforeKeyTreeWrite(HKEY root, const wstring& key) override {
        if (root == HKEY_LOCAL_MACHINE) trees.push_back(key);
        return accept_;
    }
    bool BeforeFileRewrite(const wstring&) override { return accept_; }
    std::vector<wstring> trees;

private:
    bool accept_;
};

// The reset's outcome as the report and the user hear it; the catalogue is never touched by the
// program itself. A reset that failed or was not allowed is no success and needs no restart.
TEST_F(Winsock2Reset, OutcomeOfTheReset) {
    struct Case {
        const char* name;
        int answer;
        bool recorderAccepts, runnerSucceeds;
        int resets;
        int reported;  // -1 nothing reported, else the reset's result
    };
    const Case cases[] = {
        {"succeeds", AnswerYes, true, true, 1, 1},
        {"the reset fails", AnswerYes, true, false, 1, 0},
        {"the recorder refuses", AnswerYes, false, true, 0, 0},
        {"the answer is No", AnswerNo, true, true, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        AddProtocolEntry(kProtocolEntries64, L"000000000001", "C:\\Program Files\\yehoo\\hp\\yhp64.dll");
        const wstring before = Catalogues();
        resetSucceeds_ = c.runnerSucceeds;
        ScriptedRecorder recorder(c.recorderAccepts);
        ChangeRecorder* const previous = SetActiveChangeRecorder(&recorder);
        ScriptedPrompt prompt;
        ScopedPrompt scope(prompt);
        prompt.Script({c.answer});
        std::vector<std::pair<RepairAction, bool>> made;
        RepairWinsock2(true, Vista(4), [&](const RepairChange& change, bool ok) { made.emplace_back(change.Action, ok); });
        SetActiveChangeRecorder(previous);

        EXPECT_EQ(resets_, c.resets);
        if (c.reported < 0) {
            EXPECT_TRUE(made.empty());
            EXPECT_TRUE(recorder.trees.empty());
        } else {
            ASSERT_EQ(made.size(), 1u);
            EXPECT_EQ(made[0].first, RepairAction::ResetCatalog);
            EXPECT_EQ(made[0].second, c.reported == 1);
            EXPECT_EQ(recorder.trees, std::vector<wstring>{kParameters}) << "the settings are recorded before the reset";
        }
        ASSERT_EQ(prompt.Asked().size(), c.reported == 1 ? 2u : 1u) << "the restart notice follows a reset that took";
        EXPECT_EQ(prompt.Asked()[0].Text, kWinsock2Question);
        EXPECT_EQ(Catalogues(), before);
    }
}

TEST(Winsock2, NoImportOnVistaAndLater) {
    RepairSystem system = RepairSystemOfProcess();
    system.VistaOrLater = true;
    ScriptedPrompt prompt;
    ScopedPrompt scope(prompt);
    EXPECT_FALSE(RestoreRegistryDefaults(3, system));
    EXPECT_TRUE(prompt.Asked().empty());
}

}  // namespace
}  // namespace tidemark

// The repairs by definition id and the post-clean sequence, against the machine's registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "repair/browser_repair.h"
#include "repair_test_support.h"
#include "system/prompt.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/reg_view.h"
#include "system/text_util.h"

namespace tidemark {
namespace {

using std::wstring;
using test::DeleteValue;
using test::SetBinary;
using test::SetDword;
using test::SetText;
using test::SystemOfKind;
using test::TextOf;
using test::TypeOf;

const wstring kIeMain = L"Software\\Microsoft\\Internet Explorer\\Main";
const wstring kIeSearch = L"Software\\Microsoft\\Internet Explorer\\Search";
const wstring kRun = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wstring kRunOnce = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wstring kDefaultFolders = L".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wstring kSystemFolders = L"S-1-5-18\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

TEST(DefinitionRepair, SetsSearchPagesProtocolHandlerAndStartPageCreatingKeys) {
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kIeSearch);
    for (const wchar_t* name : {L"Search Bar", L"Search Page", L"Start Page"}) DeleteValue(HKEY_CURRENT_USER, kIeMain, name);
    const RepairSystem system = SystemOfKind(3);
    for (int id : {6, 13, 16, 21, 27}) EXPECT_TRUE(RunDefinitionRepair(id, system)) << id;

    EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, kIeSearch, L"SearchAssistant"), wstring(kSearchAssistant));
    EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, kIeSearch, L"CustomizeSearch"), wstring(kSearchCustomize));
    EXPECT_EQ(TextOf(HKEY_CURRENT_USER, kIeMain, L"Search Bar"), wstring(kSearchRedirector));
    EXPECT_EQ(TextOf(HKEY_CURRENT_USER, kIeMain, L"Search Page"), wstring(kSearchRedirector));
    EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, L"PROTOCOLS\\Handler\\http", L"CLSID"),
              wstring(L"{79eac9e2-baf9-11ce-8c82-00aa004ba90b}"));
    EXPECT_EQ(TextOf(HKEY_CURRENT_USER, kIeMain, L"Start Page"), wstring(kFixedStartPage));
    EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, kIeMain, L"Start Page"), wstring(kFixedStartPage));
    EXPECT_TRUE(RunDefinitionRepair(12345, system));  // no repair: a successful one
}

TEST(DefinitionRepair, NeverWritesTextOverIntegerOrBinaryValues) {
    SetDword(HKEY_CURRENT_USER, kIeMain, L"Start Page", 7);
    SetBinary(HKEY_CLASSES_ROOT, L".exe", L"", {1, 2, 3});
    const RepairSystem system = SystemOfKind(3);
    EXPECT_TRUE(RunDefinitionRepair(27, system));
    EXPECT_TRUE(RunDefinitionRepair(139, system));
    EXPECT_EQ(TypeOf(HKEY_CURRENT_USER, kIeMain, L"Start Page"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(TypeOf(HKEY_CLASSES_ROOT, L".exe", L""), static_cast<DWORD>(REG_BINARY));
    // The rest of the associations were still written.
    EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, L"telnet\\shell\\open\\command", L""),
              wstring(L"rundll32.exe url.dll,TelnetProtocolHandler %l"));
    SetText(HKEY_CLASSES_ROOT, L".exe", L"", L"exefile");
    DeleteValue(HKEY_CURRENT_USER, kIeMain, L"Start Page");
}

TEST(DefinitionRepair, FileAssociationsOfEachFamily) {
    DWORD type = 0;
    RestoreFileAssociations(SystemOfKind(3));
    const RepairSystem nt = SystemOfKind(3);
    const wstring ie = nt.Win.Drive + L":\\Program Files\\Internet Explorer\\iexplore.exe";
    EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, L"htmlfile\\shell\\open\\command", L"", &type), L"\"" + ie + L"\" -nohome");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, L"Drive\\shell\\find\\command", L"", &type), wstring(L"%SystemRoot%\\Explorer.exe"));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, L".lnk\\ShellNew", L"Command"), wstring(L"rundll32.exe appwiz.cpl,NewLinkHere %1"));

    // 9x: text only, through the Windows folder. The expandable value of the NT run must not
    // stop the text from being written (both are string types).
    const RepairSystem nine = SystemOfKind(0);
    RestoreFileAssociations(nine);
    EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, L"Drive\\shell\\find\\command", L"", &type), nine.WinDir() + L"Explorer.exe");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, L".lnk\\ShellNew", L"Command"), wstring(L"RunDLL32 AppWiz.Cpl,NewLinkHere %2"));
    RestoreFileAssociations(nt);
}

TEST(DefinitionRepair, FriendlyStartupKeepsAForeignSystemValue) {
    const wstring winlogon = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    const wstring userWindows = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    const RepairSystem system = SystemOfKind(3);
    for (const auto& [before, after] : std::vector<std::pair<wstring, wstring>>{
             {L"C:\\WINDOWS\\Friendly.EXE", L""}, {L"guard.exe", L"guard.exe"}}) {
        SetText(HKEY_LOCAL_MACHINE, winlogon, L"system", before);
        SetText(HKEY_CURRENT_USER, userWindows, L"load", L"C:\\WINDOWS\\kmdpx.exe");
        EXPECT_TRUE(RunDefinitionRepair(171, system));
        EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, winlogon, L"system"), after);
        EXPECT_EQ(TextOf(HKEY_CURRENT_USER, userWindows, L"load"), wstring());
    }
    SetText(HKEY_LOCAL_MACHINE, winlogon, L"system", L"");
}

TEST(DefinitionRepair, AppInitLosesOnlyTheRogueLibraries) {
    const wstring windows = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    const RepairSystem nt = SystemOfKind(3);
    const wstring kept = nt.SysDir() + L"kernel32.dll";
    const wstring gone = nt.SysDir() + L"qzx81rnd.dll";  // a random name the clean removed
    struct Case { int kind; wstring before; wstring after; };
    const Case cases[] = {
        {3, nt.SysDir() + L"vtsts.dll," + kept, kept},
        {3, kept + L" ddmt.dll " + gone, kept},
        {3, kept, kept},
        {0, L"vtsts.dll", L"vtsts.dll"},  // the 9x family has no such value to repair
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.before));
        SetText(HKEY_LOCAL_MACHINE, windows, L"AppInit_DLLs", c.before);
        EXPECT_TRUE(RunDefinitionRepair(48, SystemOfKind(c.kind)));
        EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, windows, L"AppInit_DLLs"), c.after);
    }
    SetText(HKEY_LOCAL_MACHINE, windows, L"AppInit_DLLs", L"");
}

// The default user's folders: written only when the key and the folder exist, with the
// language's names.
TEST(DefinitionRepair, DefaultUserFoldersOnlyForExistingFolders) {
    const RepairSystem win2k = SystemOfKind(2, LangSimplified);
    const wstring base = win2k.SysDir() + L"config\\systemprofile\\";
    ASSERT_TRUE(test::MakeDirs(base + L"桌面"));
    ASSERT_TRUE(test::MakeDirs(base + L"Cookies"));
    RegDeleteKeyTree(HKEY_USERS, kDefaultFolders);

    EXPECT_TRUE(RunDefinitionRepair(100, win2k));  // key missing: nothing created
    EXPECT_FALSE(RegKeyExists(HKEY_USERS, kDefaultFolders));

    SetText(HKEY_USERS, kDefaultFolders, L"Favorites", L"C:\\rogue\\fav");
    SetText(HKEY_USERS, kSystemFolders, L"Cookies", L"C:\\rogue\\cookies");
    EXPECT_TRUE(RunDefinitionRepair(100, SystemOfKind(0, LangSimplified)));  // 9x: nothing
    EXPECT_EQ(TextOf(HKEY_USERS, kDefaultFolders, L"Desktop"), std::nullopt);

    EXPECT_TRUE(RunDefinitionRepair(100, win2k));
    EXPECT_EQ(TextOf(HKEY_USERS, kDefaultFolders, L"Desktop"), base + L"桌面");
    EXPECT_EQ(TextOf(HKEY_USERS, kDefaultFolders, L"Cookies"), base + L"Cookies");
    // No such folder under the base: the value stays as it was.
    EXPECT_EQ(TextOf(HKEY_USERS, kDefaultFolders, L"Favorites"), wstring(L"C:\\rogue\\fav"));

    EXPECT_TRUE(RunDefinitionRepair(147, win2k));
    EXPECT_EQ(TextOf(HKEY_USERS, kSystemFolders, L"Cookies"), base + L"Cookies");
    RegDeleteKeyTree(HKEY_USERS, kDefaultFolders);
    RemoveDirectoryW((base + L"桌面").c_str());
    RemoveDirectoryW((base + L"Cookies").c_str());
}

TEST(DefinitionRepair, CommonStartupOnNtIsTheAllUsersStartupFolder) {
    const wstring folders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    RepairSystem system = SystemOfKind(3);
    test::ScratchDir dir;
    system.CommonStartup = dir.path();
    SetText(HKEY_LOCAL_MACHINE, folders, L"Common Startup", L"C:\\WINDOWS\\Startup");
    EXPECT_TRUE(RunDefinitionRepair(35, system));
    EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, folders, L"Common Startup"), dir.path());

    // Neither the reported folder nor the profile's localised one exists: left alone.
    system.CommonStartup = dir / L"missing";
    system.AllUsersProfile = dir / L"missing";
    SetText(HKEY_LOCAL_MACHINE, folders, L"Common Startup", L"C:\\WINDOWS\\Startup");
    EXPECT_TRUE(RunDefinitionRepair(35, system));
    EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, folders, L"Common Startup"), wstring(L"C:\\WINDOWS\\Startup"));
    SetText(HKEY_LOCAL_MACHINE, folders, L"Common Startup", RepairSystemOfProcess().CommonStartup);
}

TEST(DefinitionRepair, PiaoxueNoticeAndUrnSection) {
    ScriptedPrompt prompt;
    ScopedPrompt scope(prompt);
    RepairSystem system = SystemOfKind(3);
    EXPECT_TRUE(RunDefinitionRepair(225, system));
    ASSERT_EQ(prompt.Asked().size(), 1u);
    EXPECT_EQ(prompt.Asked()[0].Kind, PromptKind::Info);
    EXPECT_EQ(prompt.Asked()[0].Title, L"提示");
    EXPECT_NE(prompt.Asked()[0].Text.find(L"Piaoxue/Feixue/My123 需要重新启动才能彻底删除！"), wstring::npos);

    // The URN section goes only when it names a library of the rogue's exact size.
    test::ScratchDir windows;
    system.Win.WindowsDir = windows.path();
    const wstring ini = windows / L"system.ini";
    const wstring rogue = windows / L"urnhelp.dll", other = windows / L"other.dll";
    ASSERT_TRUE(test::WriteFileText(rogue, std::string(275456, '\0')));
    ASSERT_TRUE(test::WriteFileText(other, std::string(1000, '\0')));
    for (const auto& [dll, erased] : std::vector<std::pair<wstring, bool>>{{other, false}, {rogue, true}}) {
        ASSERT_TRUE(WritePrivateProfileStringW(L"URN", L"Dllname", dll.c_str(), ini.c_str()));
        EXPECT_TRUE(RunDefinitionRepair(244, system));
        wchar_t buffer[MAX_PATH] = {};
        GetPrivateProfileStringW(L"URN", L"Dllname", L"", buffer, MAX_PATH, ini.c_str());
        EXPECT_EQ(wstring(buffer).empty(), erased) << testing::PrintToString(dll);
    }
}

TEST(StartPage, HijackDomainsMatchTheWholeHostName) {
    struct Case { const wchar_t* address; bool hijacked; };
    const Case cases[] = {
        {L"http://www.7939.com/", true},
        {L"HTTP://WWW.3721.COM/index.htm", true},
        {L"www.coolwebsearch.com", true},
        {L"http://user@search.new.net:8080/?q=1", true},
        {L"http://7939.com./", true},
        {L"http://www.17939.com/", false},         // another name that merely ends the same
        {L"http://www.example.com/3721.com/", false},  // in the path, not the host
        {L"http://new.network.cn/", false},
        {L"about:blank", false},
        {L"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsHijackedStartPage(c.address), c.hijacked) << testing::PrintToString(wstring(c.address));
    EXPECT_EQ(kHijackDomains.size(), 16u);
}

std::vector<RepairChange> StepChanges(const std::vector<RepairChange>& changes, int step) {
    std::vector<RepairChange> of;
    std::copy_if(changes.begin(), changes.end(), std::back_inserter(of), [&](const RepairChange& c) { return c.Step == step; });
    return of;
}

bool Planned(const std::vector<RepairChange>& changes, const wstring& name) {
    return std::any_of(changes.begin(), changes.end(), [&](const RepairChange& c) { return c.Name == name; });
}

TEST(PostClean, StartPageCheck) {
    const RepairSystem system = SystemOfKind(3);
    struct Case { wstring page; bool changed; };
    for (const Case& c : {Case{L"HTTP://WWW.7939.COM/", true}, Case{L"about:blank", false}, Case{L"", false},
                          Case{L"http://www.example.org/", false}}) {
        SCOPED_TRACE(testing::PrintToString(c.page));
        SetText(HKEY_CURRENT_USER, kIeMain, L"Start Page", c.page);
        const auto changes = StepChanges(PlanPostCleanRepairs(system, false), 2);
        ASSERT_EQ(changes.size(), c.changed ? 1u : 0u);
        if (c.changed) {
            EXPECT_EQ(changes[0].After, kFixedStartPage);
            EXPECT_TRUE(ApplyRepairChange(changes[0], {}, {}));
            EXPECT_EQ(TextOf(HKEY_CURRENT_USER, kIeMain, L"Start Page"), wstring(kFixedStartPage));
        }
    }
    DeleteValue(HKEY_CURRENT_USER, kIeMain, L"Start Page");
}

// The Run-key rules by kind: the table names what each kind removes from HKCU\...\Run or RunOnce.
TEST(PostClean, RunKeyRulesPerKind) {
    // A setup in a temporary folder on drive C that still has its file.
    const wstring folder = L"C:\\tm-repair-temp\\temp";
    const wstring present = folder + L"\\setup.exe";
    ASSERT_TRUE(test::WriteFileText(present, "MZ"));
    const wstring tempOnC = L"C:\\Documents and Settings\\u\\Local Settings\\Temp\\";
    struct Case { const wchar_t* name; int kind; bool runOnce; wstring text; bool removed; };
    const Case cases[] = {
        {L"tm_c_temp", 3, false, tempOnC + L"ad.exe", true},
        {L"tm_d_temp", 3, false, L"D:\\temp\\ad.exe", false},
        {L"tm_rundll", 3, false, L"RunDLL32", true},
        {L"tm_rundll_sys", 3, false, L"rundll32.exe C:\\WINDOWS\\system32\\shell32.dll,Control_RunDLL", false},
        {L"tm_rundll_dl", 2, false, L"rundll32 C:\\Downloads\\x.dll,Start", true},
        {L"tm_iexplorer", 4, false, L"C:\\Program Files\\iexplorer.exe", true},
        {L"tm_9x_temp", 0, false, L"C:\\WINDOWS\\TEMP\\ad.exe", true},
        {L"tm_9x_other", 0, false, L"C:\\Temp\\ad.exe", false},
        {L"tm_nt_run_present", 3, false, present, true},
        // RunOnce into a temporary folder: a setup that still has its file keeps its entry.
        {L"tm_once_missing", 3, true, tempOnC + L"gone.exe /x", true},
        {L"tm_once_present", 3, true, present + L" /finish", false},
        {L"tm_once_quoted", 3, true, L"\"" + present + L"\" /finish", false},
    };
    for (const Case& c : cases) {
        // The rules read the Windows drive (C) and folder, whatever the prefix says.
        RepairSystem system = SystemOfKind(c.kind);
        system.Win.Drive = L"C";
        system.Win.WindowsDir = L"C:\\WINDOWS";
        const wstring key = c.runOnce ? kRunOnce : kRun;
        SetText(HKEY_CURRENT_USER, key, c.name, c.text);
        const auto changes = StepChanges(PlanPostCleanRepairs(system, false), 1);
        EXPECT_EQ(Planned(changes, c.name), c.removed) << testing::PrintToString(c.text) << " kind " << c.kind;
        DeleteValue(HKEY_CURRENT_USER, key, c.name);
    }
    DeleteFileW(present.c_str());
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(L"C:\\tm-repair-temp");
}

// A value that is not text is skipped and the others are still judged; the default value stays.
TEST(PostClean, RunValuesThatAreNotTextAreSkipped) {
    SetDword(HKEY_CURRENT_USER, kRun, L"tm_number", 5);
    SetText(HKEY_CURRENT_USER, kRun, L"tm_after", L"rundll32");
    SetText(HKEY_CURRENT_USER, kRun, L"", L"rundll32");
    RepairSystem system = SystemOfKind(3);
    std::vector<RepairChange> made;
    system.VistaOrLater = true;  // no catalogue import from this test
    RunPostCleanRepairs(system, nullptr, nullptr, [&](const RepairChange& c, bool ok) {
        if (c.Step == 1) {
            made.push_back(c);
            EXPECT_TRUE(ok);
        }
    });
    EXPECT_TRUE(Planned(made, L"tm_after"));
    EXPECT_FALSE(Planned(made, L"tm_number"));
    EXPECT_EQ(TextOf(HKEY_CURRENT_USER, kRun, L"tm_after"), std::nullopt);
    EXPECT_EQ(TypeOf(HKEY_CURRENT_USER, kRun, L"tm_number"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(TextOf(HKEY_CURRENT_USER, kRun, L""), wstring(L"rundll32"));
    DeleteValue(HKEY_CURRENT_USER, kRun, L"tm_number");
    DeleteValue(HKEY_CURRENT_USER, kRun, L"");
}

// On 64-bit Windows the machine's start-up keys and browser pages of both registry views are
// repaired, each change in its own view.
TEST(PostClean, BothRegistryViewsOfTheMachine) {
    ASSERT_TRUE(SystemIs64Bit());
    RepairSystem system = SystemOfKind(3);
    system.VistaOrLater = true;  // no catalogue import from this test
    const wstring page32 = L"http://www.example.com/32", page64 = L"http://www.example.com/64";
    {
        const ScopedRegView view(RegView::Bits32);
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kRun, L"tm_rogue32", L"rundll32"));
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kIeMain, L"Start Page", page32));
    }
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kRun, L"tm_rogue32", L"C:\\Windows\\notepad.exe"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kIeMain, L"Start Page", page64));
    auto in = [](RegView view, const wstring& key, const wchar_t* name) {
        const ScopedRegView scope(view);
        std::wstring text = L"-";
        ReadRegString(HKEY_LOCAL_MACHINE, key, name, L"-", text);
        return text;
    };

    const auto changes = StepChanges(PlanPostCleanRepairs(system, false), 1);
    const auto planned = std::find_if(changes.begin(), changes.end(),
                                      [](const RepairChange& c) { return c.Name == L"tm_rogue32"; });
    ASSERT_NE(planned, changes.end());
    EXPECT_EQ(planned->View, RegView::Bits32);
    EXPECT_EQ(std::count_if(changes.begin(), changes.end(), [](const RepairChange& c) { return c.Name == L"tm_rogue32"; }), 1);
    RunPostCleanRepairs(system, nullptr, nullptr);
    EXPECT_EQ(in(RegView::Bits32, kRun, L"tm_rogue32"), L"-");
    EXPECT_EQ(in(RegView::Bits64, kRun, L"tm_rogue32"), L"C:\\Windows\\notepad.exe");

    EXPECT_TRUE(RunDefinitionRepair(27, system));
    EXPECT_EQ(in(RegView::Bits32, kIeMain, L"Start Page"), wstring(kFixedStartPage));
    EXPECT_EQ(in(RegView::Bits64, kIeMain, L"Start Page"), wstring(kFixedStartPage));
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRun, L"tm_rogue32");
}

// Steps 4 and 5 run only with both operations, and only on what is there.
TEST(PostClean, AdvertisingFilesAndShutdownStepNeedBothOperations) {
    RepairSystem system = SystemOfKind(3);
    system.VistaOrLater = true;
    const wstring adplus = system.SysDir() + L"adplus.dll";
    ASSERT_TRUE(test::WriteFileText(adplus, "MZ"));
    const auto without = PlanPostCleanRepairs(system, false);
    EXPECT_TRUE(StepChanges(without, 4).empty());
    EXPECT_TRUE(StepChanges(without, 5).empty());
    const auto with = PlanPostCleanRepairs(system, true);
    ASSERT_EQ(StepChanges(with, 4).size(), 1u);
    EXPECT_EQ(StepChanges(with, 4)[0].Key, adplus);
    EXPECT_EQ(StepChanges(with, 5).size(), 1u);
    EXPECT_TRUE(StepChanges(PlanPostCleanRepairs(SystemOfKind(2), true), 5).empty());  // 2000: no shutdown step

    static std::vector<wstring> deleted;
    deleted.clear();
    ScriptedPrompt prompt;  // the WinSock2 question gets No
    ScopedPrompt scope(prompt);
    RunPostCleanRepairs(system, [](const wstring& p) { deleted.push_back(p); return DeleteFileW(p.c_str()) != 0; },
                        [](const wstring& p) { deleted.push_back(p); return true; });
    EXPECT_EQ(deleted, std::vector<wstring>{adplus});
    EXPECT_FALSE(test::PathExists(adplus));
}

}  // namespace
}  // namespace tidemark

// Plug-in objects against real registrations in the test prefix: what each kind reads, and what
// a clean removes at each risk.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/test_support.h"
#include "plugins/plugin_obj.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

using test::PathExists;
using test::ScratchDir;
using test::WriteFileText;

const std::wstring kBho = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\";
const std::wstring kToolbar = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const std::wstring kMenuExt = L"Software\\Microsoft\\Internet Explorer\\MenuExt\\";
const std::wstring kExtensions = L"SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\";
const std::wstring kBars = L"SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\";
const std::wstring kHklm = L"HKEY_LOCAL_MACHINE\\";

std::wstring TestGuid(int n) {
    wchar_t text[64];
    wsprintfW(text, L"{7E57A0%02d-3C1D-4B2A-9E8F-00000000C1EA}", n);
    return text;
}

// Registry fixtures of one test, removed at its end (keys whole, values one by one).
class Registry {
public:
    ~Registry() {
        for (auto it = keys_.rbegin(); it != keys_.rend(); ++it) {
            const auto slash = it->second.rfind(L'\\');
            if (slash == std::wstring::npos) {
                DeleteRegSubKey(it->first, L"", it->second);
            } else {
                DeleteRegSubKey(it->first, it->second.substr(0, slash), it->second.substr(slash + 1));
            }
        }
        for (const auto& [path, name] : values_) DeleteRegValue(HKEY_LOCAL_MACHINE, path, name);
    }
    // Creates the key (remembered for removal) and sets its string values ({name, text}; "" is the default).
    void Key(HKEY root, const std::wstring& path, const std::vector<std::pair<std::wstring, std::wstring>>& values = {},
             DWORD type = REG_SZ) {
        UniqueHKey key = CreateRegKey(root, path, KEY_ALL_ACCESS);
        ASSERT_TRUE(key) << test::Narrow(path);
        keys_.emplace_back(root, path);
        for (const auto& [name, text] : values) ASSERT_TRUE(SetStringValue(key.get(), name, text, type));
    }
    // A class with its name and (when not empty) its library.
    void Class(const std::wstring& guid, const std::wstring& name, const std::wstring& server, DWORD type = REG_SZ) {
        Key(HKEY_CLASSES_ROOT, L"CLSID\\" + guid, {{L"", name}});
        if (!server.empty()) Key(HKEY_CLASSES_ROOT, L"CLSID\\" + guid + L"\\InprocServer32", {{L"", server}}, type);
    }
    void ToolbarValue(const std::wstring& guid, const std::wstring& text) {
        UniqueHKey key = CreateRegKey(HKEY_LOCAL_MACHINE, kToolbar, KEY_ALL_ACCESS);
        ASSERT_TRUE(key);
        ASSERT_TRUE(SetStringValue(key.get(), guid, text));
        values_.emplace_back(kToolbar, guid);
    }

private:
    std::vector<std::pair<HKEY, std::wstring>> keys_;
    std::vector<std::pair<std::wstring, std::wstring>> values_;
};

// Every entry as it was reported: "<item kind> <state> <path>".
class ItemLog : public Sink<ItemReport> {
public:
    void Found(const ItemReport& report) override {
        lines.push_back(std::to_wstring(report.Kind) + L" " + std::to_wstring(report.Item->State) + L" " +
                        report.Item->Path);
    }
    std::vector<std::wstring> lines;
};

class RemovalLog : public Sink<RemovalReport> {
public:
    void Processed(const RemovalReport& report, Outcome outcome) override {
        entries.emplace_back(report.Item->Path, outcome);
    }
    std::vector<std::pair<std::wstring, Outcome>> entries;
};

template <class T>
struct Loaded {
    T obj;
    ItemLog log;
    explicit Loaded(const std::wstring& key, std::uint8_t risk = RiskUnknown) {
        obj.Risk = risk;
        obj.OnItem = &log;
        obj.Load(key);
    }
};

std::wstring Line(int kind, int state, const std::wstring& path) {
    return std::to_wstring(kind) + L" " + std::to_wstring(state) + L" " + path;
}

bool KeyThere(HKEY root, const std::wstring& path) { return static_cast<bool>(OpenRegKey(root, path, KEY_READ)); }

std::vector<std::string> Narrowed(const std::vector<std::wstring>& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines) out.push_back(test::Narrow(line));
    return out;
}

TEST(PluginLoad, HelperObjectsToolbarsAndExplorerBars) {
    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(dir / L"one.dll", "MZ"));
    const std::wstring withClass = TestGuid(1), named = TestGuid(2), bare = TestGuid(3), barOnly = TestGuid(4);
    Registry reg;
    reg.Class(withClass, L"  Helper One \t", dir / L"one.dll");
    for (const auto& guid : {withClass, named, bare}) reg.Key(HKEY_LOCAL_MACHINE, kBho + guid);
    reg.Key(HKEY_LOCAL_MACHINE, kBho + named, {{L"", L"Registered Name"}});
    reg.ToolbarValue(withClass, L"ignored");
    reg.ToolbarValue(barOnly, L"Bar Text");
    reg.ToolbarValue(bare, L"");
    for (const auto& guid : {withClass, barOnly}) reg.Key(HKEY_LOCAL_MACHINE, kBars + guid);

    const std::wstring classKey = L"HKEY_CLASSES_ROOT\\CLSID\\" + withClass;
    const std::wstring library = Line(ItemFile, StateFound, dir / L"one.dll");
    const struct {
        const char* what;
        std::unique_ptr<TPluginObj> obj;
        std::wstring key, name;
        int kind;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"helper object with its class", std::make_unique<TBho>(), withClass, L"Helper One", 1,
         {Line(ItemRegKey, StateFound, classKey), library, Line(ItemRegKey, StateFound, kHklm + kBho + withClass)}},
        {"helper object named by its registration", std::make_unique<TBho>(), named, L"Registered Name", 1,
         {Line(ItemRegKey, StateFound, kHklm + kBho + named)}},
        {"helper object without any name", std::make_unique<TBho>(), bare, L"<无名>", 1,
         {Line(ItemRegKey, StateFound, kHklm + kBho + bare)}},
        {"toolbar with its class", std::make_unique<TIEToolBar>(), withClass, L"Helper One", 2,
         {Line(ItemRegKey, StateFound, classKey), library,
          Line(ItemRegValue, StateFound, kHklm + kToolbar + L"\\" + withClass)}},
        {"toolbar named by its value", std::make_unique<TIEToolBar>(), barOnly, L"Bar Text", 2,
         {Line(ItemRegValue, StateFound, kHklm + kToolbar + L"\\" + barOnly)}},
        {"toolbar without any name", std::make_unique<TIEToolBar>(), bare, L"<无名>", 2,
         {Line(ItemRegValue, StateFound, kHklm + kToolbar + L"\\" + bare)}},
        {"explorer bar with its class", std::make_unique<TExplorerBar>(), withClass, L"Helper One", 5,
         {Line(ItemRegKey, StateFound, classKey), library, Line(ItemRegKey, StateFound, kHklm + kBars + withClass)}},
        {"explorer bar without its class keeps no name", std::make_unique<TExplorerBar>(), barOnly, L"", 5,
         {Line(ItemRegKey, StateFound, kHklm + kBars + barOnly)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ItemLog log;
        c.obj->OnItem = &log;
        c.obj->Load(c.key);
        EXPECT_EQ(c.obj->Name, c.name);
        EXPECT_EQ(c.obj->Kind, c.kind);
        EXPECT_EQ(c.obj->Id, 0);
        EXPECT_EQ(c.obj->Check(), StatusInstalled);
        EXPECT_EQ(Narrowed(log.lines), Narrowed(c.lines));
        EXPECT_EQ(c.obj->EntryCount(), static_cast<int>(c.lines.size()));
    }
}

TEST(PluginLoad, ToolbarButtons) {
    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(dir / L"band.dll", "MZ"));
    const std::wstring band = TestGuid(10);
    Registry reg;
    reg.Class(band, L"The Band", dir / L"band.dll");
    const std::wstring opensBar = L"{e0dd6cab-2d10-11d2-8f1a-0000f87abd16}";  // case does not matter
    const struct {
        const char* what;
        std::vector<std::pair<std::wstring, std::wstring>> values;
        std::wstring name;
        std::vector<std::wstring> after;  // lines after the button's own key
    } cases[] = {
        {"opens an explorer bar",
         {{L"CLSID", opensBar}, {L"BandCLSID", band}, {L"MenuText", L"  Menu Text "}, {L"ButtonText", L"Button"}},
         L"Menu Text",
         {Line(ItemRegKey, StateFound, L"HKEY_CLASSES_ROOT\\CLSID\\" + band), Line(ItemFile, StateFound, dir / L"band.dll")}},
        {"runs a missing program",
         {{L"CLSID", kButtonRunsCommand}, {L"Exec", dir / L"missing.exe"}, {L"ButtonText", L" Run "}},
         L"Run",
         {Line(ItemFile, StateNotFound, dir / L"missing.exe")}},
        {"runs through a class; Exec is then not read",
         {{L"CLSID", kButtonRunsCommand}, {L"ClsidExtension", band}, {L"Exec", dir / L"band.dll"}},
         L"<无名>",
         {Line(ItemRegKey, StateFound, L"HKEY_CLASSES_ROOT\\CLSID\\" + band), Line(ItemFile, StateFound, dir / L"band.dll")}},
        {"opens a bar whose identifier is empty", {{L"CLSID", kButtonOpensBar}, {L"BandCLSID", L""}}, L"<无名>", {}},
        {"of another kind", {{L"CLSID", L"{00000000-0000-0000-0000-000000000000}"}, {L"Exec", dir / L"band.dll"}},
         L"<无名>", {}},
    };
    int n = 11;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring id = TestGuid(n++);
        reg.Key(HKEY_LOCAL_MACHINE, kExtensions + id, c.values);
        Loaded<TIEToolButton> button(id);
        EXPECT_EQ(button.obj.Name, c.name);
        EXPECT_EQ(button.obj.Kind, 4);
        std::vector<std::wstring> lines{Line(ItemRegKey, StateFound, kHklm + kExtensions + id)};
        lines.insert(lines.end(), c.after.begin(), c.after.end());
        EXPECT_EQ(Narrowed(button.log.lines), Narrowed(lines));
    }
    SCOPED_TRACE("a registration that is gone");
    Loaded<TIEToolButton> gone(TestGuid(30));
    EXPECT_EQ(gone.obj.Name, L"");
    EXPECT_EQ(Narrowed(gone.log.lines), Narrowed({Line(ItemRegKey, StateFound, kHklm + kExtensions + TestGuid(30))}));
}

// A menu entry the table rates risky is still ordinary: its registration goes, its script stays.
TEST(PluginLoad, MenuExtensionIsAlwaysOrdinary) {
    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(dir / L"menu.htm", "<script></script>"));
    const std::wstring name = L"Tidemark 测试菜单";
    Registry reg;
    reg.Key(HKEY_CURRENT_USER, kMenuExt + name, {{L"", dir / L"menu.htm"}, {L"Contexts", L"1"}});
    Loaded<TMenuExt> menu(name, RiskRisky);
    EXPECT_EQ(menu.obj.Risk, RiskOrdinary);
    EXPECT_EQ(menu.obj.Name, name);
    EXPECT_EQ(menu.obj.Kind, 3);
    EXPECT_EQ(Narrowed(menu.log.lines),
              Narrowed({Line(ItemRegKey, StateFound, L"HKEY_CURRENT_USER\\" + kMenuExt + name),
                        Line(ItemFile, StateFound, dir / L"menu.htm")}));
    EXPECT_TRUE(menu.obj.Clean());
    EXPECT_FALSE(KeyThere(HKEY_CURRENT_USER, kMenuExt + name));
    EXPECT_TRUE(PathExists(dir / L"menu.htm"));
    EXPECT_EQ(menu.obj.Files[0]->State, StateFound);
}

TEST(PluginClean, ByRisk) {
    ScratchDir dir;
    const std::wstring windows = GetWinInfo().WindowsDir;
    const struct {
        const char* what;
        std::uint8_t risk;
        bool inWindows;
        bool result, fileStays, registrationStays, classStays;
        std::uint8_t fileState;
        Outcome fileOutcome;  // Listed: no removal reported
    } cases[] = {
        {"ordinary: registration only", RiskOrdinary, false, true, true, false, false, StateFound, Outcome::Listed},
        {"safe: nothing", RiskSafe, false, true, true, true, true, StateFound, Outcome::Listed},
        {"unknown: the library too", RiskUnknown, false, true, false, false, false, StateRemoved, Outcome::Done},
        {"risky: the library too", RiskRisky, false, true, false, false, false, StateRemoved, Outcome::Done},
        {"dangerous: the library too", RiskDangerous, false, true, false, false, false, StateRemoved, Outcome::Done},
        // Its plug-in registration goes; the library and the class it serves stay, as planned.
        {"unknown, served from the Windows folder", RiskUnknown, true, true, true, false, true, StateFound,
         Outcome::Listed},
        {"risky, served from the Windows folder", RiskRisky, true, true, false, false, false, StateRemoved,
         Outcome::Done},
    };
    int n = 40;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring guid = TestGuid(n++);
        const std::wstring library = (c.inWindows ? windows : dir.path()) + L"\\tm_plug_" + std::to_wstring(n) + L".dll";
        ASSERT_TRUE(WriteFileText(library, "MZ"));
        Registry reg;
        reg.Class(guid, L"Plug", library);
        reg.Key(HKEY_LOCAL_MACHINE, kBho + guid);
        Loaded<TBho> bho(guid, c.risk);
        RemovalLog removals;
        bho.obj.OnRemoval = &removals;
        ASSERT_EQ(bho.obj.Files.size(), 1u);
        EXPECT_EQ(bho.obj.Clean(), c.result);
        EXPECT_EQ(PathExists(library), c.fileStays);
        EXPECT_EQ(KeyThere(HKEY_LOCAL_MACHINE, kBho + guid), c.registrationStays);
        EXPECT_EQ(KeyThere(HKEY_CLASSES_ROOT, L"CLSID\\" + guid), c.classStays);
        EXPECT_EQ(bho.obj.Files[0]->State, c.fileState);
        Outcome fileOutcome = Outcome::Listed;
        for (const auto& [path, outcome] : removals.entries) {
            if (path == library) fileOutcome = outcome;
        }
        EXPECT_EQ(fileOutcome, c.fileOutcome);
        EXPECT_EQ(bho.obj.RegKeys[0]->State, c.classStays ? StateFound : StateRemoved);
        EXPECT_EQ(bho.obj.RegKeys[1]->State, c.registrationStays ? StateFound : StateRemoved);
        DeleteFileW(library.c_str());
    }
}

// An unknown plug-in of any kind whose library lies under the Windows folder loses only its
// plug-in registration (helper key, toolbar value, button, bar): its class registration stays
// with the library, and the plan a preview lists never names either.
TEST(PluginClean, UnknownPluginOfTheWindowsFolderKeepsItsClassAndLibrary) {
    const std::wstring library = GetWinInfo().WindowsDir + L"\\tm_windows_band.dll";
    ASSERT_TRUE(WriteFileText(library, "MZ"));
    const std::wstring band = TestGuid(20), helper = TestGuid(21), bar = TestGuid(22), toolbar = TestGuid(23),
                       button = TestGuid(24);
    Registry reg;
    for (const auto& guid : {band, helper, bar, toolbar}) reg.Class(guid, L"Band of Windows", library);
    reg.Key(HKEY_LOCAL_MACHINE, kBho + helper);
    reg.Key(HKEY_LOCAL_MACHINE, kBars + bar);
    reg.ToolbarValue(toolbar, L"");
    reg.Key(HKEY_LOCAL_MACHINE, kExtensions + button, {{L"CLSID", kButtonOpensBar}, {L"BandCLSID", band}});
    const struct {
        const char* what;
        std::unique_ptr<TPluginObj> obj;
        std::wstring key, classId;
        std::function<bool()> registrationThere;
    } cases[] = {
        {"helper object", std::make_unique<TBho>(), helper, helper,
         [&] { return KeyThere(HKEY_LOCAL_MACHINE, kBho + helper); }},
        {"explorer bar", std::make_unique<TExplorerBar>(), bar, bar,
         [&] { return KeyThere(HKEY_LOCAL_MACHINE, kBars + bar); }},
        {"toolbar", std::make_unique<TIEToolBar>(), toolbar, toolbar,
         [&] { return static_cast<bool>(RegValueExists(HKEY_LOCAL_MACHINE, kToolbar, toolbar)); }},
        {"toolbar button opening a bar", std::make_unique<TIEToolButton>(), button, band,
         [&] { return KeyThere(HKEY_LOCAL_MACHINE, kExtensions + button); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.obj->Risk = RiskUnknown;
        c.obj->Load(c.key);
        ASSERT_EQ(c.obj->Files.size(), 1u);
        for (const PluginEntry& entry : c.obj->CleanPlan()) {
            EXPECT_NE(entry.Item->Path, library);
            EXPECT_EQ(entry.Item->Path.find(L"HKEY_CLASSES_ROOT\\CLSID\\"), std::wstring::npos)
                << test::Narrow(entry.Item->Path);
        }
        EXPECT_TRUE(c.obj->Clean());
        EXPECT_FALSE(c.registrationThere());
        EXPECT_TRUE(KeyThere(HKEY_CLASSES_ROOT, L"CLSID\\" + c.classId + L"\\InprocServer32"));
        EXPECT_TRUE(PathExists(library));
    }
    DeleteFileW(library.c_str());
}

// "删除" on one entry of the tree follows the clean's rule: a safe plug-in loses nothing, an
// ordinary one only its registration, the others their files too.
TEST(PluginClean, SingleEntryDeletionFollowsTheRisk) {
    ScratchDir dir;
    const struct {
        const char* what;
        std::uint8_t risk;
        bool fileGoes, registrationGoes;
    } cases[] = {
        {"safe", RiskSafe, false, false},
        {"ordinary", RiskOrdinary, false, true},
        {"unknown", RiskUnknown, true, true},
        {"dangerous", RiskDangerous, true, true},
    };
    int n = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring guid = TestGuid(n++);
        const std::wstring library = dir / (L"single" + std::to_wstring(n) + L".dll");
        ASSERT_TRUE(WriteFileText(library, "MZ"));
        Registry reg;
        reg.Class(guid, L"Plug", library);
        reg.Key(HKEY_LOCAL_MACHINE, kBho + guid);
        Loaded<TBho> bho(guid, c.risk);
        ASSERT_EQ(bho.obj.Files.size(), 1u);
        ASSERT_EQ(bho.obj.RegKeys.size(), 2u);
        EXPECT_EQ(bho.obj.CleanFile(0, true), c.fileGoes);
        EXPECT_EQ(bho.obj.CleanRegKey(1, true), c.registrationGoes);
        EXPECT_EQ(PathExists(library), !c.fileGoes);
        EXPECT_EQ(KeyThere(HKEY_LOCAL_MACHINE, kBho + guid), !c.registrationGoes);
        EXPECT_EQ(bho.obj.Files[0]->State, c.fileGoes ? StateRemoved : StateFound);
        DeleteFileW(library.c_str());
    }
}

// Only a fully qualified path to an existing regular file is a file of the plug-in's; anything
// else is "not found" and survives the clean of a risky plug-in.
TEST(PluginClean, OnlyExactPathsOfExistingFiles) {
    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(dir / L"docs\\keep.txt", "x"));
    ASSERT_TRUE(WriteFileText(dir / L"quoted.dll", "MZ"));
    ASSERT_TRUE(WriteFileText(dir / L"expanded.dll", "MZ"));
    ASSERT_TRUE(WriteFileText(dir / L"run.exe", "MZ"));
    ASSERT_TRUE(WriteFileText(dir / L"mscoree.dll", "MZ"));
    ASSERT_TRUE(SetEnvironmentVariableW(L"TM_PLUG_DIR", dir.path().c_str()));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
    const std::wstring dirName = dir.path().substr(dir.path().rfind(L'\\') + 1);
    const struct {
        const char* what;
        std::wstring server;
        DWORD type;
        std::wstring stored;  // the file entry's path
        std::uint8_t state;
        std::wstring removed;  // empty: nothing may go
    } cases[] = {
        {"quoted", L"\"" + (dir / L"quoted.dll") + L"\"", REG_SZ, dir / L"quoted.dll", StateFound, dir / L"quoted.dll"},
        {"environment variables", L"%TM_PLUG_DIR%\\expanded.dll", REG_EXPAND_SZ, dir / L"expanded.dll", StateFound,
         dir / L"expanded.dll"},
        {"a folder's everything", dir / L"docs\\*", REG_SZ, dir / L"docs\\*", StateNotFound, L""},
        {"a folder", dir / L"docs", REG_SZ, dir / L"docs", StateNotFound, L""},
        {"a bare name found in the current folder", L"mscoree.dll", REG_SZ, L"mscoree.dll", StateNotFound, L""},
        {"a command line", L"\"" + (dir / L"run.exe") + L"\" /quiet", REG_SZ, L"\"" + (dir / L"run.exe") + L"\" /quiet",
         StateNotFound, L""},
        {"arguments without quotes", (dir / L"run.exe") + L" /quiet", REG_SZ, (dir / L"run.exe") + L" /quiet",
         StateNotFound, L""},
        {"a step back", dir.path() + L"\\..\\" + dirName + L"\\run.exe", REG_SZ,
         dir.path() + L"\\..\\" + dirName + L"\\run.exe", StateNotFound, L""},
        {"a pattern for one file", dir / L"run.ex?", REG_SZ, dir / L"run.ex?", StateNotFound, L""},
    };
    int n = 60;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring guid = TestGuid(n++);
        Registry reg;
        reg.Class(guid, L"Plug", c.server, c.type);
        reg.Key(HKEY_LOCAL_MACHINE, kBho + guid);
        Loaded<TBho> bho(guid, RiskDangerous);
        ASSERT_EQ(bho.obj.Files.size(), 1u);
        EXPECT_EQ(bho.obj.Files[0]->Path, c.stored);
        EXPECT_EQ(bho.obj.Files[0]->State, c.state);
        EXPECT_TRUE(bho.obj.Clean());
        EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kBho + guid));
        for (const wchar_t* name : {L"docs\\keep.txt", L"run.exe", L"mscoree.dll", L"quoted.dll", L"expanded.dll"}) {
            const std::wstring path = dir / name;
            EXPECT_EQ(PathExists(path), path != c.removed) << test::Narrow(path);
        }
        if (!c.removed.empty()) {
            ASSERT_TRUE(WriteFileText(c.removed, "MZ"));
        }
    }

    // The same rule for a toolbar button's program.
    const std::wstring id = TestGuid(80);
    Registry reg;
    reg.Key(HKEY_LOCAL_MACHINE, kExtensions + id, {{L"CLSID", kButtonRunsCommand}, {L"Exec", dir / L"docs\\*"}});
    Loaded<TIEToolButton> button(id, RiskRisky);
    EXPECT_EQ(button.obj.Files[0]->State, StateNotFound);
    EXPECT_TRUE(button.obj.Clean());
    EXPECT_TRUE(PathExists(dir / L"docs\\keep.txt"));
    EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kExtensions + id));

    SetCurrentDirectoryW(previous);
    SetEnvironmentVariableW(L"TM_PLUG_DIR", nullptr);
}

// A context-menu entry is listed and read in the current user's hive; it is removed there, not
// in the hive the other cleaners are redirected to.
TEST(PluginClean, MenuExtensionIsRemovedWhereItWasRead) {
    const std::wstring other = L"TidemarkPluginRedirect";
    const std::wstring name = L"Tidemark Redirected Menu";
    Registry reg;
    reg.Key(HKEY_CURRENT_USER, kMenuExt + name, {{L"", L"C:\\nowhere\\menu.htm"}});
    reg.Key(HKEY_USERS, other + L"\\" + kMenuExt + name, {{L"", L"C:\\nowhere\\menu.htm"}});
    reg.Key(HKEY_USERS, other);  // removed last, with everything below it
    SetUserHiveRedirect(true, other);
    Loaded<TMenuExt> menu(name);
    const bool cleaned = menu.obj.Clean();
    SetUserHiveRedirect(false, L"");
    EXPECT_TRUE(cleaned);
    EXPECT_FALSE(KeyThere(HKEY_CURRENT_USER, kMenuExt + name));
    EXPECT_TRUE(KeyThere(HKEY_USERS, other + L"\\" + kMenuExt + name));
    EXPECT_EQ(menu.obj.RegKeys[0]->State, StateRemoved);
}

// Gives everyone only the access asked for (and the right to change that back).
bool LimitAccess(HKEY root, const std::wstring& path, REGSAM allowed) {
    UniqueHKey key = OpenRegKey(root, path, READ_CONTROL | WRITE_DAC);
    if (!key) return false;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return false;
    alignas(DWORD) unsigned char buffer[256];
    auto* acl = reinterpret_cast<PACL>(buffer);
    SECURITY_DESCRIPTOR sd;
    const bool ok = InitializeAcl(acl, sizeof buffer, ACL_REVISION) &&
                    AddAccessAllowedAce(acl, ACL_REVISION, allowed | READ_CONTROL | WRITE_DAC, everyone) &&
                    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
                    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE) &&
                    RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
    FreeSid(everyone);
    return ok;
}

bool Refuses(HKEY root, const std::wstring& path, REGSAM access) {
    LONG error = ERROR_SUCCESS;
    return !OpenRegKey(root, path, access, &error) && error == ERROR_ACCESS_DENIED;
}

// Load reads registrations it may only read; a registration that is there but cannot be
// deleted is a failed removal ("清除失败"), not a success.
TEST(PluginClean, ReadOnlyRegistrationIsLoadedAndItsRemovalFails) {
    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(dir / L"locked.dll", "MZ"));
    const std::wstring guid = TestGuid(90), menu = L"Tidemark Locked Menu";
    const std::wstring classKey = L"CLSID\\" + guid;
    Registry reg;
    reg.Class(guid, L"Locked Helper", dir / L"locked.dll");
    reg.Key(HKEY_LOCAL_MACHINE, kBho + guid);
    reg.Key(HKEY_CURRENT_USER, kMenuExt + menu, {{L"", dir / L"locked.dll"}});
    for (const auto& key : {classKey, classKey + L"\\InprocServer32"}) ASSERT_TRUE(LimitAccess(HKEY_CLASSES_ROOT, key, KEY_READ));
    ASSERT_TRUE(LimitAccess(HKEY_CURRENT_USER, kMenuExt + menu, KEY_READ));
    if (!Refuses(HKEY_CLASSES_ROOT, classKey, KEY_SET_VALUE)) GTEST_SKIP() << "key security is not enforced here";

    Loaded<TBho> bho(guid, RiskRisky);
    EXPECT_EQ(bho.obj.Name, L"Locked Helper");
    ASSERT_EQ(bho.obj.RegKeys.size(), 2u);
    ASSERT_EQ(bho.obj.Files.size(), 1u);
    Loaded<TMenuExt> menuExt(menu);
    ASSERT_EQ(menuExt.obj.Files.size(), 1u);

    // Now nobody may even open them: the removal cannot delete what it cannot open.
    for (const auto& key : {classKey + L"\\InprocServer32", classKey}) ASSERT_TRUE(LimitAccess(HKEY_CLASSES_ROOT, key, 0));
    ASSERT_TRUE(LimitAccess(HKEY_CURRENT_USER, kMenuExt + menu, 0));
    RemovalLog removals;
    bho.obj.OnRemoval = &removals;
    menuExt.obj.OnRemoval = &removals;
    EXPECT_FALSE(bho.obj.Clean());
    EXPECT_FALSE(menuExt.obj.Clean());
    EXPECT_EQ(bho.obj.Files[0]->State, StateRemoved);
    EXPECT_EQ(bho.obj.RegKeys[0]->State, StateRemoveFailed);
    EXPECT_EQ(bho.obj.RegKeys[1]->State, StateRemoved);
    EXPECT_EQ(menuExt.obj.RegKeys[0]->State, StateRemoveFailed);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, classKey));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kMenuExt + menu));
    for (const auto& [path, outcome] : removals.entries) {
        if (path.find(L"\\CLSID\\") != std::wstring::npos || path.find(L"MenuExt") != std::wstring::npos) {
            EXPECT_EQ(outcome, Outcome::Failed) << test::Narrow(path);
        }
    }
    for (const auto& key : {classKey, classKey + L"\\InprocServer32"}) EXPECT_TRUE(LimitAccess(HKEY_CLASSES_ROOT, key, KEY_ALL_ACCESS));
    EXPECT_TRUE(LimitAccess(HKEY_CURRENT_USER, kMenuExt + menu, KEY_ALL_ACCESS));
}

}  // namespace
}  // namespace tidemark

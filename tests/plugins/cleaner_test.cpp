// The cleaner against a program copy carrying definitions and a plug-in table of our own, and
// real registrations, hosts files and notification packages in the test prefix.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/test_support.h"
#include "engine/cleaner.h"
#include "engine/plugin_clean.h"
#include "engine/sealed_text.h"
#include "engine/soft_obj.h"
#include "engine/store_keys.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/reg_view.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

using test::PathExists;
using test::ScratchDir;
using test::WriteFileText;

const std::wstring kBho = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\";
const std::wstring kToolbar = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const std::wstring kMenuExt = L"Software\\Microsoft\\Internet Explorer\\MenuExt\\";
const std::wstring kNotify = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\";

const std::wstring kSafeGuid = L"{C1EA0001-5AFE-4A11-8B0B-00000000C1EA}";
const std::wstring kRiskyGuid = L"{C1EA0002-BAD0-4A11-8B0B-00000000C1EA}";
const std::wstring kUnknownGuid = L"{C1EA0003-0000-4A11-8B0B-00000000C1EA}";
const std::wstring kUnknownBar = L"{C1EA0004-0000-4A11-8B0B-00000000C1EA}";
const std::wstring kRiskyMenu = L"用测试工具打开";

std::string Ansi(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

// A copy of this program carrying the given definitions and plug-in table, loaded as data.
class ProgramCopy {
public:
    ProgramCopy(const std::vector<std::pair<std::wstring, std::wstring>>& definitions, const std::wstring* table) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::wstring copy = dir_ / L"program.dll";
        if (!CopyFileW(self, copy.c_str(), FALSE)) return;
        HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
        if (!update) return;
        const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
        for (const auto& [name, script] : definitions) {
            std::string bytes = SealText(Ansi(script), DefinitionKey(name, kDefinitionKeySource));
            UpdateResourceW(update, L"V", name.c_str(), neutral, bytes.data(), static_cast<DWORD>(bytes.size()));
        }
        if (table) {
            std::string bytes = SealText(Ansi(*table), kFixedStoreKey);
            UpdateResourceW(update, L"FILE", L"VB", neutral, bytes.data(), static_cast<DWORD>(bytes.size()));
        }
        if (EndUpdateResourceW(update, FALSE)) module_ = LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~ProgramCopy() {
        if (module_) FreeLibrary(module_);
    }
    HMODULE module() const { return module_; }

private:
    ScratchDir dir_;
    HMODULE module_ = nullptr;
};

std::wstring Script(int id) {
    return L"[Soft]\r\nid=" + std::to_wstring(id) + L"\r\nname=定义" + std::to_wstring(id) + L"\r\n";
}

const std::wstring kTable = L"; rows of the tests\r\n[Safe Vendor]\r\nGUID=" + kSafeGuid +
                            L"\r\nRISK=1\r\n[Rogue Bar]\r\nguid=" + kRiskyGuid + L"\r\nRISK=4\r\n[Risky Menu]\r\nGUID=" +
                            kRiskyMenu + L"\r\nRISK=4\r\n";

std::unique_ptr<TCleaner> MakeCleaner(const ProgramCopy& program) {
    CleanerCreateError error;
    auto cleaner = TCleaner::Create(program.module(), DefaultCleanHost(), &error);
    EXPECT_TRUE(cleaner) << "definitions failed: " << error.Definitions.has_value()
                         << ", table missing: " << error.PluginTableMissing;
    return cleaner;
}

// Registry fixtures of one test, removed at its end.
class Registry {
public:
    ~Registry() {
        for (auto it = keys_.rbegin(); it != keys_.rend(); ++it) {
            const auto slash = it->second.rfind(L'\\');
            DeleteRegSubKey(it->first, it->second.substr(0, slash), it->second.substr(slash + 1));
        }
        for (const auto& [path, name] : values_) DeleteRegValue(HKEY_LOCAL_MACHINE, path, name);
    }
    void Key(HKEY root, const std::wstring& path, const std::vector<std::pair<std::wstring, std::wstring>>& values = {}) {
        UniqueHKey key = CreateRegKey(root, path, KEY_ALL_ACCESS);
        ASSERT_TRUE(key) << test::Narrow(path);
        keys_.emplace_back(root, path);
        for (const auto& [name, text] : values) ASSERT_TRUE(SetStringValue(key.get(), name, text));
    }
    void Value(const std::wstring& path, const std::wstring& name, const std::wstring& text) {
        UniqueHKey key = CreateRegKey(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS);
        ASSERT_TRUE(key);
        ASSERT_TRUE(SetStringValue(key.get(), name, text));
        values_.emplace_back(path, name);
    }

private:
    std::vector<std::pair<HKEY, std::wstring>> keys_;
    std::vector<std::pair<std::wstring, std::wstring>> values_;
};

bool KeyThere(HKEY root, const std::wstring& path) { return static_cast<bool>(OpenRegKey(root, path, KEY_READ)); }

// The plug-ins made after index from, whose registration entry ends with name.
std::vector<TPluginObj*> MadeFor(TCleaner& cleaner, std::size_t from, const std::wstring& name) {
    std::vector<TPluginObj*> found;
    for (std::size_t i = from; i < cleaner.Plugins.size(); ++i) {
        TPluginObj& plugin = *cleaner.Plugins[i];
        for (const ItemList* list : {&plugin.RegKeys, &plugin.RegValues}) {
            for (const auto& entry : *list) {
                const std::wstring& path = entry->Path;
                if (path.size() > name.size() && path.compare(path.size() - name.size() - 1, std::wstring::npos,
                                                              L"\\" + name) == 0) {
                    found.push_back(&plugin);
                    goto next;
                }
            }
        }
    next:;
    }
    return found;
}

// On 64-bit Windows each view's helper objects are listed in their view, their libraries named
// as this process reaches them, and a clean takes the registration of its own view only.
TEST(Cleaner, HelperObjectsOfBothViews) {
    ASSERT_TRUE(SystemIs64Bit());
    const ProgramCopy program({{L"V1", Script(1)}}, &kTable);
    ASSERT_NE(program.module(), nullptr);
    const auto cleaner = MakeCleaner(program);
    ASSERT_TRUE(cleaner);
    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(dir / L"bho64.dll", "MZ"));
    wchar_t windows[MAX_PATH] = {};
    GetSystemWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring lib32 = std::wstring(windows) + L"\\System32\\tmbho32.dll";
    const std::wstring real32 = std::wstring(windows) + L"\\SysWOW64\\tmbho32.dll";
    ASSERT_TRUE(WriteFileText(real32, "MZ"));
    Registry reg;
    reg.Key(HKEY_CLASSES_ROOT, L"CLSID\\" + kUnknownGuid, {{L"", L"Helper 64"}});
    reg.Key(HKEY_CLASSES_ROOT, L"CLSID\\" + kUnknownGuid + L"\\InprocServer32", {{L"", dir / L"bho64.dll"}});
    reg.Key(HKEY_LOCAL_MACHINE, kBho + kUnknownGuid);
    {
        const ScopedRegView view(RegView::Bits32);
        reg.Key(HKEY_CLASSES_ROOT, L"CLSID\\" + kUnknownGuid, {{L"", L"Helper 32"}});
        reg.Key(HKEY_CLASSES_ROOT, L"CLSID\\" + kUnknownGuid + L"\\InprocServer32", {{L"", lib32}});
        reg.Key(HKEY_LOCAL_MACHINE, kBho + kUnknownGuid);
    }
    const std::size_t before = cleaner->Plugins.size();
    cleaner->ScanHelperObjects(nullptr);
    const auto made = MadeFor(*cleaner, before, kUnknownGuid);
    ASSERT_EQ(made.size(), 2u);
    TPluginObj* of32 = made[0]->View == RegView::Bits32 ? made[0] : made[1];
    TPluginObj* of64 = made[0]->View == RegView::Bits64 ? made[0] : made[1];
    ASSERT_NE(of32, of64);
    EXPECT_EQ(of32->Name, L"Helper 32");
    EXPECT_EQ(of64->Name, L"Helper 64");
    ASSERT_EQ(of32->Files.size(), 1u);
    EXPECT_EQ(of32->Files[0]->Path, real32);
    EXPECT_EQ(of32->Files[0]->State, StateFound);
    ASSERT_EQ(of64->Files.size(), 1u);
    EXPECT_EQ(of64->Files[0]->Path, dir / L"bho64.dll");

    // The 32-bit one is unknown and served from the Windows folder: its registration goes, in
    // its view alone; its class and library stay.
    EXPECT_TRUE(of32->Clean());
    auto there = [](RegView view, HKEY root, const std::wstring& key) {
        const ScopedRegView scope(view);
        return KeyThere(root, key);
    };
    EXPECT_FALSE(there(RegView::Bits32, HKEY_LOCAL_MACHINE, kBho + kUnknownGuid));
    EXPECT_TRUE(there(RegView::Bits64, HKEY_LOCAL_MACHINE, kBho + kUnknownGuid));
    EXPECT_TRUE(there(RegView::Bits32, HKEY_CLASSES_ROOT, L"CLSID\\" + kUnknownGuid));
    EXPECT_TRUE(PathExists(real32));
    // The 64-bit one's library outside the Windows folder goes with its registration.
    EXPECT_TRUE(of64->Clean());
    EXPECT_FALSE(there(RegView::Bits64, HKEY_LOCAL_MACHINE, kBho + kUnknownGuid));
    EXPECT_FALSE(there(RegView::Bits64, HKEY_CLASSES_ROOT, L"CLSID\\" + kUnknownGuid));
    EXPECT_TRUE(there(RegView::Bits32, HKEY_CLASSES_ROOT, L"CLSID\\" + kUnknownGuid));
    EXPECT_FALSE(PathExists(dir / L"bho64.dll"));
    {
        const ScopedRegView view(RegView::Bits32);
        DeleteRegSubKey(HKEY_CLASSES_ROOT, L"CLSID", kUnknownGuid);
    }
    DeleteFileW(real32.c_str());
}

TEST(Cleaner, CreateNeedsDefinitionsAndTable) {
    const std::wstring bad = L"[Soft]\r\nid=x\r\nname=坏\r\n";
    const ProgramCopy noTable({{L"V1", Script(1)}}, nullptr);
    const ProgramCopy badDefinition({{L"V1", Script(1)}, {L"V2", bad}}, &kTable);
    ASSERT_NE(noTable.module(), nullptr);
    ASSERT_NE(badDefinition.module(), nullptr);

    CleanerCreateError error;
    EXPECT_EQ(TCleaner::Create(noTable.module(), DefaultCleanHost(), &error), nullptr);
    EXPECT_TRUE(error.PluginTableMissing);
    EXPECT_FALSE(error.Definitions);

    error = {};
    EXPECT_EQ(TCleaner::Create(badDefinition.module(), DefaultCleanHost(), &error), nullptr);
    ASSERT_TRUE(error.Definitions);
    EXPECT_EQ(error.Definitions->Resource, L"V2");
}

TEST(Cleaner, FindDefinitionAndFindById) {
    const ProgramCopy program({{L"V5", Script(5)}, {L"V7", Script(7)}, {L"V1001", Script(1001)}}, &kTable);
    ASSERT_NE(program.module(), nullptr);
    const auto cleaner = MakeCleaner(program);
    ASSERT_TRUE(cleaner);
    ASSERT_EQ(cleaner->Definitions().Count(), 3u);
    TSoftObj* five = cleaner->FindDefinition(5);
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(five->Name, L"定义5");
    EXPECT_EQ(cleaner->FindDefinition(1001)->Id, 1001);
    EXPECT_EQ(cleaner->FindDefinition(6), nullptr);
    ASSERT_TRUE(five->FindById);
    EXPECT_EQ(five->FindById(*five, 5), nullptr) << "a definition never finds itself";
    EXPECT_EQ(five->FindById(*five, 99), nullptr);
    EXPECT_EQ(five->FindById(*five, 7), cleaner->FindDefinition(7));
    // The table came with it: the four rows of our own add-on first, then the three rows above.
    EXPECT_EQ(cleaner->KnownPlugins().Count(), 7);
}

TEST(Cleaner, ScanRuleHidesSafeNamesRiskyAndRatesUnknown) {
    const ProgramCopy program({{L"V1", Script(1)}}, &kTable);
    ASSERT_NE(program.module(), nullptr);
    const auto cleaner = MakeCleaner(program);
    ASSERT_TRUE(cleaner);
    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(dir / L"rogue.dll", "MZ"));
    Registry reg;
    reg.Key(HKEY_CLASSES_ROOT, L"CLSID\\" + kRiskyGuid, {{L"", L"Name In Registry"}});
    reg.Key(HKEY_CLASSES_ROOT, L"CLSID\\" + kRiskyGuid + L"\\InprocServer32", {{L"", dir / L"rogue.dll"}});
    reg.Key(HKEY_CLASSES_ROOT, L"CLSID\\" + kUnknownGuid, {{L"", L"Unknown Helper"}});
    reg.Key(HKEY_LOCAL_MACHINE, kBho + kSafeGuid);
    // The table matches without regard to case and gives its own spelling as the key.
    std::wstring lowerRisky = kRiskyGuid;
    CharLowerW(lowerRisky.data());
    reg.Key(HKEY_LOCAL_MACHINE, kBho + lowerRisky);
    reg.Key(HKEY_LOCAL_MACHINE, kBho + kUnknownGuid);
    reg.Value(kToolbar, kSafeGuid, L"Vendor Bar");
    reg.Value(kToolbar, kUnknownBar, L"工具条");
    reg.Key(HKEY_CURRENT_USER, kMenuExt + kRiskyMenu, {{L"", dir / L"menu.htm"}});

    // Each plug-in is reported as a record after the rating and before Load.
    struct Seen {
        std::uint8_t risk;
        int entries;
        std::uint8_t kind;
        std::wstring key;
    };
    class Recorder final : public Sink<PluginFound> {
    public:
        void Found(const PluginFound& found) override {
            EXPECT_EQ(found.Risk, found.Plugin->Risk);
            seen.push_back({found.Risk, found.Plugin->EntryCount(), found.Kind, found.Key});
        }
        std::vector<Seen> seen;
    } recorder;
    std::size_t before = cleaner->Plugins.size();
    const int helpers = cleaner->ScanHelperObjects(&recorder);
    EXPECT_EQ(static_cast<std::size_t>(helpers), cleaner->Plugins.size() - before) << "safe ones are not counted";
    ASSERT_EQ(recorder.seen.size(), static_cast<std::size_t>(helpers));
    for (const Seen& s : recorder.seen) {
        EXPECT_EQ(s.entries, 0);
        EXPECT_EQ(s.kind, 1);
    }
    bool riskyKeyInTableSpelling = false;
    for (const Seen& s : recorder.seen) riskyKeyInTableSpelling |= s.key == kRiskyGuid;
    EXPECT_TRUE(riskyKeyInTableSpelling);
    EXPECT_TRUE(MadeFor(*cleaner, before, kSafeGuid).empty());
    const auto risky = MadeFor(*cleaner, before, kRiskyGuid);
    ASSERT_EQ(risky.size(), 1u);
    EXPECT_EQ(risky[0]->Risk, RiskRisky);
    EXPECT_EQ(risky[0]->Name, L"Rogue Bar") << "the table's name wins over the registry's";
    EXPECT_EQ(risky[0]->Files.size(), 1u) << "loaded with the table's identifier";
    const auto unknown = MadeFor(*cleaner, before, kUnknownGuid);
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_EQ(unknown[0]->Risk, RiskUnknown);
    EXPECT_EQ(unknown[0]->Name, L"Unknown Helper");

    before = cleaner->Plugins.size();
    const int toolbars = cleaner->ScanToolbars(nullptr);
    EXPECT_EQ(static_cast<std::size_t>(toolbars), cleaner->Plugins.size() - before);
    EXPECT_TRUE(MadeFor(*cleaner, before, kSafeGuid).empty());
    const auto bar = MadeFor(*cleaner, before, kUnknownBar);
    ASSERT_EQ(bar.size(), 1u);
    EXPECT_EQ(bar[0]->Risk, RiskUnknown);
    EXPECT_EQ(bar[0]->Name, L"工具条");

    // A context-menu entry the table rates risky is made risky, and ordinary once loaded.
    recorder.seen.clear();
    before = cleaner->Plugins.size();
    const int menus = cleaner->ScanMenuExtensions(&recorder);
    EXPECT_EQ(static_cast<std::size_t>(menus), cleaner->Plugins.size() - before);
    const auto menu = MadeFor(*cleaner, before, kRiskyMenu);
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0]->Risk, RiskOrdinary);
    EXPECT_EQ(menu[0]->Name, L"Risky Menu");
    const std::size_t menuAt = static_cast<std::size_t>(
        std::find_if(cleaner->Plugins.begin() + static_cast<std::ptrdiff_t>(before), cleaner->Plugins.end(),
                     [&](const auto& p) { return p.get() == menu[0]; }) -
        cleaner->Plugins.begin() - static_cast<std::ptrdiff_t>(before));
    ASSERT_LT(menuAt, recorder.seen.size());
    EXPECT_EQ(recorder.seen[menuAt].risk, RiskRisky);
    EXPECT_EQ(recorder.seen[menuAt].kind, 3);

    // Objects of earlier scans stay.
    EXPECT_EQ(MadeFor(*cleaner, 0, kRiskyGuid).size(), 1u);
}

// ---- the hosts file ----

std::string Read(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (file && ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

bool PendingRenameMentions(const std::wstring& path) {
    UniqueHKey key = OpenRegKey(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", KEY_READ);
    if (!key) return false;
    const auto entries = QueryMultiStringValue(key.get(), L"PendingFileRenameOperations");
    if (!entries) return false;
    std::wstring wanted = path;
    CharUpperW(wanted.data());
    for (std::wstring entry : *entries) {
        CharUpperW(entry.data());
        if (entry.find(wanted) != std::wstring::npos) return true;
    }
    return false;
}

TEST(Cleaner, HostsFileReset) {
    const ProgramCopy program({{L"V1", Script(1)}}, &kTable);
    const auto cleaner = MakeCleaner(program);
    ASSERT_TRUE(cleaner);
    const std::string localhost = "127.0.0.1       localhost\r\n";
    const struct {
        const char* what;
        std::string content;
        std::string after;  // empty: left as it was
    } cases[] = {
        {"one space", "127.0.0.1 localhost", localhost},
        {"local network only", "192.168.0.2 nas\r\n", ""},
        {"empty", "", localhost},
        {"tab instead of space", "192.168.1.5\tnas\r\n", localhost},
        {"mixed", "# hosts\r\n127.0.0.1 localhost\n  192.168.1.7   printer  \r\n\r\n10.0.0.1 work\r\n"
                  "192.168.300.1 bad\r192.168.1 short\r\n192.169.0.1 other\r\n74.125.1.1 www.example.com",
         localhost + "192.168.1.7   printer\r\n"},
        {"already reset", localhost, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        const std::wstring hosts = dir / L"hosts";
        ASSERT_TRUE(WriteFileText(hosts, c.content));
        ASSERT_TRUE(test::MakeDirs(dir / L"backups"));
        const std::wstring backup = cleaner->FixHostsFile(hosts, dir / L"backups");
        // Never beside the file, where a junk rule ("*.bak") would take it.
        EXPECT_FALSE(PathExists(hosts + L".bak"));
        if (c.after.empty()) {
            EXPECT_EQ(Read(hosts), c.content);
            EXPECT_TRUE(backup.empty()) << "nothing rewritten, nothing backed up";
        } else {
            EXPECT_EQ(Read(hosts), c.after);
            ASSERT_FALSE(backup.empty());
            EXPECT_EQ(backup.rfind(dir / L"backups\\hosts_", 0), 0u);
            EXPECT_EQ(Read(backup), c.content) << "the old content is kept in the backup folder";
            // A second backup in the same second gets a name of its own.
            ASSERT_TRUE(WriteFileText(hosts, c.content));
            const std::wstring again = cleaner->FixHostsFile(hosts, dir / L"backups");
            EXPECT_NE(again, backup);
            EXPECT_EQ(Read(backup), c.content);
        }
        EXPECT_FALSE(PendingRenameMentions(hosts));
    }
    // A missing file stays missing.
    ScratchDir dir;
    cleaner->FixHostsFile(dir / L"hosts");
    EXPECT_FALSE(PathExists(dir / L"hosts"));
}

TEST(Cleaner, HostsFileIsRewrittenInPlaceAndNeverQueued) {
    const ProgramCopy program({{L"V1", Script(1)}}, &kTable);
    const auto cleaner = MakeCleaner(program);
    ASSERT_TRUE(cleaner);
    ScratchDir dir;
    const std::wstring hosts = dir / L"hosts";
    const std::string rogue = "127.0.0.1 localhost\r\n6.6.6.6 www.example.com\r\n";

    // Read-only (as rogue programs leave it): rewritten, and still read-only.
    ASSERT_TRUE(WriteFileText(hosts, rogue, FILE_ATTRIBUTE_READONLY));
    cleaner->FixHostsFile(hosts);
    EXPECT_EQ(Read(hosts), "127.0.0.1       localhost\r\n");
    EXPECT_TRUE(GetFileAttributesW(hosts.c_str()) & FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(SetFileAttributesW(hosts.c_str(), FILE_ATTRIBUTE_NORMAL));

    // Held by another program that lets nobody in: left alone, nothing queued for the restart,
    // and an unreadable file is not taken for an empty one.
    ASSERT_TRUE(WriteFileText(hosts, rogue));
    {
        UniqueHandle held(CreateFileW(hosts.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        cleaner->FixHostsFile(hosts);
    }
    EXPECT_EQ(Read(hosts), rogue);
    EXPECT_FALSE(PendingRenameMentions(hosts));
}

// ---- Winlogon notification packages ----

TEST(Cleaner, WinlogonNotifyKeepsStockAndForeignLibraries) {
    const ProgramCopy program({{L"V1", Script(1)}}, &kTable);
    const auto cleaner = MakeCleaner(program);
    ASSERT_TRUE(cleaner);
    ScratchDir dir;
    const std::string matching(234272, '\0');
    const std::wstring system = GetWinInfo().SystemDir;
    ASSERT_TRUE(WriteFileText(dir / L"match.dll", matching));
    ASSERT_TRUE(WriteFileText(dir / L"stock.dll", matching));
    ASSERT_TRUE(WriteFileText(dir / L"vpn.dll", std::string(234273, '\0')));
    ASSERT_TRUE(WriteFileText(system + L"\\tmnotify_bare.dll", matching));
    const struct {
        const wchar_t* package;
        std::wstring library;  // DllName
        std::wstring file;     // where the library is
        bool keyStays, fileStays;
    } cases[] = {
        {L"WlBalloon", dir / L"stock.dll", dir / L"stock.dll", true, true},
        {L"TmMatch", dir / L"match.dll", dir / L"match.dll", false, false},
        {L"TmVpn", dir / L"vpn.dll", dir / L"vpn.dll", true, true},
        {L"TmGone", dir / L"gone.dll", L"", false, false},
        {L"TmBare", L"tmnotify_bare.dll", system + L"\\tmnotify_bare.dll", false, false},
        {L"TmPattern", dir / L"*.dll", L"", true, false},
    };
    Registry reg;
    for (const auto& c : cases) {
        ASSERT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kNotify + c.package)) << "the prefix has its own " << test::Narrow(c.package);
        reg.Key(HKEY_LOCAL_MACHINE, kNotify + c.package, {{L"DllName", c.library}, {L"Logon", L"WLEventLogon"}});
    }
    cleaner->FixWinlogonNotify();
    for (const auto& c : cases) {
        SCOPED_TRACE(test::Narrow(c.package));
        EXPECT_EQ(KeyThere(HKEY_LOCAL_MACHINE, kNotify + c.package), c.keyStays);
        if (!c.file.empty()) {
            EXPECT_EQ(PathExists(c.file), c.fileStays);
        }
    }
    EXPECT_TRUE(PathExists(dir / L"stock.dll"));
    DeleteFileW((system + L"\\tmnotify_bare.dll").c_str());
}

// A clean and its preview are one walk over the same records: the preview lists exactly what
// the clean then processes, in the same order, and changes nothing (no removal, no repair, no
// commit); the clean runs the steps after the plug-ins and hands back the commit's result.
TEST(PluginCleanRun, PreviewListsExactlyWhatTheCleanProcesses) {
    ProgramCopy program({{L"V1", Script(1)}}, &kTable);
    const auto cleaner = MakeCleaner(program);
    ASSERT_TRUE(cleaner);
    ScratchDir dir;
    const std::wstring library = dir / L"rogue.dll";
    const std::wstring windowsLibrary = GetWinInfo().WindowsDir + L"\\tm_clean_run.dll";
    ASSERT_TRUE(WriteFileText(library, "MZ"));
    ASSERT_TRUE(WriteFileText(windowsLibrary, "MZ"));
    ASSERT_TRUE(WriteFileText(dir / L"menu.htm", "<script></script>"));
    Registry reg;
    reg.Key(HKEY_CLASSES_ROOT, L"CLSID\\" + kRiskyGuid, {{L"", L"Rogue"}});
    reg.Key(HKEY_CLASSES_ROOT, L"CLSID\\" + kRiskyGuid + L"\\InprocServer32", {{L"", library}});
    reg.Key(HKEY_LOCAL_MACHINE, kBho + kRiskyGuid);
    reg.Key(HKEY_CLASSES_ROOT, L"CLSID\\" + kUnknownBar, {{L"", L"Bar of Windows"}});
    reg.Key(HKEY_CLASSES_ROOT, L"CLSID\\" + kUnknownBar + L"\\InprocServer32", {{L"", windowsLibrary}});
    reg.Value(kToolbar, kUnknownBar, L"");
    reg.Key(HKEY_CURRENT_USER, kMenuExt + kRiskyMenu, {{L"", dir / L"menu.htm"}});

    const std::size_t before = cleaner->Plugins.size();
    for (const PluginScan scan : kPluginScanOrder) (cleaner.get()->*scan)(nullptr);
    std::vector<TPluginObj*> chosen;
    for (const std::wstring& key : {kRiskyGuid, kUnknownBar, kRiskyMenu}) {
        const auto made = MadeFor(*cleaner, before, key);
        ASSERT_EQ(made.size(), 1u) << test::Narrow(key);
        chosen.push_back(made[0]);
    }

    struct Step {
        const TPluginObj* plugin;
        const TSingleItem* item;
        Outcome outcome;
    };
    class Recorder final : public Sink<PluginCleanRecord> {
    public:
        void Processed(const PluginCleanRecord& record, Outcome outcome) override {
            steps.push_back({record.Plugin, record.Item, outcome});
        }
        void Failed(const Failure& failure) override { ADD_FAILURE() << test::Narrow(failure.item); }
        std::vector<Step> steps;
    };
    NullPump pump;
    StopToken stop;
    int repairs = 0, commits = 0;
    const auto repair = [&](FileOperation, FileOperation) { ++repairs; };
    const auto commit = [&] {
        ++commits;
        return BootCommitResult::NotNeeded;
    };

    Recorder listed;
    PluginCleanRun preview{{listed, pump, stop}, WalkMode::Preview, repair, commit};
    const PluginCleanResult previewed = CleanPlugins(*cleaner, chosen, preview);
    EXPECT_EQ(PlanPluginClean(chosen).size(), listed.steps.size());
    for (const Step& step : listed.steps) EXPECT_EQ(step.outcome, Outcome::Listed);
    EXPECT_EQ(previewed.Totals.listed, listed.steps.size());
    EXPECT_EQ(repairs + commits, 0);
    EXPECT_TRUE(PathExists(library));
    EXPECT_TRUE(KeyThere(HKEY_LOCAL_MACHINE, kBho + kRiskyGuid));
    EXPECT_TRUE(KeyThere(HKEY_CURRENT_USER, kMenuExt + kRiskyMenu));

    Recorder cleaned;
    PluginCleanRun apply{{cleaned, pump, stop}, WalkMode::Apply, repair, commit};
    const PluginCleanResult done = CleanPlugins(*cleaner, chosen, apply);
    ASSERT_EQ(cleaned.steps.size(), listed.steps.size());
    for (std::size_t i = 0; i < listed.steps.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cleaned.steps[i].plugin, listed.steps[i].plugin);
        EXPECT_EQ(cleaned.steps[i].item, listed.steps[i].item);
        EXPECT_NE(cleaned.steps[i].outcome, Outcome::Listed);
    }
    EXPECT_EQ(repairs, 1);
    EXPECT_EQ(commits, 1);
    EXPECT_EQ(done.Boot, BootCommitResult::NotNeeded);
    EXPECT_EQ(done.FailedObjects(), 0);
    EXPECT_TRUE(done.Succeeded());
    ASSERT_EQ(done.Objects.size(), 3u);
    for (const PluginCleanObject& object : done.Objects) EXPECT_EQ(object.Result, Outcome::Done);
    // The rogue helper goes whole; the unknown bar of the Windows folder keeps its library and
    // class; the menu entry loses its key only.
    EXPECT_FALSE(PathExists(library));
    EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kBho + kRiskyGuid));
    EXPECT_FALSE(KeyThere(HKEY_CLASSES_ROOT, L"CLSID\\" + kRiskyGuid));
    EXPECT_TRUE(PathExists(windowsLibrary));
    EXPECT_TRUE(KeyThere(HKEY_CLASSES_ROOT, L"CLSID\\" + kUnknownBar + L"\\InprocServer32"));
    EXPECT_FALSE(KeyThere(HKEY_CURRENT_USER, kMenuExt + kRiskyMenu));
    EXPECT_TRUE(PathExists(dir / L"menu.htm"));
    DeleteFileW(windowsLibrary.c_str());
}

// An unexpected error in a step after the plug-ins ends that step only: its reason is in the
// result and told to the sink, the commit still runs, and its result comes back.
TEST(PluginCleanRun, AnUnexpectedErrorFailsItsPluginAndIsReported) {
    ProgramCopy program({{L"V1", Script(1)}}, &kTable);
    const auto cleaner = MakeCleaner(program);
    ASSERT_TRUE(cleaner);
    // Plug-ins whose registrations are already gone.
    class Vanished final : public TPluginObj {
    public:
        Vanished() : TPluginObj(DefaultCleanHost(), 1) { Risk = RiskRisky; }
        void Load(const std::wstring& key) override { AddFoundKey(L"HKEY_CURRENT_USER\\Software\\TidemarkTests\\" + key); }
    };
    Vanished first, second;
    first.Load(L"Nothing");
    second.Load(L"Nothing2");
    class Failures final : public Sink<PluginCleanRecord> {
    public:
        void Failed(const Failure& failure) override { reasons.push_back(failure.item); }
        std::vector<std::wstring> reasons;
    } failures;
    NullPump pump;
    StopToken stop;
    int commits = 0;
    PluginCleanRun run{{failures, pump, stop}, WalkMode::Apply,
                       [](FileOperation, FileOperation) { throw std::runtime_error("repairs broke"); },
                       [&] {
                           ++commits;
                           return BootCommitResult::ListNotSaved;
                       }};
    const PluginCleanResult result = CleanPlugins(*cleaner, {&first, &second}, run);
    EXPECT_EQ(result.FailedObjects(), 0);
    EXPECT_EQ(commits, 1) << "the commit runs after a step that failed";
    ASSERT_EQ(result.StepErrors.size(), 1u);
    EXPECT_EQ(result.StepErrors[0], L"post-clean repairs: repairs broke");
    ASSERT_EQ(failures.reasons.size(), 1u);
    EXPECT_EQ(failures.reasons[0], result.StepErrors[0]);
    EXPECT_EQ(result.Boot, BootCommitResult::ListNotSaved);
    EXPECT_FALSE(result.Succeeded());
}

}  // namespace
}  // namespace tidemark

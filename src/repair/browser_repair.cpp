#include "repair/browser_repair.h"

#include <windows.h>
#include <shellapi.h>

#include "system/file_ops.h"
#include "system/prompt.h"
#include "system/reg_paths.h"
#include "system/text_case.h"
#include "system/text_util.h"

namespace tidemark {

// Internet Explorer's own defaults for its search pages; the start page is the maker's portal.
const wchar_t* const kSearchAssistant = L"http://ie.search.msn.com/{SUB_RFC1766}/srchasst/srchasst.htm";
const wchar_t* const kSearchCustomize = L"http://ie.search.msn.com/{SUB_RFC1766}/srchasst/srchcust.htm";
const wchar_t* const kSearchRedirector = L"http://www.microsoft.com/isapi/redir.dll?prd=ie&ar=iesearch";
const wchar_t* const kFixedStartPage = L"http://cn.msn.com/";

// Portals the start-page hijackers of 2003-2008 set, the Chinese ones and the international
// adware of the same years our definitions remove.
const std::array<const wchar_t*, 16> kHijackDomains = {
    L"3721.com",   L"yisou.com",  L"7939.com",   L"6781.com",      L"9505.com", L"2txt.com",
    L"52hai.com",  L"35zy.com",   L"5199.com",   L"dudu.com",      L"egdaccess.com", L"new.net",
    L"whenu.com",  L"gator.com",  L"mywebsearch.com", L"coolwebsearch.com",
};

namespace {

constexpr const wchar_t* kIeSearch = L"Software\\Microsoft\\Internet Explorer\\Search";
constexpr const wchar_t* kIeMain = L"Software\\Microsoft\\Internet Explorer\\Main";
constexpr const wchar_t* kWinlogon = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const wchar_t* kNtWindows = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const wchar_t* kUserNtWindows = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const wchar_t* kShellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const wchar_t* kDefaultShellFolders =
    L".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const wchar_t* kSystemShellFolders =
    L"S-1-5-18\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The localised folder names, by TWinInfo language.
struct FolderNames {
    const wchar_t* StartMenu;
    const wchar_t* Programs;
    const wchar_t* StartupMenu;
    const wchar_t* Desktop;
    const wchar_t* Startup;
};
const FolderNames& NamesOf(std::uint8_t language) {
    static const FolderNames simplified{L"「开始」菜单", L"「开始」菜单\\程序", L"「开始」菜单\\程序\\启动", L"桌面", L"启动"};
    static const FolderNames other{L"Start Menu", L"Start Menu\\Programs", L"Start Menu\\Programs\\Startup", L"Desktop",
                                   L"Startup"};
    static const FolderNames traditional{L"「開始」功能表", L"「開始」功能表\\程式集", L"「開始」功能表\\程式集\\啟動",
                                         L"桌面", L"啟動"};
    return language == LangSimplified ? simplified : language == LangTraditional ? traditional : other;
}

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ExtendedPath(WithoutTrailingBackslash(path)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RegularFileExists(const std::wstring& path) {
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return false;  // full paths only
    // Named by a value: as a program of the value's registry view reaches it.
    const DWORD attributes = GetFileAttributesW(ExtendedPath(PathForProcess(path, CurrentRegView())).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A write to a key of the machine's software branch goes to each registry view that has the
// key (the 32-bit and the 64-bit browser keep their own settings); where neither has it, to
// the program's own view. True when every write took.
bool InEachView(HKEY root, const std::wstring& key, const std::function<bool()>& write) {
    bool ok = true, any = false;
    ForEachRegView(root, key, [&](RegView) {
        any = true;
        ok = write() && ok;
    });
    return any ? ok : write();
}

bool KeyExists(HKEY root, const std::wstring& key) { return static_cast<bool>(OpenRegKey(root, key, KEY_QUERY_VALUE)); }

// Writes text over a text value (or where there is none). A value holding a number or binary
// data is left alone by rule, which is no failure; false only when a write was tried and failed.
bool WriteText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text,
               bool expandable = false) {
    if (UniqueHKey open = OpenRegKey(root, key, KEY_QUERY_VALUE)) {
        DWORD type = 0;
        if (RegQueryValueExW(open.get(), name.c_str(), nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
            type != REG_SZ && type != REG_EXPAND_SZ)
            return true;
    }
    return expandable ? RegWriteExpandIfText(root, key, name, text) : RegWriteTextIfText(root, key, name, text);
}

// A folder value is written only when the folder is there: a value naming a missing folder
// breaks the shell's folder for that account (and is left as it is, which is no failure).
bool SetFolderValue(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& folder) {
    return !FolderExists(folder) || WriteText(root, key, name, folder);
}

bool SetSearchPages() {
    return InEachView(HKEY_LOCAL_MACHINE, kIeSearch, [] {
        const bool assistant = WriteText(HKEY_LOCAL_MACHINE, kIeSearch, L"SearchAssistant", kSearchAssistant);
        const bool customize = WriteText(HKEY_LOCAL_MACHINE, kIeSearch, L"CustomizeSearch", kSearchCustomize);
        return assistant && customize;
    });
}

bool ClearFriendlyStartup() {
    bool ok = WriteText(HKEY_CURRENT_USER, kUserNtWindows, L"load", L"");
    std::wstring system;
    ReadRegString(HKEY_LOCAL_MACHINE, kWinlogon, L"system", L"", system);
    if (LowerCased(system).find(L"friendly.exe") != std::wstring::npos)
        ok = WriteText(HKEY_LOCAL_MACHINE, kWinlogon, L"system", L"") && ok;
    return ok;
}

bool RestoreCommonStartup(const RepairSystem& system) {
    const FolderNames& names = NamesOf(system.Win.Language);
    const std::wstring key = std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    std::wstring folder;
    if (!system.NtFamily()) {
        folder = system.WinDir() + L"All Users\\Start Menu\\Programs\\" + names.Startup;
    } else if (!system.CommonStartup.empty() && FolderExists(system.CommonStartup)) {
        folder = WithoutTrailingBackslash(system.CommonStartup);
    } else if (!system.AllUsersProfile.empty()) {
        folder = WithTrailingBackslash(system.AllUsersProfile) + names.StartupMenu;
    }
    return folder.empty() || SetFolderValue(HKEY_LOCAL_MACHINE, key, L"Common Startup", folder);
}

// The libraries of definitions 48 and 49 in AppInit_DLLs.
bool IsRogueAppInitEntry(const std::wstring& entry, const RepairSystem& system) {
    std::wstring lower = LowerCased(entry);
    const auto slash = lower.find_last_of(L'\\');
    const std::wstring name = slash == std::wstring::npos ? lower : lower.substr(slash + 1);
    for (const wchar_t* rogue : {L"vtsts.dll", L"vtstr.dll", L"ddmt.dll"})
        if (name == rogue) return true;
    // What the clean just removed (random names included) is no longer there.
    const std::wstring full = slash == std::wstring::npos ? system.SysDir() + entry : entry;
    return !RegularFileExists(full);
}

bool RemoveRogueAppInit(const RepairSystem& system) {
    UniqueHKey key = OpenRegKey(HKEY_LOCAL_MACHINE, kNtWindows, KEY_QUERY_VALUE);
    if (!key) return true;
    const auto text = QueryStringValue(key.get(), L"AppInit_DLLs");
    key.reset();
    if (!text || text->empty()) return true;
    const wchar_t separator = text->find(L',') != std::wstring::npos ? L',' : L' ';
    std::vector<std::wstring> kept;
    bool removed = false;
    std::wstring entry;
    auto flush = [&] {
        if (entry.empty()) return;
        if (IsRogueAppInitEntry(entry, system)) removed = true; else kept.push_back(entry);
        entry.clear();
    };
    for (wchar_t c : *text) {
        if (c == L',' || c == L' ') flush(); else entry.push_back(c);
    }
    flush();
    if (!removed) return true;
    std::wstring joined;
    for (const auto& k : kept) {
        if (!joined.empty()) joined.push_back(separator);
        joined += k;
    }
    return WriteText(HKEY_LOCAL_MACHINE, kNtWindows, L"AppInit_DLLs", joined);
}

bool RestoreSystemHistory(const RepairSystem& system) {
    const std::wstring history = system.SysDir() + L"config\\systemprofile\\Local Settings\\History";
    const bool user = SetFolderValue(HKEY_USERS, kDefaultShellFolders, L"History", history);
    const bool service = SetFolderValue(HKEY_USERS, kSystemShellFolders, L"History", history);
    return user && service;
}

std::wstring DefaultUserBase(const RepairSystem& system) {
    if (system.Win.Kind == 2) return system.SysDir() + L"config\\systemprofile\\";
    if (system.Win.Kind >= 3) return system.Win.Drive + L":\\Documents and Settings\\Default User\\";
    return {};
}

bool RestoreDefaultUserFolders(const RepairSystem& system) {
    const std::wstring base = DefaultUserBase(system);
    if (base.empty() || !KeyExists(HKEY_USERS, kDefaultShellFolders)) return true;
    const FolderNames& names = NamesOf(system.Win.Language);
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"AppData", L"Application Data"},
        {L"Cache", L"Local Settings\\Temporary Internet Files"},
        {L"Cookies", L"Cookies"},
        {L"Desktop", names.Desktop},
        {L"Favorites", L"Favorites"},
        {L"History", L"History"},
        {L"Local AppData", L"Local Settings\\Application Data"},
        {L"Personal", L"My Documents"},
        {L"Start Menu", names.StartMenu},
        {L"Programs", names.Programs},
        {L"Startup", names.StartupMenu},
    };
    bool ok = true;
    for (const auto& [name, below] : values) ok = SetFolderValue(HKEY_USERS, kDefaultShellFolders, name, base + below) && ok;
    return ok;
}

bool RestoreDefaultUserCache(const RepairSystem& system) {
    const std::wstring base = DefaultUserBase(system);
    if (base.empty()) return true;
    bool ok = true;
    for (const wchar_t* key : {kDefaultShellFolders, kSystemShellFolders}) {
        if (!KeyExists(HKEY_USERS, key)) continue;
        ok = SetFolderValue(HKEY_USERS, key, L"Cache", base + L"Local Settings\\Temporary Internet Files") && ok;
        ok = SetFolderValue(HKEY_USERS, key, L"Cookies", base + L"Cookies") && ok;
        ok = SetFolderValue(HKEY_USERS, key, L"History", base + L"History") && ok;
    }
    return ok;
}

void ShowPiaoxueNotice() {
    CurrentPrompt().Ask({PromptKind::Info, L"提示",
                         L"Piaoxue/Feixue/My123 需要重新启动才能彻底删除！\r\n建议清除操作完成后立即重新启动系统"});
}

bool EraseUrnSection(const RepairSystem& system) {
    const std::wstring ini = system.WinDir() + L"system.ini";
    wchar_t buffer[MAX_PATH * 2] = {};
    GetPrivateProfileStringW(L"URN", L"Dllname", L"", buffer, static_cast<DWORD>(std::size(buffer)), ini.c_str());
    const std::wstring dll = buffer;
    if (dll.size() < 4 || LowerCased(dll.substr(dll.size() - 4)) != L".dll") return true;
    if (FileSizeOrNone(dll) != 275456) return true;
    return WritePrivateProfileStringW(L"URN", nullptr, nullptr, ini.c_str()) != FALSE;
}

// ---- the post-clean sequence ----

constexpr const wchar_t* kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kRunOnceKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// The program a Run command starts is missing: quoted, the quoted path; otherwise no prefix of
// the command ending at a blank names a file.
bool CommandFileMissing(const std::wstring& command) {
    std::wstring text = command;
    while (!text.empty() && text.front() == L' ') text.erase(0, 1);
    if (!text.empty() && text.front() == L'"') {
        const auto end = text.find(L'"', 1);
        return !RegularFileExists(text.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1));
    }
    for (std::size_t i = 0; i <= text.size(); ++i)
        if ((i == text.size() || text[i] == L' ') && RegularFileExists(text.substr(0, i))) return false;
    return true;
}

bool IsRogueRunCommand(const std::wstring& lower, bool runOnce, const RepairSystem& system) {
    bool inTemp;
    if (system.NtFamily()) {
        inTemp = !lower.empty() && !system.Win.Drive.empty() && lower[0] == LowerCased(system.Win.Drive)[0] &&
                 lower.find(L"\\temp\\") != std::wstring::npos;
    } else {
        inTemp = lower.find(system.WinDir()) != std::wstring::npos && lower.find(L"\\temp\\") != std::wstring::npos;
    }
    // A program set to run once from a temporary folder is often a setup finishing its work:
    // it goes only when its file is gone.
    if (inTemp && (!runOnce || CommandFileMissing(lower))) return true;
    if (lower.find(L"rundll") != std::wstring::npos && lower.find(L"\\downlo") != std::wstring::npos) return true;
    if (lower.find(L"iexplorer.exe") != std::wstring::npos) return true;
    return lower == L"rundll32";
}

void PlanRunKeys(const RepairSystem& system, std::vector<RepairChange>& changes) {
    const std::pair<HKEY, const wchar_t*> keys[] = {
        {HKEY_CURRENT_USER, kRunKey}, {HKEY_CURRENT_USER, kRunOnceKey},
        {HKEY_LOCAL_MACHINE, kRunKey}, {HKEY_LOCAL_MACHINE, kRunOnceKey}};
    for (const auto& [root, path] : keys) {
        // The machine's start-up keys of both registry views; each change carries its view.
        ForEachRegView(root, path, [&, root = root, path = path](RegView) {
            UniqueHKey key = OpenRegKey(root, path, KEY_QUERY_VALUE);
            if (!key) return;
            std::vector<std::wstring> names;
            EnumValueNames(key.get(), names);
            for (const std::wstring& name : names) {
                if (name.empty()) continue;  // the key's default value is never touched
                const auto text = QueryStringValue(key.get(), name);
                if (!text) continue;  // not text: not ours to judge
                if (!IsRogueRunCommand(LowerCased(*text), path == kRunOnceKey, system)) continue;
                RepairChange change;
                change.Step = 1;
                change.Action = RepairAction::DeleteValue;
                change.Root = root;
                change.Key = path;
                change.Name = name;
                change.Now = *text;
                changes.push_back(std::move(change));
            }
        });
    }
}

void PlanStartPage(std::vector<RepairChange>& changes) {
    UniqueHKey key = OpenRegKey(HKEY_CURRENT_USER, kIeMain, KEY_QUERY_VALUE);
    if (!key) return;
    const auto page = QueryStringValue(key.get(), L"Start Page");
    if (!page) return;
    const std::wstring lower = LowerCased(*page);
    if (lower.empty() || lower == L"about:blank" || !IsHijackedStartPage(lower)) return;
    RepairChange change;
    change.Step = 2;
    change.Action = RepairAction::SetText;
    change.Root = HKEY_CURRENT_USER;
    change.Key = kIeMain;
    change.Name = L"Start Page";
    change.Now = *page;
    change.After = kFixedStartPage;
    changes.push_back(std::move(change));
}

void PlanAdvertising(const RepairSystem& system, std::vector<RepairChange>& changes) {
    const std::wstring sys = system.SysDir();
    const std::wstring files[] = {system.WinDir() + L"rsvpsp.dll", sys + L"adplus.dll", sys + L"msplus.dll",
                                  sys + L"msplus1.dll", sys + L"msplus2.dll", sys + L"msplus3.dll",
                                  sys + L"msplus4.dll", sys + L"quartz32.dll"};
    for (const std::wstring& file : files) {
        if (!RegularFileExists(file)) continue;
        RepairChange change;
        change.Step = 4;
        change.Action = RepairAction::DeleteFile;
        change.Key = file;
        change.Now = L"(file)";
        changes.push_back(std::move(change));
    }
    const std::wstring folder = system.Win.Drive + L":\\Program Files\\yehoo";
    if (FolderExists(folder)) {
        RepairChange change;
        change.Step = 4;
        change.Action = RepairAction::DeleteFolder;
        change.Key = folder;
        change.Now = L"(folder)";
        changes.push_back(std::move(change));
    }
}

RepairChange ShutdownAbort() {
    RepairChange change;
    change.Step = 5;
    change.Action = RepairAction::RunProgram;
    change.Key = L"shutdown.exe";
    change.Name = L" -a";
    return change;
}

void Apply(const RepairChange& change, FileOperation deleteFile, FileOperation deleteFolder, const ChangeReport& report) {
    const bool done = ApplyRepairChange(change, deleteFile, deleteFolder);
    if (report) report(change, done);
}

}  // namespace

std::wstring HostOfAddress(const std::wstring& address) {
    std::wstring text = LowerCased(address);
    const auto scheme = text.find(L"://");
    if (scheme != std::wstring::npos) text.erase(0, scheme + 3);
    text = text.substr(0, text.find_first_of(L"/?#\\"));
    const auto at = text.rfind(L'@');
    if (at != std::wstring::npos) text.erase(0, at + 1);
    const auto colon = text.find(L':');
    if (colon != std::wstring::npos) text.erase(colon);
    while (!text.empty() && (text.back() == L'.' || text.back() == L' ')) text.pop_back();
    while (!text.empty() && text.front() == L' ') text.erase(0, 1);
    return text;
}

bool IsHijackedStartPage(const std::wstring& address) {
    const std::wstring host = HostOfAddress(address);
    for (const wchar_t* domain : kHijackDomains) {
        const std::wstring d = domain;
        if (host == d) return true;
        if (host.size() > d.size() && host.compare(host.size() - d.size(), d.size(), d) == 0 &&
            host[host.size() - d.size() - 1] == L'.')
            return true;
    }
    return false;
}

bool RestoreFileAssociations(const RepairSystem& system) {
    const HKEY root = HKEY_CLASSES_ROOT;
    const std::wstring q = L"\"";
    const std::wstring ie = system.Win.Drive + L":\\Program Files\\Internet Explorer\\iexplore.exe";
    const std::wstring win = system.WinDir();
    const std::wstring sys = system.SysDir();
    bool ok = true;
    auto text = [&](const wchar_t* key, const wchar_t* name, const std::wstring& data) {
        ok = WriteText(root, key, name, data) && ok;
    };
    auto expand = [&](const wchar_t* key, const wchar_t* name, const std::wstring& data) {
        ok = WriteText(root, key, name, data, true) && ok;
    };
    text(L".exe", L"", L"exefile");
    text(L"Applications\\iexplore.exe\\shell\\open\\command", L"", q + ie + q + L" %1");
    text(L"InternetShortcut\\shell\\open\\command", L"", L"rundll32.exe shdocvw.dll,OpenURL %l");
    text(L"telnet\\shell\\open\\command", L"", L"rundll32.exe url.dll,TelnetProtocolHandler %l");
    if (!system.NtFamily()) {
        wchar_t shortPath[MAX_PATH] = {};
        std::wstring s;
        if (GetShortPathNameW(ie.c_str(), shortPath, MAX_PATH) > 0) s = shortPath;
        if (s.empty()) s = system.Win.Drive + L":\\PROGRA~1\\INTERN~1\\iexplore.exe";
        text(L".lnk\\ShellNew", L"Command", L"RunDLL32 AppWiz.Cpl,NewLinkHere %2");
        text(L".bfc\\ShellNew", L"Command", sys + L"rundll32.exe " + sys + L"syncui.dll,Briefcase_Create %2!d! %1");
        text(L"CLSID\\{871C5380-42A0-1069-A2EA-08002B30309D}\\shell\\OpenHomePage\\Command", L"", q + s + q);
        text(L"cplfile\\shell\\cplopen\\command", L"", win + L"rundll32.exe shell32.dll,Control_RunDLL %1,%*");
        text(L"ftp\\shell\\open\\command", L"", q + s + q + L" -nohome");
        text(L"htmlfile\\shell\\open\\command", L"", q + s + q + L" -nohome");
        text(L"htmlfile\\shell\\opennew\\command", L"", q + s + q);
        text(L"HTTP\\shell\\open\\command", L"", q + s + q + L" -nohome");
        text(L"scrfile\\shell\\install\\command", L"", win + L"rundll32.exe desk.cpl,InstallScreenSaver %l");
        text(L"scriptletfile\\Shell\\Generate Typelib\\command", L"",
             q + win + L"RUNDLL32.EXE" + q + L" " + sys + L"scrobj.dll,GenerateTypeLib " + q + L"%1" + q);
        text(L"Drive\\shell\\find\\command", L"", win + L"Explorer.exe");
        text(L"dunfile\\shell\\open\\command", L"", win + L"RUNDLL32.EXE RNAUI.DLL,RnaRunImport %1");
        text(L"htmlfile\\shell\\print\\command", L"", L"rundll32.exe " + sys + L"mshtml.dll,PrintHTML " + q + L"%1" + q);
        text(L"inffile\\shell\\Install\\command", L"",
             win + L"rundll.exe setupx.dll,InstallHinfSection DefaultInstall 132 %1");
        text(L"Unknown\\shell\\openas\\command", L"", win + L"rundll32.exe " + sys + L"shell32.dll,OpenAs_RunDLL %1");
        return ok;
    }
    text(L".lnk\\ShellNew", L"Command", L"rundll32.exe appwiz.cpl,NewLinkHere %1");
    text(L"cplfile\\shell\\cplopen\\command", L"", L"rundll32.exe shell32.dll,Control_RunDLL %1,%*");
    text(L"ftp\\shell\\open\\command", L"", q + ie + q + L" %1");
    text(L"htmlfile\\shell\\open\\command", L"", q + ie + q + L" -nohome");
    text(L"htmlfile\\shell\\opennew\\command", L"", q + ie + q + L" %1");
    text(L"HTTP\\shell\\open\\command", L"", q + ie + q + L" -nohome");
    text(L"scrfile\\shell\\install\\command", L"", L"rundll32.exe desk.cpl,InstallScreenSaver %l");
    text(L"scriptletfile\\Shell\\Generate Typelib\\command", L"",
         q + sys + L"RUNDLL32.EXE" + q + L" " + sys + L"scrobj.dll,GenerateTypeLib " + q + L"%1" + q);
    expand(L".bfc\\ShellNew", L"Command",
           L"%SystemRoot%\\system32\\rundll32.exe %SystemRoot%\\system32\\syncui.dll,Briefcase_Create %2!d! %1");
    expand(L"CLSID\\{871C5380-42A0-1069-A2EA-08002B30309D}\\shell\\OpenHomePage\\Command", L"", q + ie + q);
    expand(L"Drive\\shell\\find\\command", L"", L"%SystemRoot%\\Explorer.exe");
    expand(L"dunfile\\shell\\open\\command", L"", L"%SystemRoot%\\system32\\RUNDLL32.EXE NETSHELL.DLL,InvokeDunFile %1");
    expand(L"htmlfile\\shell\\print\\command", L"",
           L"rundll32.exe %SystemRoot%\\System32\\mshtml.dll,PrintHTML " + q + L"%1" + q);
    expand(L"inffile\\shell\\Install\\command", L"",
           L"%SystemRoot%\\System32\\rundll32.exe setupapi,InstallHinfSection DefaultInstall 132 %1");
    expand(L"Unknown\\shell\\openas\\command", L"",
           L"%SystemRoot%\\system32\\rundll32.exe %SystemRoot%\\system32\\shell32.dll,OpenAs_RunDLL %1");
    return ok;
}

bool RunDefinitionRepair(int id, const RepairSystem& system) {
    // True when every write the repair tried took; a write left out by rule is no failure.
    switch (id) {
        case 6: case 11: return SetSearchPages();
        case 13: return WriteText(HKEY_CURRENT_USER, kIeMain, L"Search Bar", kSearchRedirector);
        case 16: case 94: return WriteText(HKEY_CURRENT_USER, kIeMain, L"Search Page", kSearchRedirector);
        case 21: {
            const bool pages = SetSearchPages();
            const bool handler = WriteText(HKEY_CLASSES_ROOT, L"PROTOCOLS\\Handler\\http", L"CLSID",
                                           L"{79eac9e2-baf9-11ce-8c82-00aa004ba90b}");
            return pages && handler;
        }
        case 24: case 171: return ClearFriendlyStartup();
        case 27: case 41: {
            const bool user = WriteText(HKEY_CURRENT_USER, kIeMain, L"Start Page", kFixedStartPage);
            const bool machine = InEachView(HKEY_LOCAL_MACHINE, kIeMain, [] {
                return WriteText(HKEY_LOCAL_MACHINE, kIeMain, L"Start Page", kFixedStartPage);
            });
            return user && machine;
        }
        case 35: return RestoreCommonStartup(system);
        case 48: case 49: return !system.NtFamily() || RemoveRogueAppInit(system);
        case 54: return !system.NtFamily() || RestoreSystemHistory(system);
        case 100: return RestoreDefaultUserFolders(system);
        case 139: return RestoreFileAssociations(system);
        case 147: return RestoreDefaultUserCache(system);
        case 225: ShowPiaoxueNotice(); return true;
        case 244: return EraseUrnSection(system);
        default: return true;
    }
}

bool RunDefinitionRepair(int id) { return RunDefinitionRepair(id, RepairSystemOfProcess()); }

std::vector<RepairChange> PlanPostCleanRepairs(const RepairSystem& system, bool withDeletions) {
    std::vector<RepairChange> changes;
    PlanRunKeys(system, changes);
    PlanStartPage(changes);
    std::vector<RepairChange> winsock;
    if (CheckWinsock2(system, &winsock)) {
        // Vista and later: the reset is in the check's list already.
        changes.insert(changes.end(), winsock.begin(), winsock.end());
        if (!system.VistaOrLater) changes.push_back(Winsock2ImportChange(system));
    }
    if (withDeletions) {
        PlanAdvertising(system, changes);
        if (system.Win.Kind >= 3) changes.push_back(ShutdownAbort());
    }
    return changes;
}

void RunPostCleanRepairs(const RepairSystem& system, FileOperation deleteFile, FileOperation deleteFolder,
                         const ChangeReport& report) {
    std::vector<RepairChange> changes;
    PlanRunKeys(system, changes);
    PlanStartPage(changes);
    for (const RepairChange& change : changes) Apply(change, deleteFile, deleteFolder, report);

    RepairWinsock2(deleteFile != nullptr, system, report);

    if (!deleteFile || !deleteFolder) return;
    changes.clear();
    PlanAdvertising(system, changes);
    for (const RepairChange& change : changes) Apply(change, deleteFile, deleteFolder, report);
    if (system.Win.Kind >= 3) Apply(ShutdownAbort(), deleteFile, deleteFolder, report);
}

void RunPostCleanRepairs(FileOperation deleteFile, FileOperation deleteFolder) {
    RunPostCleanRepairs(RepairSystemOfProcess(), deleteFile, deleteFolder);
}

}  // namespace tidemark

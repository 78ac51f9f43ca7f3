// The data packer: checks the definition scripts and the lists, converts them to code page 936
// and enciphers them into the files the resource script embeds.
//
//   packer <definitions folder> <lists folder> <output folder>
//
// A definition is code that deletes, so the packer refuses one that targets what the engine
// protects (the removal guard, judged on this machine's folders), a file of Windows' own lists,
// a registry key Windows needs or a service of Windows itself. Nothing is written unless every
// input is accepted, and a file whose bytes would not change is left alone so the resource
// script is not compiled again for nothing.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/definition_script.h"
#include "engine/md5.h"
#include "removal/removal_guard.h"
#include "engine/removal_guard_system.h"
#include "engine/sealed_text.h"
#include "engine/store_keys.h"
#include "junk/wildcard.h"
#include "system/folder_macros.h"
#include "system/handles.h"
#include "system/reg_ops.h"

namespace tidemark {
namespace {

// The code page every enciphered text is in, whatever the build machine's own.
constexpr UINT kDataCodePage = 936;

// The "FILE" lists, in the order the resource script names them. The WT lists are the files
// of Windows itself, per version, that no definition may delete.
constexpr const wchar_t* kListNames[] = {L"VB", L"TROJAN", L"RFILE2", L"WT98", L"WTME", L"WT2K", L"WTXP", L"WT2K3"};
constexpr const wchar_t* kSystemFileLists[] = {L"WT98", L"WTME", L"WT2K", L"WTXP", L"WT2K3"};

constexpr const wchar_t* kRootNames[] = {L"HKEY_LOCAL_MACHINE", L"HKEY_CURRENT_USER", L"HKEY_CLASSES_ROOT",
                                         L"HKEY_USERS", L"HKEY_CURRENT_CONFIG"};

// Keys Windows needs: a definition may delete what lies below one (a rogue Run entry's own key,
// a rogue service), never the key itself or a key holding it. Current-user keys also stand for
// every user under HKEY_USERS, and the classes keys of both roots for HKEY_CLASSES_ROOT.
constexpr const wchar_t* kProtectedKeys[] = {
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services",
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services",
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services",
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\Session Manager",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Main",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar",
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main",
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Toolbar",
    L"HKEY_CURRENT_USER\\Control Panel\\Desktop",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes",
    L"HKEY_CURRENT_USER\\Software\\Classes",
    // The classes Windows itself runs on; a rogue program's own class ("Bad.Helper", its
    // extension) is one key below the root as well, so these are named one by one.
    L"HKEY_CLASSES_ROOT\\CLSID", L"HKEY_CLASSES_ROOT\\Interface", L"HKEY_CLASSES_ROOT\\TypeLib",
    L"HKEY_CLASSES_ROOT\\AppID", L"HKEY_CLASSES_ROOT\\Protocols", L"HKEY_CLASSES_ROOT\\MIME",
    L"HKEY_CLASSES_ROOT\\*", L"HKEY_CLASSES_ROOT\\AllFilesystemObjects", L"HKEY_CLASSES_ROOT\\Directory",
    L"HKEY_CLASSES_ROOT\\Folder", L"HKEY_CLASSES_ROOT\\Drive", L"HKEY_CLASSES_ROOT\\http",
    L"HKEY_CLASSES_ROOT\\https", L"HKEY_CLASSES_ROOT\\ftp", L"HKEY_CLASSES_ROOT\\file",
    L"HKEY_CLASSES_ROOT\\exefile", L"HKEY_CLASSES_ROOT\\comfile", L"HKEY_CLASSES_ROOT\\batfile",
    L"HKEY_CLASSES_ROOT\\cmdfile", L"HKEY_CLASSES_ROOT\\piffile", L"HKEY_CLASSES_ROOT\\scrfile",
    L"HKEY_CLASSES_ROOT\\lnkfile", L"HKEY_CLASSES_ROOT\\dllfile", L"HKEY_CLASSES_ROOT\\regfile",
    L"HKEY_CLASSES_ROOT\\inifile", L"HKEY_CLASSES_ROOT\\txtfile", L"HKEY_CLASSES_ROOT\\htmlfile",
    L"HKEY_CLASSES_ROOT\\.exe", L"HKEY_CLASSES_ROOT\\.com", L"HKEY_CLASSES_ROOT\\.bat",
    L"HKEY_CLASSES_ROOT\\.cmd", L"HKEY_CLASSES_ROOT\\.pif", L"HKEY_CLASSES_ROOT\\.scr",
    L"HKEY_CLASSES_ROOT\\.lnk", L"HKEY_CLASSES_ROOT\\.dll", L"HKEY_CLASSES_ROOT\\.sys",
    L"HKEY_CLASSES_ROOT\\.reg", L"HKEY_CLASSES_ROOT\\.ini", L"HKEY_CLASSES_ROOT\\.txt",
    L"HKEY_CLASSES_ROOT\\.htm", L"HKEY_CLASSES_ROOT\\.html",
    L"HKEY_CLASSES_ROOT\\exefile\\shell\\open\\command",
    L"HKEY_CLASSES_ROOT\\comfile\\shell\\open\\command",
    L"HKEY_CLASSES_ROOT\\batfile\\shell\\open\\command",
    L"HKEY_CLASSES_ROOT\\cmdfile\\shell\\open\\command",
    L"HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers",
    L"HKEY_CLASSES_ROOT\\Directory\\shellex\\ContextMenuHandlers",
    L"HKEY_CLASSES_ROOT\\Folder\\shellex\\ContextMenuHandlers",
};

// Services of Windows itself: stopping and deleting one breaks the system.
constexpr const wchar_t* kWindowsServices[] = {
    L"RpcSs", L"DcomLaunch", L"Winmgmt", L"Dhcp", L"Dnscache", L"lanmanserver", L"LanmanWorkstation",
    L"EventLog", L"EventSystem", L"PlugPlay", L"Tcpip", L"AFD", L"NetBT", L"Ndis", L"SamSs", L"Netlogon",
    L"Themes", L"wuauserv", L"BITS", L"Schedule", L"ShellHWDetection", L"AudioSrv", L"Spooler",
    L"W32Time", L"CryptSvc", L"ProtectedStorage", L"PolicyAgent", L"RasMan", L"Netman", L"Nla",
    L"SENS", L"SharedAccess", L"MpsSvc", L"wscsvc", L"WinDefend", L"TermService", L"TrkWks",
    L"WZCSVC", L"seclogon", L"srservice", L"Browser", L"lmhosts", L"HTTP", L"Mup", L"Rdbss",
    L"atapi", L"Disk", L"PartMgr", L"VolSnap", L"Ftdisk", L"i8042prt", L"Kbdclass", L"Mouclass",
};

std::wstring Upper(std::wstring_view text) {
    std::wstring result(text);
    for (wchar_t& c : result) c = static_cast<wchar_t>(std::towupper(c));
    return result;
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b) { return Upper(a) == Upper(b); }

std::string Narrow(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

// Problems go to standard error in UTF-8, one line each, as "file:line: what".
class Problems {
public:
    void Add(const std::wstring& file, std::size_t line, const std::wstring& what) {
        std::wstring text = file;
        if (line > 0) text += L":" + std::to_wstring(line);
        lines_.push_back(Narrow(text + L": " + what));
    }
    bool Any() const { return !lines_.empty(); }
    void Print() const {
        for (const std::string& line : lines_) std::fprintf(stderr, "packer: %s\n", line.c_str());
    }

private:
    std::vector<std::string> lines_;
};

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

// The byte lines of a UTF-8 file (CR LF, LF or CR; a final line ending adds no empty line), a
// leading byte-order mark dropped.
std::vector<std::string> ByteLines(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return SplitTextLines(bytes);
}

std::optional<std::wstring> FromUtf8Exactly(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    const int size = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring text(n, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), n);
    return text;
}

// The text in code page 936, or nothing when a character has no exact form there (never a
// look-alike: "ª" must not become "a" and name another file).
std::optional<std::string> To936Exactly(std::wstring_view text) {
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(kDataCodePage, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr, 0, nullptr,
                                      &usedDefault);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string bytes(n, '\0');
    WideCharToMultiByte(kDataCodePage, WC_NO_BEST_FIT_CHARS, text.data(), size, bytes.data(), n, nullptr,
                        &usedDefault);
    if (usedDefault) return std::nullopt;
    // The round trip catches what the default-character report misses (lone surrogates).
    const int back = MultiByteToWideChar(kDataCodePage, MB_ERR_INVALID_CHARS, bytes.data(), n, nullptr, 0);
    std::wstring again(back > 0 ? back : 0, L'\0');
    if (back > 0) MultiByteToWideChar(kDataCodePage, MB_ERR_INVALID_CHARS, bytes.data(), n, again.data(), back);
    if (again != text) return std::nullopt;
    return bytes;
}

// The first character (or surrogate pair) of text that code page 936 cannot hold, as "U+XXXX".
std::wstring First936Misfit(std::wstring_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t length = 1;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            length = 2;
        if (!To936Exactly(text.substr(i, length))) {
            const unsigned code = length == 2 ? 0x10000u + ((text[i] - 0xD800u) << 10) + (text[i + 1] - 0xDC00u)
                                              : static_cast<unsigned>(text[i]);
            wchar_t buffer[16];
            swprintf(buffer, 16, L"U+%04X", code);
            return buffer;
        }
        i += length - 1;
    }
    return L"?";
}

// A text file of the data: its lines as read (UTF-16) and the same lines in code page 936.
struct DataText {
    std::vector<std::wstring> Lines;
    std::string Text936;  // lines joined with CR LF
};

std::optional<DataText> ReadDataText(const std::wstring& path, const std::wstring& shownName, Problems& problems) {
    const auto bytes = ReadWholeFile(path);
    if (!bytes) {
        problems.Add(shownName, 0, L"cannot be read");
        return std::nullopt;
    }
    DataText data;
    bool ok = true;
    const std::vector<std::string> lines = ByteLines(*bytes);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto line = FromUtf8Exactly(lines[i]);
        if (!line) {
            problems.Add(shownName, i + 1, L"not UTF-8");
            ok = false;
            continue;
        }
        if (line->find(L'\0') != std::wstring::npos) {
            // The program reads a deciphered text up to its first zero byte.
            problems.Add(shownName, i + 1, L"a zero character");
            ok = false;
            continue;
        }
        const auto encoded = To936Exactly(*line);
        if (!encoded) {
            problems.Add(shownName, i + 1, L"a character code page 936 cannot hold: " + First936Misfit(*line));
            ok = false;
            continue;
        }
        if (i > 0) data.Text936 += "\r\n";
        data.Text936 += *encoded;
        data.Lines.push_back(*line);
    }
    if (!ok) return std::nullopt;
    return data;
}

// The enciphered form; an empty text still makes one block (the resource compiler handles an
// empty file badly), which deciphers to no line at all.
std::string Seal(const std::string& text, std::string_view key) {
    return SealText(text.empty() ? std::string(1, '\0') : text, key);
}

// ---- Registry keys

struct KeyPath {
    std::wstring Root;                // the full root name, upper case
    std::vector<std::wstring> Parts;  // below the root, upper case
};

std::vector<std::wstring> SplitKey(std::wstring_view text) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = text.find(L'\\', start);
        parts.push_back(Upper(text.substr(start, slash == std::wstring_view::npos ? text.npos : slash - start)));
        if (slash == std::wstring_view::npos) break;
        start = slash + 1;
    }
    return parts;
}

// The key as the system sees it: a user's key under HKEY_USERS read as the current user's, and
// the classes keys of either root as HKEY_CLASSES_ROOT, so one table entry covers every name
// of a key.
KeyPath CanonicalKey(KeyPath key) {
    if (key.Root == L"HKEY_USERS" && !key.Parts.empty()) {
        key.Root = L"HKEY_CURRENT_USER";
        key.Parts.erase(key.Parts.begin());
    }
    if ((key.Root == L"HKEY_LOCAL_MACHINE" || key.Root == L"HKEY_CURRENT_USER") && key.Parts.size() >= 3 &&
        key.Parts[0] == L"SOFTWARE" && key.Parts[1] == L"CLASSES") {
        key.Root = L"HKEY_CLASSES_ROOT";
        key.Parts.erase(key.Parts.begin(), key.Parts.begin() + 2);
    }
    return key;
}

// a is b or holds it.
bool IsAtOrAbove(const KeyPath& a, const KeyPath& b) {
    return a.Root == b.Root && a.Parts.size() <= b.Parts.size() &&
           std::equal(a.Parts.begin(), a.Parts.end(), b.Parts.begin());
}

// Why the key must not be deleted; empty when it may be.
std::wstring KeyRefusal(const std::wstring& text) {
    const std::size_t slash = text.find(L'\\');
    const std::wstring root = Upper(text.substr(0, slash));
    if (std::none_of(std::begin(kRootNames), std::end(kRootNames), [&](const wchar_t* name) { return root == name; }))
        return L"not under a full root name (HKEY_LOCAL_MACHINE ...)";
    if (slash == std::wstring::npos || slash + 1 == text.size()) return L"a root key alone";
    const std::wstring below = text.substr(slash + 1);
    if (!IsExactKeyPath(below)) return L"not one exact key (an empty part or a control character)";
    // Two names below the root at least ("...\SOFTWARE" alone is every program's branch);
    // below HKEY_CLASSES_ROOT a class is one name, and the table names those of Windows.
    const KeyPath key = CanonicalKey({root, SplitKey(below)});
    if (key.Parts.size() < (key.Root == L"HKEY_CLASSES_ROOT" ? 1u : 2u)) return L"fewer than two keys below the root";
    for (const wchar_t* entry : kProtectedKeys) {
        const std::wstring guarded(entry);
        const std::size_t guardedSlash = guarded.find(L'\\');
        const KeyPath protectedKey = CanonicalKey({guarded.substr(0, guardedSlash), SplitKey(guarded.substr(guardedSlash + 1))});
        if (IsAtOrAbove(key, protectedKey)) {
            return key.Parts.size() == protectedKey.Parts.size() ? L"a key Windows needs: " + guarded
                                                                 : L"holds a key Windows needs: " + guarded;
        }
    }
    return {};
}

// Values Windows needs whatever a rogue wrote into them: a definition removes what the rogue
// added (its own named value), never one of these; the repairs put their data right instead.
// "*" stands for every value of the key.
constexpr struct {
    const wchar_t* Key;
    const wchar_t* Value;
} kProtectedValues[] = {
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"Shell"},
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"Userinit"},
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"System"},
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"UIHost"},
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"VMApplet"},
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"AppInit_DLLs"},
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"LoadAppInit_DLLs"},
    {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"load"},
    {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"run"},
    {L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager", L"BootExecute"},
    {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main", L"*"},
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Main", L"*"},
    {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", L"*"},
    {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", L"*"},
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", L"*"},
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", L"*"},
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir"},
    {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"CommonFilesDir"},
};

// Why the value must not be removed; empty when it may be.
std::wstring ValueRefusal(const std::wstring& text) {
    const std::size_t slash = text.find_last_of(L'\\');
    if (slash == std::wstring::npos) return L"not a value path (key\\value name)";
    const std::wstring key = Upper(text.substr(0, slash));
    const std::wstring name = Upper(text.substr(slash + 1));
    for (const auto& guarded : kProtectedValues) {
        if (key == Upper(guarded.Key) && (std::wstring_view(guarded.Value) == L"*" || name == Upper(guarded.Value)))
            return std::wstring(L"a value Windows needs: ") + guarded.Key + L"\\" + guarded.Value;
    }
    return {};
}

// ---- Definitions

struct DefinitionFile {
    std::wstring FileName;      // "V12B.txt"
    std::wstring ResourceName;  // "V12B"
    std::int64_t Number = 0;
};

// "V<digits>[B].txt" with no leading zero: the resource name the program looks for.
std::optional<DefinitionFile> DefinitionFileOf(const std::wstring& name) {
    if (name.size() < 6 || name[0] != L'V' || name.substr(name.size() - 4) != L".txt") return std::nullopt;
    std::wstring stem = name.substr(0, name.size() - 4);
    std::wstring digits = stem.substr(1);
    if (!digits.empty() && digits.back() == L'B') digits.pop_back();
    if (digits.empty() || digits.size() > 9 || digits[0] == L'0' ||
        !std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return std::nullopt;
    return DefinitionFile{name, stem, std::stoll(digits)};
}

bool EndsWithTxt(const std::wstring& name) {
    return name.size() >= 4 && EqualNoCase(std::wstring_view(name).substr(name.size() - 4), L".txt");
}

std::vector<std::wstring> FileNamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!find) return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(entry.cFileName);
    } while (FindNextFileW(find.get(), &entry));
    return names;
}

// The last line that sets key, 0 when none does (what the reader keeps is the last one).
std::size_t LineOfKey(const std::vector<std::wstring>& lines, std::wstring_view key) {
    std::size_t found = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t equals = lines[i].find(L'=');
        if (equals == std::wstring::npos) continue;
        std::wstring name = lines[i].substr(0, equals);
        name.erase(0, name.find_first_not_of(L" \t"));
        name.erase(name.find_last_not_of(L" \t") + 1);
        if (EqualNoCase(name, key)) found = i + 1;
    }
    return found;
}

bool HasWildcard(std::wstring_view text) { return text.find_first_of(L"*?") != std::wstring_view::npos; }

class DefinitionChecker {
public:
    DefinitionChecker(const ProtectedPlaces& places, const std::vector<std::wstring>& systemFiles, Problems& problems)
        : places_(places), systemFiles_(systemFiles), problems_(problems) {}

    void Check(const std::wstring& fileName, const DefinitionScript& script) {
        file_ = fileName;
        for (const auto* list : {&script.Files, &script.CheckFiles}) {
            for (const ScriptEntry& entry : *list) CheckFile(entry);
        }
        for (const ScriptEntry& entry : script.Folders) {
            Refuse(entry, JudgeFolderTarget(macros_.Expand(entry.Text), places_));
        }
        for (const auto* list : {&script.RegKeys, &script.KeyFiles, &script.CheckKeys}) {
            for (const ScriptEntry& entry : *list) {
                const std::wstring why = KeyRefusal(entry.Text);
                if (!why.empty()) problems_.Add(file_, entry.Line, entry.Text + L": " + why);
            }
        }
        for (const auto* list : {&script.RegValues, &script.CheckValues}) {
            for (const ScriptEntry& entry : *list) {
                const std::wstring why = ValueRefusal(entry.Text);
                if (!why.empty()) problems_.Add(file_, entry.Line, entry.Text + L": " + why);
            }
        }
        for (const ScriptEntry& entry : script.Services) {
            for (const wchar_t* service : kWindowsServices) {
                if (EqualNoCase(entry.Text, service)) {
                    problems_.Add(file_, entry.Line, entry.Text + L": a service of Windows itself");
                }
            }
        }
    }

private:
    void CheckFile(const ScriptEntry& entry) {
        const std::wstring path = macros_.Expand(entry.Text);
        if (!HasWildcard(path)) {
            Refuse(entry, JudgeFileTarget(path, places_));
            return;
        }
        const TargetVerdict verdict = JudgeWildcardTarget(path, places_);
        if (verdict != TargetVerdict::Allowed) {
            Refuse(entry, verdict);
            return;
        }
        // A pattern in a folder the guard leaves open may still name a file of Windows there.
        const std::wstring comparable = ComparablePath(path);
        const std::size_t slash = comparable.find_last_of(L'\\');
        const WildcardPattern pattern(std::wstring_view(comparable).substr(slash + 1));
        for (const std::wstring& systemFile : systemFiles_) {
            if (systemFile.size() > slash && systemFile.compare(0, slash + 1, comparable, 0, slash + 1) == 0 &&
                systemFile.find(L'\\', slash + 1) == std::wstring::npos &&
                pattern.Matches(std::wstring_view(systemFile).substr(slash + 1))) {
                Refuse(entry, TargetVerdict::SystemFile);
                return;
            }
        }
    }

    void Refuse(const ScriptEntry& entry, TargetVerdict verdict) {
        if (verdict == TargetVerdict::Allowed) return;
        const std::wstring expanded = macros_.Expand(entry.Text);
        std::wstring what = entry.Text;
        if (expanded != entry.Text) what += L" (" + expanded + L")";
        const std::string name = TargetVerdictName(verdict);
        problems_.Add(file_, entry.Line, what + L": " + std::wstring(name.begin(), name.end()));
    }

    const TSysDir& macros_ = GetFolderMacros();
    const ProtectedPlaces& places_;
    const std::vector<std::wstring>& systemFiles_;
    Problems& problems_;
    std::wstring file_;
};

// ---- Output

// Where the resource compiler, which runs on the build machine, finds a file: under Wine the
// Unix path of it, elsewhere the path itself.
std::string PathForResourceCompiler(const std::wstring& path) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName) {
        if (char* name = unixName(path.c_str())) {
            std::string text = name;
            HeapFree(GetProcessHeap(), 0, name);
            return text;
        }
    }
    std::string text = Narrow(path);
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, buffer, nullptr);
    return n > 0 && n < MAX_PATH * 4 ? std::wstring(buffer, n) : path;
}

bool MakeFolders(const std::wstring& folder) {
    if (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
    const std::size_t slash = folder.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash < 3) return false;
    return MakeFolders(folder.substr(0, slash)) &&
           (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
}

// Writes bytes unless the file already holds them; through a temporary file, so a failed write
// never leaves a half-written file under the real name. False on failure.
bool WriteIfChanged(const std::wstring& path, const std::string& bytes, bool& changed) {
    changed = false;
    if (const auto old = ReadWholeFile(path); old && *old == bytes) return true;
    const std::wstring temporary = path + L".new";
    {
        UniqueHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD written = 0;
        if (!bytes.empty() && (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                               written != bytes.size()))
            return false;
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    changed = true;
    return true;
}

struct Resource {
    std::wstring Name;
    const wchar_t* Type;
    std::string Bytes;
};

int Pack(const std::wstring& definitionsFolder, const std::wstring& listsFolder, const std::wstring& outFolder) {
    Problems problems;

    // The lists first: the definitions are judged against the system-file lists.
    ProtectedPlaces places = ProtectedPlacesOfSystem(nullptr);
    std::vector<std::wstring> systemFiles;
    std::vector<Resource> lists;
    for (const wchar_t* name : kListNames) {
        const std::wstring fileName = std::wstring(name) + L".txt";
        const std::wstring path = listsFolder + L"\\" + fileName;
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            problems.Add(fileName, 0, L"missing from " + listsFolder);
            continue;
        }
        const auto data = ReadDataText(path, fileName, problems);
        if (!data) continue;
        if (std::any_of(std::begin(kSystemFileLists), std::end(kSystemFileLists),
                        [&](const wchar_t* list) { return std::wstring_view(list) == name; })) {
            for (const std::wstring& line : data->Lines) {
                if (line.empty()) continue;
                const std::wstring file = ReplaceDirTokens(line, true);
                places.AddSystemFile(file);
                systemFiles.push_back(ComparablePath(file));
            }
        }
        lists.push_back({name, L"FILE", Seal(data->Text936, kFixedStoreKey)});
    }

    std::vector<DefinitionFile> files;
    if (GetFileAttributesW(definitionsFolder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        problems.Add(definitionsFolder, 0, L"no such folder");
    }
    for (const std::wstring& name : FileNamesIn(definitionsFolder)) {
        if (const auto file = DefinitionFileOf(name)) {
            files.push_back(*file);
        } else if (EndsWithTxt(name)) {
            problems.Add(name, 0, L"not a definition name (V<number>.txt or V<number>B.txt)");
        }
    }
    std::sort(files.begin(), files.end(), [](const DefinitionFile& a, const DefinitionFile& b) {
        return a.Number != b.Number ? a.Number < b.Number : a.ResourceName < b.ResourceName;
    });

    DefinitionChecker checker(places, systemFiles, problems);
    std::map<std::int32_t, std::wstring> owners;
    std::vector<Resource> definitions;
    for (const DefinitionFile& file : files) {
        const auto data = ReadDataText(definitionsFolder + L"\\" + file.FileName, file.FileName, problems);
        if (!data) continue;
        ScriptFixRequests fixes;
        const DefinitionScriptRead read = ReadDefinitionScript(data->Lines, fixes);
        if (!read.Ok()) {
            problems.Add(file.FileName, read.Error->Line, L"not a decimal number of 32 bits: " + read.Error->Text);
            continue;
        }
        const std::int32_t id = read.Script.Id;
        const std::size_t idLine = LineOfKey(data->Lines, L"id");
        if (idLine == 0) {
            problems.Add(file.FileName, 0, L"no id");
        } else if (id != file.Number) {
            problems.Add(file.FileName, idLine, L"id " + std::to_wstring(id) + L" differs from the file's number");
        } else if (const auto owner = owners.find(id); owner != owners.end()) {
            problems.Add(file.FileName, idLine, L"id " + std::to_wstring(id) + L" is the id of " + owner->second + L" too");
        } else {
            owners[id] = file.FileName;
        }
        checker.Check(file.FileName, read.Script);
        definitions.push_back({file.ResourceName, L"V",
                               Seal(data->Text936, DefinitionKey(file.ResourceName, kDefinitionKeySource))});
    }

    if (problems.Any()) {
        problems.Print();
        std::fprintf(stderr, "packer: nothing written\n");
        return 1;
    }

    // Every file is in place before the resource script that names them changes.
    if (!MakeFolders(outFolder)) {
        std::fprintf(stderr, "packer: %s: cannot create the folder\n", Narrow(outFolder).c_str());
        return 2;
    }
    std::string script =
        "// Made by the data packer from the definition scripts and the lists; do not edit.\n";
    Md5 contents;
    std::set<std::wstring> written;
    int changedCount = 0;
    for (const auto* set : {&definitions, &lists}) {
        for (const Resource& resource : *set) {
            const std::wstring path = FullPath(outFolder + L"\\" + resource.Name + L".bin");
            bool changed = false;
            if (!WriteIfChanged(path, resource.Bytes, changed)) {
                std::fprintf(stderr, "packer: %s: cannot write\n", Narrow(path).c_str());
                return 2;
            }
            changedCount += changed;
            written.insert(Upper(resource.Name + L".bin"));
            contents.Update(resource.Bytes.data(), resource.Bytes.size());
            script += Narrow(resource.Name) + " " + Narrow(resource.Type) + " \"" + PathForResourceCompiler(path) + "\"\n";
        }
    }
    // The resource files' own contents, so the script (the one file the resource compile
    // depends on) changes whenever any of them does.
    script += "// contents " + Md5Hex(contents.Final()) + "\n";
    // Definitions that are gone leave no file behind to be mistaken for current ones.
    for (const std::wstring& name : FileNamesIn(outFolder)) {
        if (name.size() > 4 && EqualNoCase(name.substr(name.size() - 4), L".bin") && !written.count(Upper(name)) &&
            DefinitionFileOf(name.substr(0, name.size() - 4) + L".txt")) {
            DeleteFileW((outFolder + L"\\" + name).c_str());
        }
    }
    bool changed = false;
    if (!WriteIfChanged(outFolder + L"\\sealed.rc", script, changed)) {
        std::fprintf(stderr, "packer: sealed.rc: cannot write\n");
        return 2;
    }
    changedCount += changed;
    std::printf("packer: %zu definitions, %zu lists packed (%d files changed)\n", definitions.size(), lists.size(),
                changedCount);
    return 0;
}

}  // namespace
}  // namespace tidemark

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: packer <definitions folder> <lists folder> <output folder>\n");
        return 2;
    }
    auto folder = [](std::wstring path) {
        while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
        return path;
    };
    return tidemark::Pack(folder(argv[1]), folder(argv[2]), folder(argv[3]));
}

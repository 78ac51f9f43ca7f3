#include "engine/builtin_routines.h"

#include <windows.h>

#include <cwchar>
#include <exception>
#include <cwctype>
#include <vector>

#include "engine/soft_obj.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/prompt.h"
#include "system/reg_paths.h"
#include "system/text_case.h"
#include "system/ansi_text.h"
#include "system/text_util.h"
#include "system/win_info.h"
#include "system/win_sys.h"

namespace tidemark {

namespace {

using std::wstring;
constexpr auto npos = wstring::npos;

const wstring kServices = L"SYSTEM\\CurrentControlSet\\Services";
const wstring kHklmServices = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";
const wstring kRun = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wstring kHklmRun = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\";
const wstring kClassKey = L"HKEY_CLASSES_ROOT\\CLSID\\";

bool Contains(const wstring& text, const wstring& part) { return text.find(part) != npos; }
bool BeginsWith(const wstring& text, const wstring& head) { return text.compare(0, head.size(), head) == 0; }
bool EndsWith(const wstring& text, const wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

wstring Trimmed(const wstring& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && text[first] <= L' ') ++first;
    while (last > first && text[last - 1] <= L' ') --last;
    return text.substr(first, last - first);
}

wstring FileNameOf(const wstring& path) {
    const auto slash = path.rfind(L'\\');
    return slash == npos ? path : path.substr(slash + 1);
}

wstring ReadText(HKEY root, const wstring& path, const wstring& name) {
    wstring text;
    RegReadText(root, path, name, text);
    return text;
}

std::vector<wstring> SubKeys(HKEY root, const wstring& path) {
    std::vector<wstring> names;
    RegListSubKeys(root, path, names);
    return names;
}

std::vector<wstring> ValueNames(HKEY root, const wstring& path) {
    std::vector<wstring> names;
    RegListValueNames(root, path, names);
    return names;
}

// A character no file name may hold (the system's wildcards included).
bool BadNameChar(wchar_t c) { return c < L' ' || std::wcschr(L"*?\"<>|/:", c) != nullptr; }

bool IsPlainFileName(const wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    for (const wchar_t c : name) {
        if (BadNameChar(c) || c == L'\\') return false;
    }
    return true;
}

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// "X:\" and below, every step a plain name.
bool IsQualifiedLocalPath(const wstring& path) {
    if (path.size() < 4 || !IsDriveLetter(path[0]) || path[1] != L':' || path[2] != L'\\') return false;
    std::size_t start = 3;
    for (;;) {
        const auto end = path.find(L'\\', start);
        if (!IsPlainFileName(path.substr(start, end == npos ? npos : end - start))) return false;
        if (end == npos) return true;
        start = end + 1;
    }
}

wstring Unquoted(const wstring& text) {
    wstring path = Trimmed(text);
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
    return path;
}

DWORD AttributesOf(const wstring& path) { return GetFileAttributesW(ExtendedPath(path).c_str()); }

// A base folder the routines' own patterns may be put under: never a relative one.
bool IsQualifiedBase(const wstring& folder) {
    return folder.size() >= 3 && IsDriveLetter(folder[0]) && folder[1] == L':' && folder[2] == L'\\';
}

void AddCheckFileIfQualified(TCleanObj& object, const wstring& text) {
    if (auto path = QualifiedExistingFile(text)) object.AddCheckFile(*path);
}

// The program part and the arguments of a service image path.
void SplitImagePath(const wstring& imagePath, wstring& program, wstring& arguments) {
    program.clear();
    arguments.clear();
    const wstring text = Trimmed(imagePath);
    if (text.empty()) return;
    if (text[0] == L'"') {
        const auto close = text.find(L'"', 1);
        if (close == npos) return;
        if (auto path = QualifiedExistingFile(text.substr(1, close - 1))) {
            program = *path;
            arguments = Trimmed(text.substr(close + 1));
        }
        return;
    }
    // Unquoted, the system tries each blank in turn: "c:\program files\x.exe -k" names x.exe.
    for (std::size_t blank = text.find(L' ');; blank = text.find(L' ', blank + 1)) {
        if (auto path = QualifiedExistingFile(text.substr(0, blank))) {
            program = *path;
            arguments = blank == npos ? wstring() : Trimmed(text.substr(blank + 1));
            return;
        }
        if (blank == npos) return;
    }
}

// ImagePath as the service manager reads it: "system32\..." below the system folder,
// "\SystemRoot\..." below the Windows folder. An NT object path ("\??\") is not followed.
wstring ImagePathAsFile(const wstring& stored, const RoutineContext& context) {
    wstring path = LowerCased(ExpandEnvPath(stored));
    if (Contains(path, L"?")) return {};
    if (BeginsWith(path, L"system32\\")) {
        path = WithoutTrailingBackslash(context.Sys) + path.substr(8);
    } else if (BeginsWith(path, L"\\systemroot\\")) {
        path = WithoutTrailingBackslash(context.Win) + path.substr(11);
    }
    return path;
}

// Registry notation cuts a value path at its last backslash: a name holding one would name
// another value in another key.
bool IsNotatableValueName(const wstring& name) { return !name.empty() && name.find(L'\\') == npos; }

// ---- The routines, in id order.

void DriverServicesBySize(TCleanObj& object, const RoutineContext& context) {
    int found = 0;
    for (const wstring& name : SubKeys(HKEY_LOCAL_MACHINE, kServices)) {
        const wstring key = kServices + L"\\" + name;
        const wstring description = ReadText(HKEY_LOCAL_MACHINE, key, L"DescriptionName");
        if (description.empty() || ReadText(HKEY_LOCAL_MACHINE, key, L"DisplayName") != description) continue;
        const wstring path = ImagePathAsFile(ReadText(HKEY_LOCAL_MACHINE, key, L"ImagePath"), context);
        if (!Contains(path, L"drivers\\")) continue;
        // The size is read only of a path that may be added: a wildcard would size another file.
        if (!QualifiedExistingFile(path)) continue;
        const std::int32_t size = FileSizeOrNone(path);
        if (size != 23040 && size != 87466 && size != 176330 && size != 178440) continue;
        object.AddService(name);
        object.AddCheckKey(kHklmServices + name);
        object.AddCheckFile(path);
        if (++found == 2) return;
    }
}

void Run3721Values(TCleanObj& object, const RoutineContext&) {
    for (const wstring& name : ValueNames(HKEY_LOCAL_MACHINE, kRun)) {
        if (Contains(name, L"3721") && IsNotatableValueName(name)) object.AddRegValue(kHklmRun + name);
    }
}

void AddCandidatesOfStem(TCleanObj& object, const RoutineContext& context, const wstring& stem) {
    std::vector<wstring> files = {stem + L".dll", stem + L".exe"};
    if (EndsWith(stem, L"0")) files.push_back(stem.substr(0, stem.size() - 1) + L".exe");
    for (const wstring& file : files) {
        object.AddCheckFile(context.Win + file);
        object.AddCheckFile(context.WinSys + file);
        object.AddCheckFile(context.WinSys32 + file);
        object.AddCheckFile(context.Drive + L":\\Program Files\\Common Files\\" + file);
    }
}

void PairALibrary(TCleanObj& object, const RoutineContext& context) {
    for (const wstring classId : {L"{5A6F2F95-3191-433B-8533-EB0B596A7BAC}", L"{F2E37336-BFDB-409B-8D0E-6F013C438B20}"}) {
        const wstring server = ClassServer(classId);
        if (context.Win.empty() || !BeginsWith(server, context.Win)) continue;
        const wstring name = FileNameOf(server);
        if (name.size() > 10 || !EndsWith(name, L".dll")) continue;
        const wstring stem = name.substr(0, name.size() - 4);
        // The stem is spelt into fixed folders of the system: a wildcard there would list them.
        if (!IsPlainFileName(stem)) continue;
        object.AddCheckKey(kClassKey + classId);
        AddCandidatesOfStem(object, context, stem);
        if (stem.size() < 4) continue;
        for (const wchar_t variant : {L'i', L'o', L'd'}) {
            if (variant == stem[3]) continue;
            wstring other = stem;
            other[3] = variant;
            AddCandidatesOfStem(object, context, other);
        }
    }
}

void JMediaService(TCleanObj& object, const RoutineContext&) {
    const wstring classId = L"{6671A431-5C3D-463d-A7CF-5587F9B7E191}";
    wstring command = ClassServer(classId);
    if (!command.empty()) {
        object.AddCheckKey(kClassKey + classId);
    } else {
        command = LowerCased(ReadText(HKEY_LOCAL_MACHINE, kServices + L"\\JMediaService", L"ImagePath"));
        if (command.empty()) return;
        object.AddCheckKey(kHklmServices + L"JMediaService");
    }
    std::size_t end = command.find(L"rundll32.exe");
    if (end != npos) {
        end += 12;
    } else if ((end = command.find(L"rundll32")) != npos) {
        end += 8;
    } else {
        return;
    }
    wstring library = end + 1 < command.size() ? Trimmed(command.substr(end + 1)) : wstring();
    if (!library.empty() && library[0] == L'"') library.erase(0, 1);
    const auto folder = QualifiedExistingFolder(FolderPartOf(library));
    if (!folder) return;
    const wstring base = WithTrailingBackslash(*folder);
    for (const wchar_t* file : {L"mmsass~1.dll", L"mmssver~1.dll", L"Albus.SYS", L"Albus.Dll", L"update.ini", L"mms.ini"}) {
        object.AddCheckFile(base + file);
    }
    object.AddFolder(base + L"updmms");
    object.AddFolder(base + L"updmmsex");
}

void AddPatternBelow(TCleanObj& object, const wstring& base, const wstring& pattern) {
    if (IsQualifiedBase(base)) object.AddCheckFile(base + pattern);
}

void YokTemporaryPrograms(TCleanObj& object, const RoutineContext& context) {
    AddPatternBelow(object, context.Win, L"temp\\YOK_*.exe");
}

void IeHelperLibraries(TCleanObj& object, const RoutineContext& context) {
    AddPatternBelow(object, context.CommonApp, L"\\Microsoft\\IEHelper\\IEHelper_*.dll");
    for (const wchar_t* classId : {L"{16A770A0-0E87-4278-B748-2460D64A8386}", L"{16B770A0-0E87-4278-B748-2460D64A8386}"}) {
        const wstring server = ClassServer(classId);
        if (Contains(server, L"microsoft\\iehelper\\")) AddCheckFileIfQualified(object, server);
    }
}

void IrjitServices(TCleanObj& object, const RoutineContext& context) {
    for (const wstring& name : SubKeys(HKEY_LOCAL_MACHINE, kServices)) {
        const wstring key = kServices + L"\\" + name;
        const wstring image = LowerCased(ReadText(HKEY_LOCAL_MACHINE, key, L"ImagePath"));
        const wstring library = LowerCased(ReadText(HKEY_LOCAL_MACHINE, key + L"\\Parameters", L"ServiceDll"));
        if (image.empty() || library.empty()) continue;
        if (!Contains(image, L"wbem\\irjit.dll") && !Contains(image, L"spted.dll")) continue;
        object.AddService(name);
        // The image is a command: only the rogue file in it is added, never the host that
        // carries it (svchost.exe, rundll32.exe belong to Windows).
        wstring program, arguments;
        SplitImagePath(ImagePathAsFile(image, context), program, arguments);
        const wstring programName = LowerCased(FileNameOf(program));
        if (programName == L"rundll32.exe") {
            AddCheckFileIfQualified(object, arguments.substr(0, arguments.find(L',')));
        } else if (!program.empty() && programName != L"svchost.exe") {
            object.AddCheckFile(program);
        }
        AddCheckFileIfQualified(object, ExpandEnvPath(library));
    }
}

void SectempFamily(TCleanObj& object, const wstring& classId) {
    const wstring localServer = ClassLocalServer(classId);
    if (Contains(localServer, L"dnsec.exe")) {
        object.AddCheckKey(kClassKey + classId);
        AddCheckFileIfQualified(object, localServer);
    }
    const wstring runName = LowerCased(ReadText(HKEY_LOCAL_MACHINE, L"Software\\SECTEMP", L"secname"));
    if (runName.size() != 5 || !IsNotatableValueName(runName)) return;
    const wstring program = LowerCased(ReadText(HKEY_LOCAL_MACHINE, kRun, runName));
    if (!Contains(program, L".exe") || FileNameOf(program).size() != 9) return;
    AddCheckFileIfQualified(object, program);
    object.AddRegValue(kHklmRun + runName);
}

void SectempDnsec(TCleanObj& object, const RoutineContext&) {
    SectempFamily(object, L"{A405D44C-4B7B-43EA-A3EA-7E0E3065220E}");
}

void SectempPp(TCleanObj& object, const RoutineContext&) {
    SectempFamily(object, L"{6F26ED6F-82C2-4B64-B1A7-40E644225E97}");
}

void ClassSetB(TCleanObj& object, const RoutineContext&) {
    for (const wchar_t* classId : {L"{D4D5C535-BA95-4327-870D-A33826FDD17A}", L"{A228F9F7-3FDF-48AF-985C-EEC8757F3282}",
                                   L"{4F7F2311-C8C2-4246-85A0-1556CEA02830}", L"{3D51C539-37DF-4F7A-AF3D-6CA73445F024}"}) {
        const wstring server = ClassServer(classId);
        if (server.empty() || FolderPartOf(server).empty()) continue;
        AddCheckFileIfQualified(object, server);
        object.AddCheckKey(kClassKey + classId);
    }
}

// Files only: a folder of a matching name is not the program.
void AddFilesFound(TCleanObj& object, const wstring& folder, const wstring& pattern) {
    if (!IsQualifiedBase(folder)) return;
    WIN32_FIND_DATAW data{};
    UniqueFindHandle find(FindFirstFileW(ExtendedPath(folder + pattern).c_str(), &data));
    if (!find) return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsPlainFileName(data.cFileName)) {
            object.AddCheckFile(folder + data.cFileName);
        }
    } while (FindNextFileW(find.get(), &data));
}

void NtsysFamily(TCleanObj& object, const RoutineContext& context) {
    const wstring pp = L"{6F26ED6F-82C2-4B64-B1A7-40E644225E97}", dnsec = L"{A405D44C-4B7B-43EA-A3EA-7E0E3065220E}";
    const wstring server = ClassServer(pp);
    if (!server.empty() && server == ClassServer(dnsec) && !context.Win.empty() && BeginsWith(server, context.Win) &&
        Contains(server, L"pp") && Contains(server, L".exe")) {
        AddCheckFileIfQualified(object, server);
        object.AddCheckKey(kClassKey + pp);
        object.AddCheckKey(kClassKey + dnsec);
    }
    for (const wchar_t* pattern : {L"ntsys_U2*.exe", L"bdextinsU2*.exe", L"s_bdextinsU2*.exe"}) {
        AddFilesFound(object, context.WinSys, pattern);
    }
    for (const wchar_t* pattern : {L"ntsys_*.exe", L"dextinsU*.exe", L"s_bdextins*.exe"}) {
        AddFilesFound(object, context.WinSys32, pattern);
    }
}

void CachedInstallerPackage(TCleanObj& object, const RoutineContext& context) {
    const wstring package = LowerCased(ReadText(
        HKEY_LOCAL_MACHINE,
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-21-299502267-746137067-1343024091-1003"
        L"\\Products\\8D15EFAFF3F76694E8331E3D97FE51D7\\InstallProperties",
        L"LocalPackage"));
    if (Contains(package, L".msi") && !context.Win.empty() && Contains(package, context.Win + L"installer\\")) {
        AddCheckFileIfQualified(object, package);
    }
}

bool IsUpper(wchar_t c) { return c >= L'A' && c <= L'Z'; }
bool IsLower(wchar_t c) { return c >= L'a' && c <= L'z'; }

// The name a helper object's own registration takes, when one of the three shapes fits.
std::optional<wstring> IeHlprObjPrefix(const wstring& server, const wstring& progId, const wstring& title,
                                       const RoutineContext& context) {
    if (!progId.empty() && progId.find(L".IEHlprObj.1") == 8 && IsUpper(progId[0]) && IsUpper(progId[3]) &&
        IsLower(progId[1]) && IsLower(progId[2]) && IsLower(progId[6]) && IsLower(progId[7]) &&
        Contains(server, L"downlo")) {
        return progId.substr(0, 8);
    }
    const auto blank = title.size() > 1 ? title.find(L' ', 1) : npos;
    const wstring systemFolder = LowerCased(context.WinSys32);
    if (title.size() == 16 && BeginsWith(title, L"IE") && Contains(title, L"HlprObj Class") &&
        Contains(server, L"\\ie") && Contains(server, L"helper.dll") && !context.Win.empty() &&
        BeginsWith(server, context.Win) && !(!systemFolder.empty() && BeginsWith(server, systemFolder)) && blank != npos) {
        return title.substr(0, blank);
    }
    if ((Contains(server, L"nmview.dll") || Contains(server, L"conf.dll")) && blank != npos) return title.substr(0, blank);
    return std::nullopt;
}

// Which key "Explorer" + class id (no separator) under the current user was meant to be is
// open: neither that name nor "Explorer\<class>" is a place Explorer keeps anything, and a
// guessed key is not removed on a guess. The routine adds no key of the current user.
void IeHlprObjHelpers(TCleanObj& object, const RoutineContext& context) {
    const wstring helpers = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
    for (const wstring& classId : SubKeys(HKEY_LOCAL_MACHINE, helpers)) {
        const wstring server = ClassServer(classId);
        const wstring progId = ReadText(HKEY_CLASSES_ROOT, L"CLSID\\" + classId + L"\\ProgID", L"");
        const wstring title = Trimmed(ReadText(HKEY_CLASSES_ROOT, L"CLSID\\" + classId, L""));
        const auto prefix = IeHlprObjPrefix(server, progId, title, context);
        // A prefix is spelt into key names: a backslash in it would reach into another key.
        if (!prefix || prefix->find(L'\\') != npos) continue;
        AddCheckFileIfQualified(object, server);
        object.AddCheckKey(L"HKEY_CLASSES_ROOT\\" + *prefix + L".IEHlprObj");
        object.AddCheckKey(L"HKEY_CLASSES_ROOT\\" + *prefix + L".IEHlprObj.1");
        object.AddCheckKey(L"HKEY_LOCAL_MACHINE\\" + helpers + L"\\" + classId);
        object.AddCheckKey(kClassKey + classId);
        object.AddCheckKey(L"HKEY_CLASSES_ROOT\\TypeLib\\" + classId);
        object.AddCheckKey(L"HKEY_CLASSES_ROOT\\Interface\\" + classId);
        return;
    }
}

void KooWoTemporaryPrograms(TCleanObj& object, const RoutineContext& context) {
    AddPatternBelow(object, context.Win, L"temp\\KooWoLyricBind_*.exe");
}

void SystemBusExtender(TCleanObj& object, const RoutineContext&) {
    for (const wstring& name : SubKeys(HKEY_LOCAL_MACHINE, kServices)) {
        const wstring key = kServices + L"\\" + name;
        const wstring group = ReadText(HKEY_LOCAL_MACHINE, key, L"Group");
        const wstring display = ReadText(HKEY_LOCAL_MACHINE, key, L"DisplayName");
        const wstring image = ReadText(HKEY_LOCAL_MACHINE, key, L"ImagePath");
        if (group.empty() || display.empty() || image.empty()) continue;
        const wstring file = FileNameOf(image);
        if (LowerCased(group) != L"system bus extender" || display != name || !Contains(LowerCased(image), L".sys") ||
            file.size() != 12 || (file[0] >= L'0' && file[0] <= L'9') || FileSizeByOpen(image) >= 10000) {
            continue;
        }
        object.AddService(name);
        for (const wchar_t* set : {L"CurrentControlSet", L"CurrentControlSet01", L"CurrentControlSet02"}) {
            const wstring root = L"HKEY_LOCAL_MACHINE\\SYSTEM\\" + wstring(set);
            object.AddCheckKey(root + L"\\Services\\" + name);
            object.AddCheckKey(root + L"\\Enum\\Root\\LEGACY_" + name);
        }
        return;
    }
}

bool IsClassIdText(const wstring& text) {
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}') return false;
    for (std::size_t i = 1; i < 37; ++i) {
        const wchar_t c = text[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? c != L'-' : !std::iswxdigit(c)) return false;
    }
    return true;
}

// A policy Run value's program may live in a folder of its own below Common Files, named by a
// class identifier. That folder is removed when the data names it as
// "X:\Program Files\Common Files\{8-4-4-4-12}" followed by "\", a quote, a blank or nothing,
// and it exists: never Common Files itself, never a folder named otherwise.
std::optional<wstring> CommonFilesClassFolder(const wstring& data) {
    wstring text = Trimmed(data);
    if (!text.empty() && text[0] == L'"') text.erase(0, 1);
    const wstring below = L":\\program files\\common files\\";
    if (text.size() < 1 + below.size() + 38 || LowerCased(text.substr(1, below.size())) != below) return std::nullopt;
    const std::size_t open = 1 + below.size();
    if (!IsClassIdText(text.substr(open, 38))) return std::nullopt;
    const std::size_t after = open + 38;
    if (after < text.size() && text[after] != L'\\' && text[after] != L'"' && text[after] != L' ') return std::nullopt;
    return QualifiedExistingFolder(text.substr(0, after));
}

void PolicyRunClassValues(TCleanObj& object, const RoutineContext&) {
    const wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
    for (const wstring& name : ValueNames(HKEY_CURRENT_USER, run)) {
        if (!BeginsWith(name, L"{") || !EndsWith(name, L"}") || !IsNotatableValueName(name)) continue;
        object.AddRegValue(L"HKEY_CURRENT_USER\\" + run + L"\\" + name);
        if (auto folder = CommonFilesClassFolder(ReadText(HKEY_CURRENT_USER, run, name))) object.AddFolder(*folder);
    }
}

void PiaoxueDriver(TCleanObj& object, const RoutineContext& context) {
    if (!IsQualifiedBase(context.Sys)) return;
    const wstring drivers = context.Sys + L"drivers\\";
    std::vector<wstring> names;
    {
        WIN32_FIND_DATAW data{};
        UniqueFindHandle find(FindFirstFileW(ExtendedPath(drivers + L"*.*").c_str(), &data));
        if (!find) return;
        do {
            const DWORD size = data.nFileSizeLow;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || data.nFileSizeHigh != 0 ||
                std::wcslen(data.cFileName) != 12 || !IsPlainFileName(data.cFileName)) {
                continue;
            }
            if (size == 9792 || size == 15232 || size == 16256 || size == 43097 || size == 42809) {
                names.push_back(LowerCased(data.cFileName));
            }
        } while (FindNextFileW(find.get(), &data));
    }
    TSoftObj* definition = dynamic_cast<TSoftObj*>(&object);
    for (const wstring& name : names) {
        // Only a driver that runs is this one; its threads are suspended when the user cleans it.
        if (!context.Threads.Find || !context.Threads.Find(name)) continue;
        const wstring service = name.substr(0, 8);
        object.AddCheckFile(drivers + name);
        object.AddCheckFile(context.Sys + service + L".dll");
        if (RegKeyExists(HKEY_LOCAL_MACHINE, kServices + L"\\" + service)) {
            object.AddService(service);
            object.AddCheckKey(kHklmServices + service);
        } else {
            ShowInfo(L"发现Piaoxue/Feixue/My123残留文件，需要重新启动才能彻底删除！");
        }
        if (definition && context.Threads.Suspend) {
            definition->BeforeRemoval = [previous = definition->BeforeRemoval, suspend = context.Threads.Suspend,
                                         name](TSoftObj& self) {
                if (previous) previous(self);
                suspend(name);
            };
        }
    }
}

void UrnLibrary(TCleanObj& object, const RoutineContext& context) {
    if (!IsQualifiedBase(context.Win) || !IsQualifiedBase(context.Sys)) return;
    wchar_t buffer[MAX_PATH] = {};
    GetPrivateProfileStringW(L"URN", L"Dllname", L"", buffer, MAX_PATH, (context.Win + L"system.ini").c_str());
    const wstring name = buffer;
    // The library is added in the system folder, so that is where its size is checked: a bare
    // name never resolves against the current folder, and only a bare name is taken.
    if (!IsPlainFileName(name) || !EndsWith(LowerCased(name), L".dll")) return;
    const wstring path = context.Sys + name;
    if (!QualifiedExistingFile(path) || FileSizeOrNone(path) != 275456) return;
    object.AddCheckFile(path);
    object.AddCheckKey(L"HKEY_CLASSES_ROOT\\" + name.substr(0, name.rfind(L'.')) + L".IEHelper");
}

void Nothing(TCleanObj&, const RoutineContext&) {}

struct RoutineRow {
    std::int32_t id;
    void (*routine)(TCleanObj&, const RoutineContext&);
    // Reads the machine's software branch or class registrations, which 64-bit Windows keeps
    // apart per view: the routine runs once in each view.
    bool eachView;
};

constexpr bool kEachView = true, kOneView = false;
constexpr RoutineRow kRoutines[] = {
    {5, DriverServicesBySize, kOneView},       {11, Run3721Values, kEachView},         {24, PairALibrary, kEachView},
    {54, JMediaService, kEachView},            {68, YokTemporaryPrograms, kOneView},   {81, IeHelperLibraries, kEachView},
    {86, IrjitServices, kOneView},             {92, SectempDnsec, kEachView},          {93, ClassSetB, kEachView},
    {97, NtsysFamily, kEachView},              {100, SectempPp, kEachView},            {110, Nothing, kOneView},
    {115, CachedInstallerPackage, kEachView},  {121, Nothing, kOneView},               {130, IeHlprObjHelpers, kEachView},
    {141, KooWoTemporaryPrograms, kOneView},   {171, PairALibrary, kEachView},         {172, IeHelperLibraries, kEachView},
    {183, SystemBusExtender, kOneView},        {199, SystemBusExtender, kOneView},     {222, PolicyRunClassValues, kOneView},
    {225, PiaoxueDriver, kOneView},            {244, UrnLibrary, kOneView},
};

// The entry lists a routine may add to, with how an entry's key is found when it names one.
struct AddedList {
    ItemList* list;
    enum { NotRegistry, Key, Value } names;
    std::size_t before = 0;
};

std::vector<AddedList> ListsOf(TCleanObj& object) {
    std::vector<AddedList> lists = {{&object.Files, AddedList::NotRegistry},  {&object.Folders, AddedList::NotRegistry},
                                    {&object.Services, AddedList::NotRegistry}, {&object.KeyFiles, AddedList::Key},
                                    {&object.RegKeys, AddedList::Key},          {&object.RegValues, AddedList::Value}};
    if (auto* definition = dynamic_cast<TSoftObj*>(&object)) {
        lists.push_back({&definition->CheckFiles, AddedList::NotRegistry});
        lists.push_back({&definition->CheckKeys, AddedList::Key});
        lists.push_back({&definition->CheckValues, AddedList::Value});
        lists.push_back({&definition->CheckTexts, AddedList::Key});
    }
    return lists;
}

// Runs a routine in each registry view. What the later run adds again is dropped: a file,
// folder or service is one thing whichever view named it, and so is a key both views share.
void RunInEachView(const RoutineRow& row, TCleanObj& object, const RoutineContext& context) {
    std::vector<AddedList> lists = ListsOf(object);
    const std::vector<RegView> views = RegistryViews();
    for (std::size_t run = 0; run < views.size(); ++run) {
        for (AddedList& added : lists) added.before = added.list->size();
        {
            const ScopedRegView scope(views[run]);
            row.routine(object, context);
        }
        if (run == 0) continue;
        for (AddedList& added : lists) {
            ItemList& list = *added.list;
            for (std::size_t i = added.before; i < list.size();) {
                const wstring path = UpperCased(list[i]->Path);
                bool again = false;
                for (std::size_t j = 0; j < added.before && !again; ++j) again = UpperCased(list[j]->Path) == path;
                if (again && added.names != AddedList::NotRegistry)
                    again = EntryKeySharedByViews(list[i]->Path, added.names == AddedList::Value);
                if (again) list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
                else ++i;
            }
        }
    }
}

const RoutineRow* RowOf(std::int32_t id) {
    for (const RoutineRow& row : kRoutines) {
        if (row.id == id) return &row;
    }
    return nullptr;
}

// The process layer's view of kernel drivers: the NT family's services object; the 9x family
// has none (nothing is found there, as the routines expect).
DriverThreads SystemDriverThreads() {
    return {[](const wstring& name) {
                auto* nt = dynamic_cast<TWinSys2k*>(&GetWinSys());
                return nt && !nt->FindDriverThreads(name).empty();
            },
            [](const wstring& name) {
                auto* nt = dynamic_cast<TWinSys2k*>(&GetWinSys());
                return nt && nt->SuspendDriverThreads(name);
            }};
}

RoutineContext& ProcessContext() {
    static RoutineContext context = [] {
        RoutineContext built = BuildRoutineContext(GetWinInfo());
        built.Threads = SystemDriverThreads();
        return built;
    }();
    return context;
}

std::optional<wstring> QualifiedExisting(const wstring& text, bool folder) {
    // Named as a program of the view being read names it.
    wstring path = PathForProcess(Unquoted(text), CurrentRegView());
    const wstring checked = folder && path.size() > 3 ? WithoutTrailingBackslash(path) : path;
    if (!IsQualifiedLocalPath(checked)) return std::nullopt;
    const DWORD attributes = AttributesOf(checked);
    if (attributes == INVALID_FILE_ATTRIBUTES || ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder) {
        return std::nullopt;
    }
    return path;
}

}  // namespace

DriverThreads NoDriverThreads() {
    return {[](const wstring&) { return false; }, [](const wstring&) { return false; }};
}

RoutineContext BuildRoutineContext(const TWinInfo& info) {
    RoutineContext context;
    if (info.WindowsDir.empty()) return context;
    context.Drive = info.Drive;
    context.Win = LowerCased(info.WindowsDir) + L"\\";
    context.Sys = WithTrailingBackslash(info.SystemDir);
    context.WinSys = info.WindowsDir + L"\\system\\";
    context.WinSys32 = info.WindowsDir + L"\\system32\\";
    context.CommonApp = WithoutTrailingBackslash(info.Kind >= 2 ? GetFolderPath(0x23) : GetSpecialFolder(0x1A));
    return context;
}

void SetDriverThreads(DriverThreads threads) { ProcessContext().Threads = std::move(threads); }

std::optional<wstring> RunBuiltInRoutine(TCleanObj& object) {
    if (!HasBuiltInRoutine(object.Id)) return std::nullopt;
    return RunBuiltInRoutine(object, ProcessContext());
}

std::optional<wstring> RunBuiltInRoutine(TCleanObj& object, const RoutineContext& context) {
    // An unexpected error ends the routine; what it added stays, and the caller hears why.
    try {
        if (const RoutineRow* row = RowOf(object.Id)) {
            if (row->eachView && SystemIs64Bit()) RunInEachView(*row, object, context);
            else row->routine(object, context);
        }
        return std::nullopt;
    } catch (const std::exception& error) {
        return FromAnsi(error.what());
    } catch (...) {
        return wstring(L"unknown error");
    }
}

bool HasBuiltInRoutine(std::int32_t id) { return RowOf(id) != nullptr; }

wstring ClassServer(const wstring& classId) {
    return LowerCased(ReadText(HKEY_CLASSES_ROOT, L"CLSID\\" + classId + L"\\InprocServer32", L""));
}

wstring ClassLocalServer(const wstring& classId) {
    return LowerCased(ReadText(HKEY_CLASSES_ROOT, L"CLSID\\" + classId + L"\\LocalServer32", L""));
}

std::optional<wstring> QualifiedExistingFile(const wstring& text) { return QualifiedExisting(text, false); }
std::optional<wstring> QualifiedExistingFolder(const wstring& text) { return QualifiedExisting(text, true); }

wstring ProgramOfImagePath(const wstring& imagePath) {
    wstring program, arguments;
    SplitImagePath(imagePath, program, arguments);
    return program;
}

}  // namespace tidemark

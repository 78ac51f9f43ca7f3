#include "system/win_sys.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <type_traits>

#include "system/ansi_text.h"
#include "system/boot_list.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/sys_misc.h"
#include "system/text_case.h"
#include "system/text_util.h"
#include "system/win_info.h"
#include "system/win_sys_native.h"

namespace tidemark {
namespace {

ProcessRater g_rater = nullptr;

bool SameNoCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && UpperCased(a) == UpperCased(b);
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && SameNoCase(text.substr(0, prefix.size()), prefix);
}

std::wstring FileNamePart(const std::wstring& path) {
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring TrimSpaces(std::wstring text) {
    const auto first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return {};
    const auto last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

std::wstring ShellImagePath() { return GetWinInfo().WindowsDir + L"\\Explorer.EXE"; }

// A terminated process may hold its image and libraries until it has fully ended; the deletion
// that follows needs them released.
constexpr DWORD kExitWaitMs = 10000;

// ---- tool-help, bound by name: the 9x family has no other way, and NT 4 has none of it ----

using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, tagPROCESSENTRY32*);
using ModuleWalkFn = BOOL(WINAPI*)(HANDLE, tagMODULEENTRY32*);
using ThreadWalkFn = BOOL(WINAPI*)(HANDLE, THREADENTRY32*);

struct ToolhelpFunctions {
    CreateSnapshotFn create = nullptr;
    ProcessWalkFn processFirst = nullptr, processNext = nullptr;
    ModuleWalkFn moduleFirst = nullptr, moduleNext = nullptr;
    ThreadWalkFn threadFirst = nullptr, threadNext = nullptr;
};

const ToolhelpFunctions& Toolhelp() {
    static const ToolhelpFunctions functions = [] {
        ToolhelpFunctions f;
        const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        if (!kernel) return f;
        const auto bind = [&](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
                reinterpret_cast<void*>(GetProcAddress(kernel, name)));
        };
        bind(f.create, "CreateToolhelp32Snapshot");
        // The ANSI forms: the 9x family has no others.
        bind(f.processFirst, "Process32First");
        bind(f.processNext, "Process32Next");
        bind(f.moduleFirst, "Module32First");
        bind(f.moduleNext, "Module32Next");
        bind(f.threadFirst, "Thread32First");
        bind(f.threadNext, "Thread32Next");
        return f;
    }();
    return functions;
}

// One tool-help snapshot; every walk answers false when the functions are missing.
class TToolhelp {
public:
    TToolhelp(DWORD flags, DWORD processId) {
        if (flags != 0 && Toolhelp().create) snapshot_.reset(Toolhelp().create(flags, processId));
    }
    // Process entries of id 0 are passed over.
    bool FirstProcess(tagPROCESSENTRY32& entry) { return WalkProcess(entry, Toolhelp().processFirst); }
    bool NextProcess(tagPROCESSENTRY32& entry) { return WalkProcess(entry, Toolhelp().processNext); }
    bool FirstModule(tagMODULEENTRY32& entry) { return Walk(entry, Toolhelp().moduleFirst); }
    bool NextModule(tagMODULEENTRY32& entry) { return Walk(entry, Toolhelp().moduleNext); }
    bool FirstThread(THREADENTRY32& entry) { return Walk(entry, Toolhelp().threadFirst); }
    bool NextThread(THREADENTRY32& entry) { return Walk(entry, Toolhelp().threadNext); }

private:
    template <typename Entry, typename Fn>
    bool Walk(Entry& entry, Fn fn) {
        if (!snapshot_ || !fn) return false;
        entry.dwSize = sizeof entry;
        return fn(snapshot_.get(), &entry) != FALSE;
    }
    bool WalkProcess(tagPROCESSENTRY32& entry, ProcessWalkFn fn) {
        if (!Walk(entry, fn)) return false;
        while (entry.th32ProcessID == 0)
            if (!Walk(entry, Toolhelp().processNext)) return false;
        return true;
    }
    UniqueHandle snapshot_;
};

std::wstring AnsiField(const char* text) { return FromCodePage(CP_ACP, text, std::strlen(text)); }

// ---- native calls, looked up in ntdll at each use ----

using NtQuerySystemInformationFn = LONG(NTAPI*)(ULONG, void*, ULONG, ULONG*);
using NtQueryInformationProcessFn = LONG(NTAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
using NtTerminateProcessFn = LONG(NTAPI*)(HANDLE, LONG);
using NtOpenProcessFn = LONG(NTAPI*)(HANDLE*, ULONG, void*, void*);

template <typename Fn>
Fn Native(const char* name) {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(ntdll, name))) : nullptr;
}

LONG NtQuerySystemInformation(ULONG infoClass, void* buffer, ULONG size, ULONG* needed) {
    const auto fn = Native<NtQuerySystemInformationFn>("NtQuerySystemInformation");
    return fn ? fn(infoClass, buffer, size, needed) : 0;
}
LONG NtQueryInformationProcess(HANDLE process, ULONG infoClass, void* buffer, ULONG size, ULONG* needed) {
    const auto fn = Native<NtQueryInformationProcessFn>("NtQueryInformationProcess");
    return fn ? fn(process, infoClass, buffer, size, needed) : 0;
}
LONG NtTerminateProcess(HANDLE process, LONG status) {
    const auto fn = Native<NtTerminateProcessFn>("NtTerminateProcess");
    return fn ? fn(process, status) : 0;
}
bool HasNativeCalls() {
    return Native<NtQuerySystemInformationFn>("NtQuerySystemInformation") &&
           Native<NtQueryInformationProcessFn>("NtQueryInformationProcess") &&
           Native<NtTerminateProcessFn>("NtTerminateProcess");
}

constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

}  // namespace

// ---- native helpers ----

namespace native {

bool ReadRemote(HANDLE process, RemotePointer address, void* buffer, std::size_t size) {
    SIZE_T read = 0;
    return address != 0 &&
           ReadProcessMemory(process, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)), buffer, size,
                             &read) &&
           read == size;
}

std::optional<PebStart> ReadRemotePeb(HANDLE process) {
    ProcessBasicInformation basic{};
    if (!HasNativeCalls()) return std::nullopt;
    if (NtQueryInformationProcess(process, 0, &basic, sizeof basic, nullptr) != 0) return std::nullopt;
    PebStart peb{};
    if (!ReadRemote(process, basic.PebBaseAddress, &peb, sizeof peb)) return std::nullopt;
    return peb;
}

std::wstring ReadRemoteUnicodeString(HANDLE process, const RemoteUnicodeString& descriptor) {
    if (descriptor.Length == 0 || descriptor.Length % 2 != 0) return {};
    std::wstring text(descriptor.Length / 2, L'\0');
    if (!ReadRemote(process, descriptor.Buffer, text.data(), descriptor.Length)) return {};
    return text;
}

std::string QueryProcessList() {
    if (!HasNativeCalls()) return {};
    // 500 entries of 248 bytes, growing by 100 entries; a list that never fits ends the query.
    constexpr std::size_t kUnit = 248, kFirst = 500, kStep = 100, kMostBytes = 64u << 20;
    for (std::size_t units = kFirst; units * kUnit <= kMostBytes; units += kStep) {
        std::string buffer(units * kUnit, '\0');
        const LONG status = NtQuerySystemInformation(5, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr);
        if (status == 0) return buffer;
        if (status != kStatusInfoLengthMismatch) return {};
    }
    return {};
}

std::vector<const ProcessEntry*> ProcessEntries(const std::string& list) {
    std::vector<const ProcessEntry*> entries;
    std::size_t offset = 0;
    while (offset + sizeof(ProcessEntry) <= list.size()) {
        const auto* entry = reinterpret_cast<const ProcessEntry*>(list.data() + offset);
        entries.push_back(entry);
        if (entry->NextEntryOffset == 0) break;
        offset += entry->NextEntryOffset;
    }
    return entries;
}

std::wstring EntryImageName(const std::string& list, const ProcessEntry& entry) {
    // The name lies inside the buffer the system filled; its address is ours.
    const auto* base = reinterpret_cast<const char*>(list.data());
    const auto* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(entry.ImageName.Buffer));
    if (!text || entry.ImageName.Length == 0 || text < base || text + entry.ImageName.Length > base + list.size())
        return {};
    return std::wstring(reinterpret_cast<const wchar_t*>(text), entry.ImageName.Length / 2);
}

std::vector<ThreadEntry> EntryThreads(const std::string& list, const ProcessEntry& entry) {
    std::vector<ThreadEntry> threads;
    const auto* first = reinterpret_cast<const char*>(&entry) + sizeof(ProcessEntry);
    const auto* end = list.data() + list.size();
    for (std::uint32_t i = 0; i < entry.NumberOfThreads; ++i) {
        const char* at = first + i * sizeof(ThreadEntry);
        if (at + sizeof(ThreadEntry) > end) break;
        ThreadEntry thread;
        std::memcpy(&thread, at, sizeof thread);
        threads.push_back(thread);
    }
    return threads;
}

std::vector<TModuleItem> ReadLoaderModules(HANDLE process) {
    std::vector<TModuleItem> modules;
    const auto peb = ReadRemotePeb(process);
    if (!peb) return modules;
    LoaderData loader{};
    if (!ReadRemote(process, peb->Ldr, &loader, sizeof loader)) return modules;
    const RemotePointer head = peb->Ldr + offsetof(LoaderData, LoadOrderFlink);
    const RemotePointer first = loader.LoadOrderFlink;
    // Backwards from the last entry; the first (the program's own image) is not listed. A list
    // changing under us, or a bad link, must not keep us walking.
    std::set<RemotePointer> seen;
    for (RemotePointer at = loader.LoadOrderBlink; at != head && at != first && seen.size() < kMostModules;) {
        if (!seen.insert(at).second) break;
        LoaderEntry entry{};
        if (!ReadRemote(process, at, &entry, sizeof entry)) break;
        TModuleItem module;
        module.Base = entry.DllBase;
        module.Name = ReadRemoteUnicodeString(process, entry.BaseDllName);
        module.Path = GetLongPath(ReadRemoteUnicodeString(process, entry.FullDllName));
        modules.push_back(std::move(module));
        at = entry.LoadOrderBlink;
    }
    return modules;
}

}  // namespace native

HANDLE OpenProcessNative(std::uint32_t processId, std::uint32_t access) {
    const auto open = Native<NtOpenProcessFn>("NtOpenProcess");
    if (!open) return nullptr;
    native::ObjectAttributes attributes{};
    attributes.Length = sizeof attributes;
    native::ClientId client{processId, 0};
    HANDLE process = nullptr;
    return open(&process, access, &attributes, &client) == 0 ? process : nullptr;
}

std::wstring GetProcessOwnerName(std::uint32_t processId) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process) return {};
    UniqueHandle token;
    if (!OpenProcessToken(process.get(), TOKEN_QUERY | TOKEN_IMPERSONATE, token.put())) return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::string buffer(size, '\0');
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    wchar_t name[261] = {}, domain[261] = {};
    DWORD nameSize = 260, domainSize = 260;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, user->User.Sid, name, &nameSize, domain, &domainSize, &use)) return {};
    return name;
}

std::wstring FindUserKeyByLogonName(const std::wstring& name) { return FindUserKeyByLogonNameIn(HKEY_USERS, name); }

std::wstring FindUserKeyByLogonNameIn(HKEY users, const std::wstring& name) {
    for (DWORD index = 0;; ++index) {
        wchar_t subkey[260];
        DWORD length = 260;
        const LONG status = RegEnumKeyExW(users, index, subkey, &length, nullptr, nullptr, nullptr, nullptr);
        // A name too long for a user's key is passed over; any other error (the key gone, no
        // access) ends the search, which would otherwise ask for ever.
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) return {};
        UniqueHKey key;
        const std::wstring path = std::wstring(subkey) + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
        if (RegOpenKeyExW(users, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) continue;
        wchar_t value[261] = {};
        DWORD bytes = sizeof value - sizeof(wchar_t), type = 0;
        if (RegQueryValueExW(key.get(), L"Logon User Name", nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) !=
                ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            continue;
        if (SameNoCase(std::wstring(value, wcsnlen(value, 260)), name)) return subkey;
    }
}

std::uint32_t FindProcessIdByImageName(const std::wstring& name) {
    const std::string list = native::QueryProcessList();
    for (const native::ProcessEntry* entry : native::ProcessEntries(list)) {
        if (entry->UniqueProcessId == 0 || entry->UniqueProcessId == 4) continue;
        if (SameNoCase(native::EntryImageName(list, *entry), name)) return static_cast<std::uint32_t>(entry->UniqueProcessId);
    }
    return 0;
}

std::vector<DriverRecord> ReadDriverRecords() {
    std::vector<DriverRecord> records;
    if (!HasNativeCalls()) return records;
    ULONG needed = 0;
    NtQuerySystemInformation(11, nullptr, 0, &needed);
    std::string buffer;
    LONG status = kStatusInfoLengthMismatch;
    // The list may grow between the two calls.
    for (int attempt = 0; attempt < 4 && status == kStatusInfoLengthMismatch; ++attempt) {
        buffer.assign(std::max<ULONG>(needed, 4) + 16 * sizeof(native::KernelModuleEntry), '\0');
        status = NtQuerySystemInformation(11, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    }
    if (status != 0 || buffer.size() < 4) return records;
    std::uint32_t count = 0;
    std::memcpy(&count, buffer.data(), 4);
    // The entries follow the count at their own alignment.
    constexpr std::size_t kFirstEntry = alignof(native::KernelModuleEntry) > 4 ? alignof(native::KernelModuleEntry) : 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t at = kFirstEntry + i * sizeof(native::KernelModuleEntry);
        if (at + sizeof(native::KernelModuleEntry) > buffer.size()) break;
        native::KernelModuleEntry entry;
        std::memcpy(&entry, buffer.data() + at, sizeof entry);
        const std::wstring path = AnsiField(std::string(entry.FullPath, strnlen(entry.FullPath, 256)).c_str());
        records.push_back({entry.Base, entry.Size, LowerCased(TrimSpaces(FileNamePart(path)))});
    }
    std::sort(records.begin(), records.end(), [](const DriverRecord& a, const DriverRecord& b) { return a.Base > b.Base; });
    return records;
}

// ---- items ----

void SetProcessRater(ProcessRater rater) { g_rater = rater; }

std::wstring NormaliseProcessPath(const std::wstring& name, const std::wstring& path, const std::wstring& windowsDir) {
    if (path.empty()) return name;
    if (path.rfind(L"\\??\\", 0) == 0) return path.substr(4);
    const std::wstring root = L"\\SystemRoot\\";
    if (StartsWithNoCase(path, root)) return windowsDir + path.substr(root.size() - 1);
    return path;
}

TProcessItem::TProcessItem(std::uint32_t processId, std::wstring name, const std::wstring& path)
    : ProcessId(processId), Name(std::move(name)), Path(NormaliseProcessPath(Name, path, GetWinInfo().WindowsDir)) {
    Rating = g_rater ? g_rater(Name, Path) : 0;
}

std::uint32_t ClampThreadPriority9x(long basePriority, long deltaPriority) {
    const long sum = basePriority + deltaPriority;
    return static_cast<std::uint32_t>(basePriority < 16 ? std::clamp(sum, 1L, 15L) : std::clamp(sum, 16L, 31L));
}

ProcessGuard GuardOfProcess(std::uint32_t processId, const std::wstring& imagePath) {
    if (processId == GetCurrentProcessId()) return ProcessGuard::OwnProcess;
    if (processId == 0 || processId == 4) return ProcessGuard::CriticalProcess;
    // An image we cannot read is nothing we can vouch for.
    if (imagePath.find(L'\\') == std::wstring::npos) return ProcessGuard::CriticalProcess;
    static const wchar_t* const kCritical[] = {L"csrss.exe", L"winlogon.exe", L"smss.exe", L"lsass.exe", L"services.exe"};
    std::wstring folder, name;
    SplitLastBackslash(imagePath, folder, name);
    for (const wchar_t* critical : kCritical)
        if (SameNoCase(name, critical) && SameNoCase(folder, GetWinInfo().SystemDir)) return ProcessGuard::CriticalProcess;
    if (SameNoCase(imagePath, ShellImagePath())) return ProcessGuard::SessionShell;
    return ProcessGuard::Allowed;
}

// ---- TWinSys ----

bool TWinSys::SuspendDriverThreads(const std::wstring&) { return false; }
void TWinSys::GetSessionUserName(std::wstring& name) { name = GetWinInfo().UserName; }
void TWinSys::GetSessionUserKey(std::wstring& key) { key.clear(); }

void TWinSys::ClearProcesses() { processes_.clear(); }

void TWinSys::SortProcesses() {
    std::stable_sort(processes_.begin(), processes_.end(), [](const auto& a, const auto& b) {
        if (a->Rating != b->Rating) return a->Rating > b->Rating;
        const bool aBare = a->Path.find(L'\\') == std::wstring::npos;
        const bool bBare = b->Path.find(L'\\') == std::wstring::npos;
        if (aBare != bBare) return aBare;
        return UpperCased(a->Path) < UpperCased(b->Path);
    });
}

TProcessItem* TWinSys::ProcessAt(std::size_t index) const {
    return index < processes_.size() ? processes_[index].get() : nullptr;
}

TProcessItem* TWinSys::FindProcessByPath(const std::wstring& path) {
    if (processes_.empty()) RefreshProcesses();
    for (const auto& item : processes_)
        if (SameNoCase(item->Path, path)) return item.get();
    return nullptr;
}

TProcessItem* TWinSys::FindProcessById(std::uint32_t processId) const {
    for (const auto& item : processes_)
        if (item->ProcessId == processId) return item.get();
    return nullptr;
}

bool TWinSys::FindProcessesUsingModule(const std::wstring& path, std::vector<std::size_t>& indices,
                                       std::size_t& count) const {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < processes_.size(); ++i) {
        const auto& modules = processes_[i]->Modules;
        if (std::any_of(modules.begin(), modules.end(), [&](const auto& m) { return SameNoCase(m->Path, path); }))
            found.push_back(i);
    }
    if (found.empty()) return false;
    if (count < found.size()) {
        count = found.size();
        return false;
    }
    indices = std::move(found);
    count = indices.size();
    return true;
}

std::uint32_t TWinSys::GetExplorerPid() const {
    for (const auto& item : processes_)
        if (SameNoCase(item->Path, ShellImagePath())) return item->ProcessId;
    return 0;
}

void TWinSys::KillAndForget(std::size_t index) {
    TProcessItem* item = ProcessAt(index);
    if (!item) return;
    if (KillProcess(item->ProcessId)) return;
    if (KillProcessFallback(item->ProcessId)) processes_.erase(processes_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TWinSys::EndUsersOfFile(const std::wstring& path) {
    const std::size_t from = path.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0;
    if (path.find_first_of(L"*?", from) != std::wstring::npos) return;
    // Who holds the file now, not when the list was last taken.
    RefreshProcesses();
    const std::wstring extension = LowerCased(path.substr(std::min(path.size(), path.find_last_of(L'.'))));
    if (extension == L".exe") {
        for (std::size_t i = 0; i < processes_.size(); ++i) {
            if (!SameNoCase(processes_[i]->Path, path)) continue;
            KillAndForget(i);
            break;
        }
    } else if (extension == L".dll") {
        std::vector<std::size_t> users;
        std::size_t room = 260;
        if (FindProcessesUsingModule(path, users, room))
            for (auto it = users.rbegin(); it != users.rend(); ++it) KillAndForget(*it);
    }
}

bool TWinSys::EndShellProcess(std::uint32_t processId) {
    std::wstring image;
    GetProcessImagePath(processId, image);
    if (!SameNoCase(image, ShellImagePath())) return false;
    return TerminateChecked(processId, true);
}

std::wstring TWinSys::ListedImage(std::uint32_t processId) const {
    const TProcessItem* item = FindProcessById(processId);
    return item ? item->Path : std::wstring();
}

bool TWinSys::MayEnd(std::uint32_t processId, bool allowShell) {
    std::wstring image;
    GetProcessImagePath(processId, image);
    lastGuard_ = GuardOfProcess(processId, image);
    if (lastGuard_ == ProcessGuard::SessionShell && allowShell) lastGuard_ = ProcessGuard::Allowed;
    if (lastGuard_ != ProcessGuard::Allowed) return false;
    // An id the system has handed to another program since the list was taken.
    const std::wstring listed = ListedImage(processId);
    if (!listed.empty() && !SameNoCase(listed, image)) {
        lastGuard_ = ProcessGuard::ReusedId;
        return false;
    }
    return true;
}

// ---- TWinSys9x ----

void TWinSys9x::GetHostsPath(std::wstring& path) { path = GetWinInfo().WindowsDir + L"\\hosts"; }

void TWinSys9x::ShowFileProperties(HWND owner, const std::wstring& path) {
    if (FileExistsAny(path)) ShowObjectProperties(owner, path);
}

bool TWinSys9x::KillProcess(std::uint32_t processId) { return TerminateChecked(processId, false); }

bool TWinSys9x::TerminateChecked(std::uint32_t processId, bool allowShell) {
    UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
    if (!process) return false;
    // Checked with the process held open: its id cannot pass to another program meanwhile.
    if (!MayEnd(processId, allowShell)) return false;
    if (!TerminateProcess(process.get(), 0)) return KillProcessFallback(processId);
    WaitForSingleObject(process.get(), kExitWaitMs);
    return true;
}

// Trying the same termination again could only fail again.
bool TWinSys9x::KillProcessFallback(std::uint32_t) { return false; }

void TWinSys9x::RefreshProcesses() {
    ClearProcesses();
    const DWORD self = GetCurrentProcessId();
    std::vector<THREADENTRY32> threads;
    {
        TToolhelp snapshot(TH32CS_SNAPTHREAD, 0);
        THREADENTRY32 thread;
        for (bool more = snapshot.FirstThread(thread); more; more = snapshot.NextThread(thread)) threads.push_back(thread);
    }
    TToolhelp snapshot(TH32CS_SNAPPROCESS, 0);
    tagPROCESSENTRY32 entry;
    for (bool more = snapshot.FirstProcess(entry); more; more = snapshot.NextProcess(entry)) {
        const DWORD id = entry.th32ProcessID;
        if (id == self || id == 4 || id == 0) continue;
        const std::wstring field = AnsiField(entry.szExeFile);
        std::wstring name = field, path;
        if (field.size() > 1 && field[1] == L':') {
            path = GetLongPath(field);
            name = FileNamePart(path);
        } else {
            GetProcessImagePath(id, path);
        }
        auto item = std::make_unique<TProcessItem>(id, name, path);
        FillModules(*item);
        for (const THREADENTRY32& thread : threads) {
            if (thread.th32OwnerProcessID != id) continue;
            auto t = std::make_unique<TThreadItem>();
            t->ThreadId = thread.th32ThreadID;
            t->Priority = ClampThreadPriority9x(thread.tpBasePri, thread.tpDeltaPri);
            item->Threads.push_back(std::move(t));
        }
        Append(std::move(item));
    }
    SortProcesses();
}

void TWinSys9x::GetProcessImagePath(std::uint32_t processId, std::wstring& path) {
    path.clear();
    std::wstring field;
    {
        TToolhelp snapshot(TH32CS_SNAPPROCESS, 0);
        tagPROCESSENTRY32 entry;
        for (bool more = snapshot.FirstProcess(entry); more; more = snapshot.NextProcess(entry)) {
            if (entry.th32ProcessID != processId) continue;
            field = AnsiField(entry.szExeFile);
            break;
        }
    }
    if (field.empty()) return;
    if (field.find(L'\\') != std::wstring::npos) {
        path = GetLongPath(field);
        return;
    }
    // A bare name in the process entry: the module of that name holds the path.
    TToolhelp modules(TH32CS_SNAPMODULE, processId);
    tagMODULEENTRY32 module;
    for (bool more = modules.FirstModule(module); more; more = modules.NextModule(module)) {
        if (SameNoCase(AnsiField(module.szModule), field)) {
            path = GetLongPath(AnsiField(module.szExePath));
            return;
        }
    }
}

void TWinSys9x::FillModules(TProcessItem& item) {
    TToolhelp snapshot(TH32CS_SNAPMODULE, item.ProcessId);
    tagMODULEENTRY32 entry;
    for (bool more = snapshot.FirstModule(entry); more; more = snapshot.NextModule(entry)) {
        const std::wstring path = GetLongPath(AnsiField(entry.szExePath));
        if (std::any_of(item.Modules.begin(), item.Modules.end(), [&](const auto& m) { return SameNoCase(m->Path, path); }))
            continue;
        auto module = std::make_unique<TModuleItem>();
        module->Base = reinterpret_cast<std::uintptr_t>(entry.modBaseAddr);
        module->Name = AnsiField(entry.szModule);
        module->Path = path;
        item.Modules.push_back(std::move(module));
    }
}

// ---- TWinSys2k ----

TWinSys2k::TWinSys2k() { SetDebugPrivileges(true); }

TWinSys2k::~TWinSys2k() { SetDebugPrivileges(false); }

void TWinSys2k::GetHostsPath(std::wstring& path) { path = GetWinInfo().SystemDir + L"\\drivers\\etc\\hosts"; }

void TWinSys2k::GetSessionUserName(std::wstring& name) {
    const std::uint32_t explorer = FindProcessIdByImageName(L"Explorer.exe");
    if (explorer) {
        name = GetProcessOwnerName(explorer);
        if (!name.empty()) return;
    }
    TWinSys::GetSessionUserName(name);
}

void TWinSys2k::GetSessionUserKey(std::wstring& key) {
    std::wstring user;
    GetSessionUserName(user);
    key = FindUserKeyByLogonName(user);
}

void TWinSys2k::ShowFileProperties(HWND owner, const std::wstring& path) { ShowObjectProperties(owner, path); }

bool TWinSys2k::KillProcess(std::uint32_t processId) { return TerminateChecked(processId, false); }

bool TWinSys2k::TerminateChecked(std::uint32_t processId, bool allowShell) {
    UniqueHandle process(OpenProcessNative(processId, 0x1F0FFF));
    if (!process) return false;
    if (!MayEnd(processId, allowShell)) return false;
    if (NtTerminateProcess(process.get(), 0) != 0 || !HasNativeCalls()) return KillProcessFallback(processId);
    WaitForSingleObject(process.get(), kExitWaitMs);
    return true;
}

bool TWinSys2k::KillProcessFallback(std::uint32_t) { return false; }

void TWinSys2k::RefreshProcesses() {
    ClearProcesses();
    const DWORD self = GetCurrentProcessId();
    const std::string list = native::QueryProcessList();
    // Every entry but the idle process (id 0), which the system lists first.
    for (const native::ProcessEntry* entry : native::ProcessEntries(list)) {
        const auto id = static_cast<std::uint32_t>(entry->UniqueProcessId);
        if (id == self || id == 0) continue;
        std::wstring path;
        GetProcessImagePath(id, path);
        auto item = std::make_unique<TProcessItem>(id, native::EntryImageName(list, *entry), path);
        FillModules(*item);
        for (const native::ThreadEntry& thread : native::EntryThreads(list, *entry)) {
            auto t = std::make_unique<TThreadItem>();
            t->StartAddress = thread.StartAddress;
            t->ThreadId = static_cast<std::uint32_t>(thread.UniqueThread);
            t->Priority = static_cast<std::uint32_t>(thread.BasePriority);
            t->State = thread.ThreadState;
            t->WaitReason = thread.WaitReason;
            item->Threads.push_back(std::move(t));
        }
        Append(std::move(item));
    }
    SortProcesses();
}

void TWinSys2k::GetProcessImagePath(std::uint32_t processId, std::wstring& path) {
    path.clear();
    if (processId == 0) return;
    UniqueHandle process(OpenProcessNative(processId, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ));
    if (!process) return;
    const auto peb = native::ReadRemotePeb(process.get());
    if (!peb) return;
    native::ProcessParameters parameters{};
    if (!native::ReadRemote(process.get(), peb->ProcessParameters, &parameters, sizeof parameters)) return;
    path = TrimSpaces(GetLongPath(native::ReadRemoteUnicodeString(process.get(), parameters.ImagePathName)));
}

void TWinSys2k::FillModules(TProcessItem& item) {
    UniqueHandle process(OpenProcessNative(item.ProcessId, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ));
    if (!process) return;
    for (TModuleItem& module : native::ReadLoaderModules(process.get()))
        item.Modules.push_back(std::make_unique<TModuleItem>(std::move(module)));
}

const DriverRecord* TWinSys2k::FindDriver(const std::wstring& name) {
    if (drivers_.empty()) drivers_ = ReadDriverRecords();
    const std::wstring wanted = LowerCased(FileNamePart(name));
    for (const DriverRecord& record : drivers_)
        if (record.Name == wanted) return &record;
    return nullptr;
}

std::vector<std::uint32_t> TWinSys2k::FindDriverThreads(const std::wstring& name) {
    std::vector<std::uint32_t> threads;
    const DriverRecord* driver = FindDriver(name);
    if (!driver || driver->Size == 0) return threads;
    if (processes_.empty()) RefreshProcesses();
    // The System process has no image path: its name stands in.
    for (const auto& item : processes_) {
        if (!SameNoCase(item->Path, L"System")) continue;
        for (const auto& thread : item->Threads)
            if (thread->StartAddress >= driver->Base && thread->StartAddress - driver->Base < driver->Size)
                threads.push_back(thread->ThreadId);
        break;
    }
    return threads;
}

bool TWinSys2k::SuspendDriverThreads(const std::wstring& name) {
    bool suspended = false;
    for (const std::uint32_t id : FindDriverThreads(name)) {
        UniqueHandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, id));
        if (thread && SuspendThread(thread.get()) != static_cast<DWORD>(-1)) suspended = true;
    }
    return suspended;
}

// ---- TWinSysXp ----

void TWinSysXp::GetSessionUserName(std::wstring& name) {
    using QueryFn = BOOL(WINAPI*)(HANDLE, DWORD, int, wchar_t**, DWORD*);
    using FreeFn = void(WINAPI*)(void*);
    UniqueLibrary wts(LoadLibraryW(L"Wtsapi32.dll"));
    if (wts) {
        const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(wts.get(), "WTSQuerySessionInformationW")));
        const auto release = reinterpret_cast<FreeFn>(reinterpret_cast<void*>(GetProcAddress(wts.get(), "WTSFreeMemory")));
        wchar_t* answer = nullptr;
        DWORD bytes = 0;
        // The current server, the current session, the user name.
        if (query && release && query(nullptr, static_cast<DWORD>(-1), 5, &answer, &bytes) && answer) {
            name = answer;
            release(answer);
            if (!name.empty()) return;
        }
    }
    TWinSys2k::GetSessionUserName(name);
}

bool TWinSysXp::KillProcessFallback(std::uint32_t processId) {
    if (!MayEnd(processId, false)) return false;
    const std::wstring arguments = L" " + std::to_wstring(processId);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = L"tskill.exe";
    info.lpParameters = arguments.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info)) return false;
    UniqueHandle tool(info.hProcess);
    if (tool) WaitForSingleObject(tool.get(), 3000);
    return true;
}

// ---- the services object ----

TWinSys& GetWinSys() {
    static const std::unique_ptr<TWinSys> services = []() -> std::unique_ptr<TWinSys> {
        const int kind = GetWinInfo().Kind;
        if (kind < 2) return std::make_unique<TWinSys9x>();
        if (kind == 2) return std::make_unique<TWinSys2k>();
        return std::make_unique<TWinSysXp>();
    }();
    return *services;
}

void ShowObjectProperties(HWND owner, const std::wstring& path) {
    using PropertiesFn = BOOL(WINAPI*)(HWND, DWORD, const wchar_t*, const wchar_t*);
    const HMODULE shell = SystemLibrary(L"shell32.dll");
    // Exported by ordinal only.
    const auto show = shell ? reinterpret_cast<PropertiesFn>(reinterpret_cast<void*>(GetProcAddress(shell, MAKEINTRESOURCEA(178))))
                            : nullptr;
    if (show) show(owner, 2, path.c_str(), nullptr);
}

HMODULE SystemLibrary(const wchar_t* name) {
    if (HMODULE loaded = GetModuleHandleW(name)) return loaded;
    // From the system folder only: never a file of that name beside the program.
    wchar_t folder[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    return LoadLibraryW((std::wstring(folder, n) + L"\\" + name).c_str());
}

}  // namespace tidemark

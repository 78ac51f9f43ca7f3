#include "system/reg_view.h"

#include <cstring>

#include "system/handles.h"
#include "system/text_case.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

thread_local RegView tCurrentView = RegView::Own;
thread_local bool tViewSet = false;

template <typename Fn>
Fn Kernel32Entry(const char* name) {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && UpperCased(text.substr(0, prefix.size())) == UpperCased(prefix);
}

// Replaces every "%name%" (any letter case) by "%replacement%".
std::wstring ReplaceVariable(const std::wstring& text, const std::wstring& name, const std::wstring& replacement) {
    const std::wstring upper = UpperCased(text), wanted = L"%" + UpperCased(name) + L"%";
    std::wstring out;
    std::size_t from = 0;
    for (std::size_t at = upper.find(wanted); at != std::wstring::npos; at = upper.find(wanted, from)) {
        out += text.substr(from, at - from) + L"%" + replacement + L"%";
        from = at + wanted.size();
    }
    return out + text.substr(from);
}

}  // namespace

bool ProcessIsWow64() {
    static const bool wow64 = [] {
        using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);
        const auto query = Kernel32Entry<IsWow64ProcessFn>("IsWow64Process");
        BOOL answer = FALSE;
        return query && query(GetCurrentProcess(), &answer) && answer;
    }();
    return wow64;
}

bool SystemIs64Bit() { return sizeof(void*) == 8 || ProcessIsWow64(); }

std::vector<RegView> RegistryViews() {
    if (!SystemIs64Bit()) return {RegView::Own};
    return {RegView::Bits64, RegView::Bits32};
}

RegView NaturalRegView() {
    if (!SystemIs64Bit()) return RegView::Own;
    return sizeof(void*) == 8 ? RegView::Bits64 : RegView::Bits32;
}

REGSAM ViewAccess(RegView view) {
    if (!SystemIs64Bit()) return 0;
    switch (view) {
        case RegView::Bits32: return KEY_WOW64_32KEY;
        case RegView::Bits64: return KEY_WOW64_64KEY;
        case RegView::Own: break;
    }
    return 0;
}

int ViewNumber(RegView view) { return static_cast<int>(view); }

RegView ViewOfNumber(int number) {
    if (number == 32) return RegView::Bits32;
    if (number == 64) return RegView::Bits64;
    return RegView::Own;
}

RegView CurrentRegView() { return tViewSet ? tCurrentView : NaturalRegView(); }

ScopedRegView::ScopedRegView(RegView view) : previous_(CurrentRegView()) {
    // Own names the program's view; on 64-bit Windows that is a definite one.
    tCurrentView = view == RegView::Own ? NaturalRegView() : view;
    tViewSet = true;
}

ScopedRegView::~ScopedRegView() { tCurrentView = previous_; }

std::wstring KernelKeyName(HKEY key) {
    using NtQueryKeyFn = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto query =
        ntdll ? reinterpret_cast<NtQueryKeyFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryKey"))) : nullptr;
    if (!query || !key) return {};
    std::vector<BYTE> buffer(4096);
    for (int attempt = 0; attempt < 3; ++attempt) {
        ULONG size = 0;
        const LONG status = query(key, 3 /* KeyNameInformation */, buffer.data(), static_cast<ULONG>(buffer.size()), &size);
        if (status == 0) {
            ULONG length = 0;
            std::memcpy(&length, buffer.data(), sizeof length);
            if (length > buffer.size() - sizeof length) return {};
            return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof length), length / sizeof(wchar_t));
        }
        // STATUS_BUFFER_OVERFLOW / STATUS_BUFFER_TOO_SMALL: the name is longer than the room.
        if ((status != static_cast<LONG>(0x80000005) && status != static_cast<LONG>(0xC0000023)) || size <= buffer.size())
            return {};
        buffer.resize(size + sizeof(wchar_t));
    }
    return {};
}

bool RootPathOfKernelName(const std::wstring& kernelName, HKEY& root, std::wstring& path) {
    const std::wstring upper = UpperCased(kernelName);
    static const struct {
        const wchar_t* prefix;
        HKEY root;
    } kRoots[] = {{L"\\REGISTRY\\MACHINE\\", HKEY_LOCAL_MACHINE}, {L"\\REGISTRY\\USER\\", HKEY_USERS}};
    for (const auto& r : kRoots) {
        const std::wstring prefix = r.prefix;
        if (upper.compare(0, prefix.size(), prefix) != 0) continue;
        root = r.root;
        path = kernelName.substr(prefix.size());
        return true;
    }
    return false;
}

void ForEachRegView(HKEY root, const std::wstring& path, const std::function<void(RegView)>& visit) {
    if (!SystemIs64Bit()) {
        visit(RegView::Own);
        return;
    }
    std::vector<std::wstring> seen;
    bool unreadableVisited = false;
    for (const RegView view : RegistryViews()) {
        HKEY opened = nullptr;
        const LONG rc = root ? RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | ViewAccess(view), &opened)
                             : ERROR_INVALID_HANDLE;
        UniqueHKey key(rc == ERROR_SUCCESS ? opened : nullptr);
        if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND || rc == ERROR_INVALID_HANDLE) continue;
        if (rc != ERROR_SUCCESS) {
            if (unreadableVisited) continue;
            unreadableVisited = true;
        } else {
            const std::wstring name = UpperCased(KernelKeyName(key.get()));
            // A key whose name the system does not give is taken as shared: never judged twice.
            if (name.empty() && !seen.empty()) continue;
            bool shared = false;
            for (const std::wstring& other : seen) shared = shared || other == name;
            if (shared) continue;
            seen.push_back(name);
        }
        ScopedRegView scope(view);
        visit(view);
    }
}

bool SharedWithTheOtherView(HKEY key) {
    if (!SystemIs64Bit() || CurrentRegView() != RegView::Bits32) return false;
    const std::wstring name = UpperCased(KernelKeyName(key));
    return !name.empty() && name.find(L"\\WOW6432NODE") == std::wstring::npos;
}

bool IsWow6432NodeName(const std::wstring& name) { return UpperCased(name) == L"WOW6432NODE"; }

std::wstring PathInView(const std::wstring& path, RegView view, const std::wstring& windowsDir) {
    if (view != RegView::Bits32 || windowsDir.empty()) return path;
    std::wstring windows = windowsDir;
    if (windows.back() == L'\\') windows.pop_back();
    const std::wstring system32 = windows + L"\\System32", sysnative = windows + L"\\Sysnative";
    auto below = [&](const std::wstring& folder) {
        return StartsWithNoCase(path, folder) && (path.size() == folder.size() || path[folder.size()] == L'\\');
    };
    if (below(sysnative)) return system32 + path.substr(sysnative.size());
    if (!below(system32)) {
        // The registry editor in the Windows folder is redirected too.
        if (UpperCased(path) == UpperCased(windows + L"\\regedit.exe")) return windows + L"\\SysWOW64\\regedit.exe";
        return path;
    }
    static const wchar_t* const kExempt[] = {L"catroot", L"catroot2", L"driverstore", L"drivers\\etc", L"logfiles", L"spool"};
    const std::wstring rest = path.substr(system32.size());  // "" or "\..."
    for (const wchar_t* exempt : kExempt) {
        const std::wstring folder = std::wstring(L"\\") + exempt;
        if (StartsWithNoCase(rest, folder) && (rest.size() == folder.size() || rest[folder.size()] == L'\\')) return path;
    }
    return windows + L"\\SysWOW64" + rest;
}

namespace {

const std::wstring& ThisWindowsFolder() {
    static const std::wstring windows = [] {
        wchar_t buffer[MAX_PATH] = {};
        const UINT n = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
        return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
    }();
    return windows;
}

}  // namespace

std::wstring PathForProcess(const std::wstring& path, RegView view, const std::wstring& windowsDir, int processBits,
                            bool wow64) {
    if (processBits == 64) return PathInView(path, view, windowsDir);
    if (!wow64 || view != RegView::Bits64 || windowsDir.empty()) return path;
    std::wstring windows = windowsDir;
    if (windows.back() == L'\\') windows.pop_back();
    const std::wstring system32 = windows + L"\\System32";
    if (!StartsWithNoCase(path, system32) || (path.size() > system32.size() && path[system32.size()] != L'\\'))
        return path;
    return windows + L"\\Sysnative" + path.substr(system32.size());
}

std::wstring PathForProcess(const std::wstring& path, RegView view) {
    return PathForProcess(path, view, ThisWindowsFolder(), sizeof(void*) == 8 ? 64 : 32, ProcessIsWow64());
}

std::wstring ProgramFolderOfView(RegView view, bool common) {
    if (!SystemIs64Bit() || view == RegView::Own) return {};
    const bool x86 = view == RegView::Bits32;
    const wchar_t* name = common ? (x86 ? L"CommonProgramFiles(x86)" : L"CommonProgramW6432")
                                 : (x86 ? L"ProgramFiles(x86)" : L"ProgramW6432");
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

std::wstring ProgramFoldersInView(const std::wstring& text, RegView view) {
    if (!SystemIs64Bit() || text.find(L'%') == std::wstring::npos || view == RegView::Own) return text;
    std::wstring out = text;
    const struct {
        const wchar_t* name;
        std::wstring value;
    } folders[] = {{L"%PROGRAMFILES%", ProgramFolderOfView(view, false)},
                   {L"%COMMONPROGRAMFILES%", ProgramFolderOfView(view, true)}};
    for (const auto& f : folders) {
        if (f.value.empty()) continue;
        const std::wstring name = f.name;
        for (std::size_t at = UpperCased(out).find(name); at != std::wstring::npos;
             at = UpperCased(out).find(name, at + f.value.size()))
            out.replace(at, name.size(), f.value);
    }
    return out;
}

std::wstring ExpandInView(const std::wstring& text, RegView view) {
    std::wstring adjusted = text;
    if (SystemIs64Bit() && text.find(L'%') != std::wstring::npos) {
        if (view == RegView::Bits32) {
            adjusted = ReplaceVariable(adjusted, L"ProgramFiles", L"ProgramFiles(x86)");
            adjusted = ReplaceVariable(adjusted, L"CommonProgramFiles", L"CommonProgramFiles(x86)");
        } else if (view == RegView::Bits64) {
            adjusted = ReplaceVariable(adjusted, L"ProgramFiles", L"ProgramW6432");
            adjusted = ReplaceVariable(adjusted, L"CommonProgramFiles", L"CommonProgramW6432");
        }
    }
    return ExpandEnvPath(adjusted);
}

}  // namespace tidemark

#include "system/path_state.h"

#include <windows.h>

#include "system/file_ops.h"

namespace tidemark {

namespace {

// A 32-bit program on 64-bit Windows sees SysWOW64 where a path says System32; what the registry
// names there belongs to the 64-bit system, so it is looked at with the redirection off.
class NativeFileView {
public:
    NativeFileView() {
        using Disable = BOOL(WINAPI*)(PVOID*);
        static const auto disable = reinterpret_cast<Disable>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "Wow64DisableWow64FsRedirection")));
        if (disable && IsWow64()) active_ = disable(&old_) != FALSE;
    }
    ~NativeFileView() {
        using Revert = BOOL(WINAPI*)(PVOID);
        static const auto revert = reinterpret_cast<Revert>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "Wow64RevertWow64FsRedirection")));
        if (active_ && revert) revert(old_);
    }
    NativeFileView(const NativeFileView&) = delete;
    NativeFileView& operator=(const NativeFileView&) = delete;

private:
    static bool IsWow64() {
        using IsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
        static const auto query = reinterpret_cast<IsWow64Process>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
        BOOL wow = FALSE;
        return query && query(GetCurrentProcess(), &wow) && wow;
    }
    PVOID old_ = nullptr;
    bool active_ = false;
};

}  // namespace

bool PathStateReader::FixedDrive(wchar_t letter) {
    const int index = (letter | 0x20) - L'a';
    if (index < 0 || index >= 26) return false;
    if (fixed_[index] == 0) {
        const wchar_t root[] = {static_cast<wchar_t>(L'A' + index), L':', L'\\', 0};
        fixed_[index] = GetDriveTypeW(root) == DRIVE_FIXED ? 1 : -1;
    }
    return fixed_[index] == 1;
}

FsAnswer PathStateReader::Read(const std::wstring& path) {
    // Only full drive-letter paths: anything relative would be looked up in the current folder.
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return FsAnswer::Unknown;
    if (path.find(L'\0') != std::wstring::npos) return FsAnswer::Unknown;
    if (path.find_first_of(L"*?") != std::wstring::npos) return FsAnswer::Unknown;
    if (!FixedDrive(path[0])) return FsAnswer::Unknown;
    DWORD attributes, error;
    {
        NativeFileView view;
        attributes = GetFileAttributesW(ExtendedPath(path).c_str());
        error = GetLastError();
    }
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FsAnswer::Folder : FsAnswer::File;
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FsAnswer::Missing : FsAnswer::Unknown;
}

}  // namespace tidemark

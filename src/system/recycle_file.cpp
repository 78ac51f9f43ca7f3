#include "system/recycle_file.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>

#include "system/file_ops.h"
#include "system/handles.h"
#include "system/reg_ops.h"

namespace tidemark {

namespace {

// A full path on a drive ("X:\" and at least one name) the shell reads as it is written.
bool ShellTakesExactly(const std::wstring& path) {
    if (path.size() <= 3 || path.size() >= MAX_PATH) return false;
    const wchar_t drive = path[0];
    if (!((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z')) || path[1] != L':' ||
        path[2] != L'\\')
        return false;
    for (wchar_t c : path)
        if (c < 32 || c == L'*' || c == L'?' || c == L'/' || c == L'"' || c == L'<' || c == L'>' || c == L'|')
            return false;
    if (path.find(L"\\.\\") != std::wstring::npos || path.find(L"\\..") != std::wstring::npos) return false;
    return ExtendedPath(path) == path;
}

std::optional<DWORD> DwordValue(HKEY root, const std::wstring& key, const wchar_t* name) {
    UniqueHKey open = OpenRegKey(root, key, KEY_QUERY_VALUE);
    if (!open) return std::nullopt;
    DWORD type = 0, data = 0, size = sizeof(data);
    if (RegQueryValueExW(open.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return data;
}

RecycleBinSettings SettingsOfDrive(const std::wstring& root) {
    RecycleBinSettings bin;
    SHQUERYRBINFO info{};
    info.cbSize = sizeof(info);
    bin.HasBin = SHQueryRecycleBinW(root.c_str(), &info) == S_OK;
    if (!bin.HasBin) return bin;
    const std::wstring bucket = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket";
    // Vista and later: the user's settings per volume ("{GUID}" of the volume name).
    wchar_t volume[64] = {};
    if (GetVolumeNameForVolumeMountPointW(root.c_str(), volume, 64)) {
        std::wstring name = volume;
        const std::size_t open = name.find(L'{'), close = name.find(L'}');
        if (open != std::wstring::npos && close != std::wstring::npos && close > open) {
            const std::wstring key = bucket + L"\\Volume\\" + name.substr(open, close - open + 1);
            const auto nuke = DwordValue(HKEY_CURRENT_USER, key, L"NukeOnDelete");
            const auto megabytes = DwordValue(HKEY_CURRENT_USER, key, L"MaxCapacity");
            if (nuke || megabytes) {
                bin.NukeOnDelete = nuke.value_or(0) != 0;
                bin.Capacity = static_cast<unsigned long long>(megabytes.value_or(0)) * 1024 * 1024;
                return bin;
            }
        }
    }
    // Windows 9x–XP: the machine's settings, global or per drive, as a share of the drive.
    const bool global = DwordValue(HKEY_LOCAL_MACHINE, bucket, L"UseGlobalSettings").value_or(1) != 0;
    const std::wstring key = global ? bucket : bucket + L"\\" + root.substr(0, 1);
    bin.NukeOnDelete = DwordValue(HKEY_LOCAL_MACHINE, key, L"NukeOnDelete").value_or(0) != 0;
    const DWORD percent = DwordValue(HKEY_LOCAL_MACHINE, key, L"Percent").value_or(10);
    ULARGE_INTEGER total{};
    if (GetDiskFreeSpaceExW(root.c_str(), nullptr, &total, nullptr))
        bin.Capacity = total.QuadPart / 100 * std::min<DWORD>(percent, 100);
    return bin;
}

}  // namespace

bool RecycleBinKeepsFile(const RecycleBinSettings& bin, unsigned long long size) {
    if (!bin.HasBin || bin.NukeOnDelete) return false;
    return bin.Capacity == 0 || size <= bin.Capacity;
}

bool RecycleBinKeeps(const std::wstring& path, unsigned long long size) {
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return false;
    return RecycleBinKeepsFile(SettingsOfDrive(path.substr(0, 3)), size);
}

bool RecycleFile(const std::wstring& path) {
    if (!ShellTakesExactly(path)) return false;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        UniqueHandle probe(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe) return false;
    }
    std::wstring from = path;
    from.append(2, L'\0');  // the list ends with an extra zero
    SHFILEOPSTRUCTW op{};
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_FILESONLY | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

}  // namespace tidemark

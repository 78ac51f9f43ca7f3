#include "system/file_ops.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "system/handles.h"
#include "system/text_util.h"

namespace tidemark {
namespace {

// Below this length every call takes the plain form (CreateDirectory stops at 248).
constexpr std::size_t kPlainPathLimit = 248;

bool IsDots(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

UniqueFindHandle FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& data) {
    return UniqueFindHandle(FindFirstFileW(ExtendedPath(pattern).c_str(), &data));
}

// Sets the delete disposition on an open handle (NtSetInformationFile exists from NT 3.1 on;
// SetFileInformationByHandle only from Vista on).
bool MarkForDeletion(HANDLE file) {
    struct IoStatus { LONG Status; ULONG_PTR Information; };
    struct Disposition { BOOLEAN DeleteFile; };
    using SetInformationFile = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
    constexpr int kFileDispositionInformation = 13;
    static const auto setInformation = reinterpret_cast<SetInformationFile>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetInformationFile")));
    if (!setInformation) return false;
    IoStatus io{};
    Disposition disposition{TRUE};
    return setInformation(file, &io, &disposition, sizeof disposition,
                          kFileDispositionInformation) >= 0;
}

}  // namespace

// A last name ending in a dot or a blank, which the plain form would silently drop.
static bool EndsInDotOrBlank(const std::wstring& path) {
    if (path.empty() || (path.back() != L'.' && path.back() != L' ')) return false;
    const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    return name != L"." && name != L"..";
}

std::wstring ExtendedPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    auto slash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const bool drivePath = path.size() > 2 && path[1] == L':' && slash(path[2]);
    const bool uncPath = path.size() > 2 && slash(path[0]) && slash(path[1]);
    if (path.size() < kPlainPathLimit) {
        // Short paths need the exact form only to keep a last name's trailing dot or blank;
        // with "." parts about they are left to the usual clean-up.
        if (!drivePath || !EndsInDotOrBlank(path) || path.find(L"\\.") != std::wstring::npos ||
            path.find(L"/.") != std::wstring::npos)
            return path;
        std::wstring exact = L"\\\\?\\" + path;
        std::replace(exact.begin(), exact.end(), L'/', L'\\');
        return exact;
    }
    if (!drivePath && !uncPath) return path;
    // The \\?\ form skips the usual clean-up, so resolve "." / ".." and slashes first.
    std::wstring full(path.size() + 16, L'\0');
    DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.assign(n + 1, L'\0');
        n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (n == 0 || n >= full.size()) return path;
    full.resize(n);
    if (drivePath) return L"\\\\?\\" + full;
    return L"\\\\?\\UNC\\" + full.substr(2);
}

bool FileExistsAny(const std::wstring& pattern) {
    WIN32_FIND_DATAW data;
    return FindFirst(pattern, data).valid();
}

std::uint32_t FileSizeByFind(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    return FindFirst(path, data) ? data.nFileSizeLow : 0;
}

std::int32_t FileSizeOrNone(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    if (!FindFirst(path, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return -1;
    return static_cast<std::int32_t>(data.nFileSizeLow);
}

std::uint32_t FileSizeByOpen(const std::wstring& path) {
    UniqueHandle file(CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    const DWORD size = GetFileSize(file.get(), nullptr);
    return size == INVALID_FILE_SIZE ? 0 : size;
}

bool DeleteFileForce(const std::wstring& path) {
    const std::wstring target = ExtendedPath(path);
    if (!SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL)) return false;
    return DeleteFileW(target.c_str()) != FALSE;
}

bool IsReparsePoint(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ExtendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool RemoveReparsePoint(const std::wstring& path) {
    UniqueHandle link(CreateFileW(ExtendedPath(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    if (!link) return false;
    // Check what the handle really refers to: a system that resolved the link anyway (Wine does
    // for Unix symbolic links) hands back the target, and that must not be deleted.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(link.get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    return MarkForDeletion(link.get());
}

bool RemoveFolderTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ExtendedPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveReparsePoint(path);

    const std::wstring folder = WithTrailingBackslash(path);
    bool ok = true;
    WIN32_FIND_DATAW data;
    UniqueFindHandle find = FindFirst(folder + L"*.*", data);
    if (find) {
        do {
            if (!ok || IsDots(data.cFileName)) continue;
            const std::wstring child = folder + data.cFileName;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                ok = RemoveReparsePoint(child);
            else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ok = RemoveFolderTree(child);
            else
                ok = DeleteFileForce(child);
        } while (FindNextFileW(find.get(), &data));
    }
    find.reset();
    return ok && RemoveDirectoryW(ExtendedPath(WithoutTrailingBackslash(folder)).c_str());
}

bool ShellDeletePath(const std::wstring& path) {
    std::wstring from = path;
    from.append(2, L'\0');  // the source list ends with two zeros
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.pTo = nullptr;
    // No confirmation, no progress, no error box, no recycle bin.
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    return SHFileOperationW(&op) == 0;
}

bool DeleteAtReboot(const std::wstring& path) {
    return MoveFileExW(ExtendedPath(path).c_str(), nullptr,
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

std::string ReadFileBytes(const std::wstring& path) {
    UniqueHandle file(CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char chunk[16384];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

ResourceBytes FindResourceBytes(void* module, const wchar_t* type, const wchar_t* name) {
    HMODULE owner = module ? static_cast<HMODULE>(module) : GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(owner, name, type);
    if (!info) return {};
    HGLOBAL loaded = LoadResource(owner, info);
    ResourceBytes bytes;
    bytes.data = loaded ? LockResource(loaded) : nullptr;
    bytes.size = SizeofResource(owner, info);
    bytes.found = bytes.data != nullptr || bytes.size == 0;
    return bytes;
}

bool WriteBytesToFile(const std::wstring& path, const void* data, unsigned long size, bool createNew) {
    const std::wstring target = ExtendedPath(path);
    UniqueHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, createNew ? CREATE_NEW : CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool ok = size == 0 || (WriteFile(file.get(), data, size, &written, nullptr) && written == size);
    file.reset();
    if (!ok) DeleteFileW(target.c_str());
    return ok;
}

bool ExtractResourceToFile(const wchar_t* type, const wchar_t* name, const std::wstring& path) {
    const ResourceBytes resource = FindResourceBytes(nullptr, type, name);
    if (!resource.found) return false;
    const std::wstring target = ExtendedPath(path);
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(target.c_str())) return false;
    }
    return WriteBytesToFile(path, resource.data, resource.size, false);
}

bool GetFileCompanyName(const std::wstring& path, std::wstring& company) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;

    void* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &length) ||
        length < sizeof(DWORD)) {
        company.clear();
        return true;
    }
    const DWORD pair = *static_cast<const DWORD*>(translation);
    wchar_t query[64];
    swprintf(query, 64, L"\\StringFileInfo\\%04X%04X\\CompanyName", LOWORD(pair), HIWORD(pair));
    void* text = nullptr;
    if (VerQueryValueW(block.data(), query, &text, &length) && text && length > 0)
        company.assign(static_cast<const wchar_t*>(text));
    else
        company.clear();
    return true;
}

}  // namespace tidemark

#include "system/file_ops.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <optional>
#include <vector>

#include "system/file_digest.h"
#include "system/handles.h"
#include "system/text_util.h"

namespace tidemark {
namespace {

// Below this length every call takes the plain form (CreateDirectory stops at 248).
constexpr std::size_t kPlainPathLimit = 248;

bool IsDots(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

bool StartsWithNoCase(const std::wstring& text, std::size_t at, const wchar_t* head) {
    for (; *head; ++head, ++at)
        if (at >= text.size() || AsciiUpper(text[at]) != AsciiUpper(*head)) return false;
    return true;
}

// "\\?\", "\\.\" and "\??\": the system takes what follows as it is, without the usual clean-up.
bool HasDevicePrefix(const std::wstring& path) {
    return path.size() >= 4 && path[3] == L'\\' &&
           ((path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.')) ||
            (path[0] == L'\\' && path[1] == L'?' && path[2] == L'?'));
}

enum class PathKind { Relative, Drive, Unc, Device };

PathKind KindOf(const std::wstring& path) {
    if (HasDevicePrefix(path)) return PathKind::Device;
    if (path.size() > 2 && path[1] == L':' && IsSlash(path[2])) return PathKind::Drive;
    if (path.size() > 2 && IsSlash(path[0]) && IsSlash(path[1])) return PathKind::Unc;
    return PathKind::Relative;
}

// The non-empty names of a path, split at either slash.
std::vector<std::wstring> NamesOf(const std::wstring& path, std::size_t from = 0) {
    std::vector<std::wstring> names;
    std::wstring name;
    for (std::size_t i = from; i <= path.size(); ++i) {
        if (i == path.size() || IsSlash(path[i])) {
            if (!name.empty()) names.push_back(name);
            name.clear();
        } else {
            name += path[i];
        }
    }
    return names;
}

bool IsDotName(const std::wstring& name) { return name == L"." || name == L".."; }

// A name the plain form takes for a device ("nul.tmp" is NUL, "com1.txt" is COM1): what comes
// before the first dot or colon, trailing blanks dropped.
bool IsDeviceName(const std::wstring& name) {
    std::wstring base = name.substr(0, name.find_first_of(L".:"));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (auto& c : base) c = AsciiUpper(c);
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$")
        return true;
    if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0))
        return false;
    const wchar_t digit = base[3];
    return (digit >= L'1' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

struct NameFacts {
    bool dotParts = false;    // a "." or ".." step
    bool needsExact = false;  // a name the plain form would change or take for a device
};

NameFacts ScanNames(const std::wstring& path) {
    NameFacts facts;
    for (const std::wstring& name : NamesOf(path, KindOf(path) == PathKind::Drive ? 3 : 0)) {
        if (IsDotName(name))
            facts.dotParts = true;
        else if (name.back() == L'.' || name.back() == L' ' || IsDeviceName(name))
            facts.needsExact = true;
    }
    return facts;
}

// The exact form of an absolute path free of "." / ".." steps: one backslash between names.
std::wstring ExactForm(const std::wstring& path, PathKind kind) {
    std::wstring exact = kind == PathKind::Unc ? L"\\\\?\\UNC" : L"\\\\?\\" + path.substr(0, 2);
    for (const std::wstring& name : NamesOf(path, kind == PathKind::Drive ? 3 : 2)) exact += L"\\" + name;
    if (kind == PathKind::Drive && exact.size() == 6) exact += L'\\';  // the root keeps its backslash
    if (IsSlash(path.back()) && exact.back() != L'\\') exact += L'\\';
    return exact;
}

// True when a device-prefixed path names a volume, a device or a share itself rather than
// something on it, or holds "." / ".." steps the system would not resolve.
bool IsDeviceRootOrUnclear(const std::wstring& path) {
    const std::vector<std::wstring> names = NamesOf(path, 4);
    for (const std::wstring& name : names)
        if (IsDotName(name)) return true;
    if (names.empty() || StartsWithNoCase(names[0], 0, L"GLOBALROOT")) return true;
    const bool share = names[0].size() == 3 && StartsWithNoCase(names[0], 0, L"UNC");
    return names.size() < (share ? 4u : 2u);
}

std::wstring FullPathOf(const std::wstring& path) {
    std::wstring full(path.size() + 16, L'\0');
    DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.assign(n + 1, L'\0');
        n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (n == 0 || n >= full.size()) return {};
    full.resize(n);
    return full;
}

// Whether a deletion may go ahead, and the path it works on (the exact form, or the full path
// with "." / ".." resolved). Refused: nothing, control characters, a last "." or ".." step, a
// bare drive, any root of a drive, volume or share however spelt, and a name the plain form
// would change where the exact form cannot be used. wholePath: a relative path is refused too.
bool JudgeDeletion(const std::wstring& path, bool wholePath, std::wstring& resolved) {
    if (path.empty()) return false;
    for (wchar_t c : path)
        if (c < L' ') return false;
    const std::vector<std::wstring> names = NamesOf(path);
    if (!names.empty() && IsDotName(names.back())) return false;
    if (KindOf(path) == PathKind::Relative && (wholePath || (path.size() == 2 && path[1] == L':')))
        return false;
    const std::wstring target = ExtendedPath(path);
    if (!HasDevicePrefix(target) && ScanNames(path).needsExact) return false;
    resolved = HasDevicePrefix(target) ? target : FullPathOf(target);
    if (resolved.empty()) return false;
    switch (KindOf(resolved)) {
    case PathKind::Device: return !IsDeviceRootOrUnclear(resolved);
    case PathKind::Drive: return !NamesOf(resolved, 3).empty();
    case PathKind::Unc: return NamesOf(resolved).size() > 2;
    case PathKind::Relative: return false;
    }
    return false;
}

bool JudgeDeletion(const std::wstring& path, bool wholePath) {
    std::wstring resolved;
    return JudgeDeletion(path, wholePath, resolved);
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

std::wstring ExtendedPath(const std::wstring& path) {
    const PathKind kind = KindOf(path);
    if (kind == PathKind::Device || kind == PathKind::Relative) return path;
    const NameFacts names = ScanNames(path);
    const bool isLong = path.size() >= kPlainPathLimit;
    if (names.dotParts) {
        // The exact form would take "." / ".." literally, and resolving them drops trailing dots
        // and blanks too: a short path keeps the usual clean-up, and so does one whose names
        // need the exact form (no form reaches those exactly). A long one is resolved first.
        if (!isLong || names.needsExact) return path;
        const std::wstring full = FullPathOf(path);
        if (full.empty()) return path;
        const PathKind fullKind = KindOf(full);
        return fullKind == PathKind::Drive || fullKind == PathKind::Unc ? ExactForm(full, fullKind) : path;
    }
    return isLong || names.needsExact ? ExactForm(path, kind) : path;
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
    if (!JudgeDeletion(path, false)) return false;
    const std::wstring target = ExtendedPath(path);
    // Looked at first: a folder's attributes are not the caller's to reset, and resetting a
    // link's would reach its target.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveReparsePoint(path);
    if (!SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL)) return false;
    return DeleteFileW(target.c_str()) != FALSE;
}

bool IsReparsePoint(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ExtendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsPlainFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ExtendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveReparsePoint(const std::wstring& path) {
    if (!JudgeDeletion(path, false)) return false;
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
    std::wstring base;
    if (!JudgeDeletion(path, true, base)) return false;
    const DWORD attributes = GetFileAttributesW(ExtendedPath(base).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveReparsePoint(base);

    // Entries are named from the resolved path, so "." / ".." steps of the caller's spelling
    // cannot stand between a child's name and its exact form.
    const std::wstring folder = WithTrailingBackslash(base);
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
    // The shell reads wildcards and takes no exact form: such paths could reach more than the
    // one file or folder asked for.
    std::wstring from;
    if (path.find_first_of(L"*?") != std::wstring::npos || !JudgeDeletion(path, true, from) ||
        HasDevicePrefix(from))
        return false;
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
    if (!JudgeDeletion(path, false)) return false;
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

bool WriteFileReplacing(const std::wstring& path, const std::string& bytes) {
    const std::wstring fresh = path + L".new";
    return WriteBytesToFile(fresh, bytes.data(), static_cast<unsigned long>(bytes.size()), false) &&
           ReplaceFileWith(fresh, path);
}

bool ReplaceFileWith(const std::wstring& fresh, const std::wstring& target) {
    return MoveFileExW(ExtendedPath(fresh).c_str(), ExtendedPath(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool CopyFileVerified(const std::wstring& from, const std::wstring& to, const std::string& digest) {
    const std::optional<std::string> expected = digest.empty() ? FileSha256(ExtendedPath(from)) : digest;
    if (!expected) return false;
    if (!CopyFileW(ExtendedPath(from).c_str(), ExtendedPath(to).c_str(), TRUE)) return false;
    if (FileSha256(ExtendedPath(to)) == expected) return true;
    DeleteFileForce(to);
    SetLastError(ERROR_CRC);
    return false;
}

bool MoveFileVerified(const std::wstring& from, const std::wstring& to, const std::string& digest) {
    if (MoveFileExW(ExtendedPath(from).c_str(), ExtendedPath(to).c_str(), 0)) return true;
    if (GetLastError() != ERROR_NOT_SAME_DEVICE || !CopyFileVerified(from, to, digest)) return false;
    if (DeleteFileForce(from)) return true;
    const DWORD error = GetLastError();
    DeleteFileForce(to);
    SetLastError(error);
    return false;
}

bool MoveFolder(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(ExtendedPath(from).c_str(), ExtendedPath(to).c_str(), 0) != FALSE;
}

bool ExtractResourceToFile(const wchar_t* type, const wchar_t* name, const std::wstring& path) {
    const ResourceBytes resource = FindResourceBytes(nullptr, type, name);
    if (!resource.found) return false;
    if (GetFileAttributesW(ExtendedPath(path).c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteFileForce(path))
        return false;
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

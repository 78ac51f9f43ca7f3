#include "system/folder_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "system/file_ops.h"
#include "system/win_info.h"

namespace tidemark {

namespace {

using NTSTATUS_ = LONG;

constexpr NTSTATUS_ kStatusNoMoreFiles = static_cast<NTSTATUS_>(0x80000006);
constexpr NTSTATUS_ kStatusNoSuchFile = static_cast<NTSTATUS_>(0xC000000F);
constexpr NTSTATUS_ kStatusNotADirectory = static_cast<NTSTATUS_>(0xC0000103);
constexpr ULONG kFileBothDirectoryInformation = 3;
constexpr ULONG kFileDirectoryFile = 0x00000001;
constexpr ULONG kFileSynchronousIoNonalert = 0x00000020;
constexpr ULONG kFileOpenForBackupIntent = 0x00004000;
constexpr ULONG kObjCaseInsensitive = 0x00000040;
constexpr std::size_t kBufferBytes = 64 * 1024;

struct NtUnicodeString {
    USHORT Length;  // bytes
    USHORT MaximumLength;
    PWSTR Buffer;
};

struct NtObjectAttributes {
    ULONG Length;
    HANDLE RootDirectory;
    NtUnicodeString* ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
};

struct NtIoStatusBlock {
    union {
        NTSTATUS_ Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
};

// One entry of a FileBothDirectoryInformation listing, as the file system lays it out.
struct BothDirInformation {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER EndOfFile;
    LARGE_INTEGER AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;  // bytes
    ULONG EaSize;
    CCHAR ShortNameLength;  // bytes
    WCHAR ShortName[12];
    WCHAR FileName[1];
};
static_assert(offsetof(BothDirInformation, EndOfFile) == 40);
static_assert(offsetof(BothDirInformation, FileAttributes) == 56);
static_assert(offsetof(BothDirInformation, ShortNameLength) == 68);
static_assert(offsetof(BothDirInformation, ShortName) == 70);
static_assert(offsetof(BothDirInformation, FileName) == 94);

using QueryDirectoryFileFn = NTSTATUS_(NTAPI*)(HANDLE, HANDLE, PVOID, PVOID, NtIoStatusBlock*, PVOID, ULONG, ULONG,
                                               BOOLEAN, NtUnicodeString*, BOOLEAN);
using OpenFileFn = NTSTATUS_(NTAPI*)(HANDLE*, ACCESS_MASK, NtObjectAttributes*, NtIoStatusBlock*, ULONG, ULONG);
using DosPathToNtPathFn = BOOLEAN(NTAPI*)(PCWSTR, NtUnicodeString*, PWSTR*, PVOID);
using StatusToErrorFn = ULONG(NTAPI*)(NTSTATUS_);
using CloseFn = NTSTATUS_(NTAPI*)(HANDLE);

struct NativeCalls {
    QueryDirectoryFileFn queryDirectory = nullptr;
    OpenFileFn openFile = nullptr;
    DosPathToNtPathFn dosPathToNtPath = nullptr;
    StatusToErrorFn statusToError = nullptr;
    CloseFn close = nullptr;
    bool available = false;
};

template <typename Fn>
Fn Proc(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const NativeCalls& Native() {
    static const NativeCalls calls = [] {
        NativeCalls c;
        if (GetWindowsFamily() != 2) return c;  // the 9x family lists through FindFirstFile
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        if (!ntdll) return c;
        c.queryDirectory = Proc<QueryDirectoryFileFn>(ntdll, "NtQueryDirectoryFile");
        c.openFile = Proc<OpenFileFn>(ntdll, "NtOpenFile");
        c.dosPathToNtPath = Proc<DosPathToNtPathFn>(ntdll, "RtlDosPathNameToNtPathName_U");
        c.statusToError = Proc<StatusToErrorFn>(ntdll, "RtlNtStatusToDosError");
        c.close = Proc<CloseFn>(ntdll, "NtClose");
        c.available = c.queryDirectory && c.openFile && c.dosPathToNtPath && c.statusToError && c.close;
        return c;
    }();
    return calls;
}

DWORD ErrorOfStatus(NTSTATUS_ status) {
    if (status == kStatusNotADirectory) return ERROR_DIRECTORY;
    const DWORD error = Native().statusToError(status);
    return error ? error : ERROR_ACCESS_DENIED;
}

// Opens a folder for listing: by its NT name, or by name relative to the folder root has open.
DWORD OpenNative(HANDLE root, std::wstring_view name, HANDLE& handle) {
    NtUnicodeString objectName{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                               static_cast<USHORT>(name.size() * sizeof(wchar_t)), const_cast<PWSTR>(name.data())};
    NtObjectAttributes attributes{sizeof(NtObjectAttributes), root, &objectName, kObjCaseInsensitive, nullptr, nullptr};
    NtIoStatusBlock io{};
    HANDLE opened = nullptr;
    const NTSTATUS_ status =
        Native().openFile(&opened, FILE_LIST_DIRECTORY | SYNCHRONIZE, &attributes, &io,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          kFileDirectoryFile | kFileSynchronousIoNonalert | kFileOpenForBackupIntent);
    if (status < 0) return ErrorOfStatus(status);
    handle = opened;
    return 0;
}

// One listing buffer kept per thread between folders: a walk reads one folder after another.
thread_local std::unique_ptr<std::uint8_t[]> spareBuffer;

}  // namespace

bool FolderReader::NativeAvailable() { return Native().available; }

FolderReader::FolderReader(FolderReadMethod method)
    : native_(method != FolderReadMethod::FindFile && Native().available) {}

FolderReader::~FolderReader() { Close(); }

void FolderReader::Close() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        if (native_) Native().close(handle_);
        else FindClose(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    EndListing();
    error_ = 0;
    ended_ = false;
}

void FolderReader::EndListing() {
    if (buffer_ && !spareBuffer) spareBuffer = std::move(buffer_);
    buffer_.reset();
    find_.reset();
    haveEntries_ = pending_ = false;
    next_ = 0;
    ended_ = true;
}

DWORD FolderReader::Open(const std::wstring& folder) {
    Close();
    if (folder.empty()) return error_ = ERROR_PATH_NOT_FOUND;
    if (!native_) {
        std::wstring pattern = folder;
        if (pattern.back() != L'\\') pattern += L'\\';
        find_ = std::make_unique<WIN32_FIND_DATAW>();
        handle_ = FindFirstFileExW(ExtendedPath(pattern + L"*").c_str(), FindExInfoStandard, find_.get(),
                                   FindExSearchNameMatch, nullptr, 0);
        if (handle_ == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            find_.reset();
            // An empty drive root has no entry at all: an empty listing, not an error.
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) {
                ended_ = true;
                return 0;
            }
            // A file in the folder's place: named as the file system's listing names it.
            const DWORD attributes = GetFileAttributesW(ExtendedPath(folder).c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                return error_ = ERROR_DIRECTORY;
            return error_ = error ? error : ERROR_PATH_NOT_FOUND;
        }
        pending_ = true;
        return 0;
    }
    NtUnicodeString ntName{};
    if (!Native().dosPathToNtPath(ExtendedPath(folder).c_str(), &ntName, nullptr, nullptr))
        return error_ = ERROR_PATH_NOT_FOUND;
    HANDLE handle = INVALID_HANDLE_VALUE;
    const DWORD error =
        OpenNative(nullptr, std::wstring_view(ntName.Buffer, ntName.Length / sizeof(wchar_t)), handle);
    HeapFree(GetProcessHeap(), 0, ntName.Buffer);
    if (error) return error_ = error;
    handle_ = handle;
    return 0;
}

DWORD FolderReader::OpenChild(const FolderReader* parent, std::wstring_view name, const std::wstring& fullPath) {
    if (!native_ || !parent || !parent->native_ || parent->handle_ == INVALID_HANDLE_VALUE || name.empty() ||
        name.size() > 32767)
        return Open(fullPath);
    Close();
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (const DWORD error = OpenNative(parent->handle_, name, handle)) return error_ = error;
    handle_ = handle;
    return 0;
}

bool FolderReader::Next(FolderItem& item) {
    if (ended_ || handle_ == INVALID_HANDLE_VALUE) return false;
    const bool got = native_ ? NativeNext(item) : FindNext(item);
    if (!got) {
        const DWORD error = error_;
        EndListing();
        error_ = error;
    }
    return got;
}

bool FolderReader::NativeNext(FolderItem& item) {
    for (;;) {
        if (!haveEntries_) {
            if (!buffer_) buffer_ = spareBuffer ? std::move(spareBuffer) : std::unique_ptr<std::uint8_t[]>(new std::uint8_t[kBufferBytes]);
            NtIoStatusBlock io{};
            const NTSTATUS_ status = Native().queryDirectory(handle_, nullptr, nullptr, nullptr, &io, buffer_.get(),
                                                             kBufferBytes, kFileBothDirectoryInformation, FALSE,
                                                             nullptr, FALSE);
            if (status == kStatusNoMoreFiles || status == kStatusNoSuchFile) return false;
            if (status < 0) {
                error_ = ErrorOfStatus(status);
                return false;
            }
            if (io.Information == 0) return false;
            haveEntries_ = true;
            next_ = 0;
            filled_ = std::min<std::size_t>(io.Information, kBufferBytes);
        }
        // Every entry, name included, must lie within what the call filled; a listing that
        // says otherwise is broken off as unreadable rather than read past its end.
        constexpr std::size_t kNameAt = offsetof(BothDirInformation, FileName);
        const auto* entry = reinterpret_cast<const BothDirInformation*>(buffer_.get() + next_);
        if (next_ + kNameAt > filled_ || entry->FileNameLength > filled_ - next_ - kNameAt ||
            (entry->NextEntryOffset != 0 && entry->NextEntryOffset < kNameAt)) {
            error_ = ERROR_FILE_CORRUPT;
            return false;
        }
        if (entry->NextEntryOffset == 0) haveEntries_ = false;
        else next_ += entry->NextEntryOffset;
        const std::size_t nameLength = entry->FileNameLength / sizeof(wchar_t);
        const wchar_t* name = entry->FileName;
        if (nameLength == 0 || (name[0] == L'.' && (nameLength == 1 || (nameLength == 2 && name[1] == L'.'))))
            continue;
        item.name = std::wstring_view(name, nameLength);
        const std::size_t shortLength = std::min<std::size_t>(static_cast<unsigned char>(entry->ShortNameLength) / 2, 12);
        item.shortName = std::wstring_view(entry->ShortName, shortLength);
        item.attributes = entry->FileAttributes;
        LARGE_INTEGER size;
        std::memcpy(&size, &entry->EndOfFile, sizeof size);
        item.size = static_cast<std::uint64_t>(size.QuadPart);
        return true;
    }
}

bool FolderReader::FindNext(FolderItem& item) {
    for (;;) {
        if (!pending_) {
            if (!FindNextFileW(handle_, find_.get())) {
                const DWORD error = GetLastError();
                if (error != ERROR_NO_MORE_FILES) error_ = error;
                return false;
            }
        }
        pending_ = false;
        const wchar_t* name = find_->cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
        item.name = std::wstring_view(name);
        item.shortName = std::wstring_view(find_->cAlternateFileName);
        item.attributes = find_->dwFileAttributes;
        item.size = (static_cast<std::uint64_t>(find_->nFileSizeHigh) << 32) | find_->nFileSizeLow;
        return true;
    }
}

}  // namespace tidemark

// The native-API declarations the boot tool needs beyond what winternl.h gives, and the
// structures it reads. Only ntdll is called: the tool runs before the Win32 subsystem exists.
#pragma once

#include <windows.h>
#include <winternl.h>

extern "C" {
NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apcRoutine, PVOID apcContext,
                                    PIO_STATUS_BLOCK io, PVOID buffer, ULONG length,
                                    FILE_INFORMATION_CLASS infoClass, BOOLEAN singleEntry,
                                    PUNICODE_STRING fileName, BOOLEAN restartScan);
NTSTATUS NTAPI NtReadFile(HANDLE file, HANDLE event, PVOID apcRoutine, PVOID apcContext,
                          PIO_STATUS_BLOCK io, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                          PULONG key);
NTSTATUS NTAPI NtOpenKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes);
NTSTATUS NTAPI NtEnumerateKey(HANDLE key, ULONG index, int infoClass, PVOID buffer, ULONG length,
                              PULONG resultLength);
NTSTATUS NTAPI NtDeleteKey(HANDLE key);
NTSTATUS NTAPI NtDeleteValueKey(HANDLE key, PUNICODE_STRING valueName);
NTSTATUS NTAPI NtDisplayString(PUNICODE_STRING text);
NTSTATUS NTAPI NtTerminateProcess(HANDLE process, NTSTATUS status);
NTSTATUS NTAPI RtlMultiByteToUnicodeN(PWCH unicode, ULONG unicodeBytes, PULONG resultBytes,
                                      const CHAR* multiByte, ULONG multiByteBytes);
}

namespace tidemark::cleandos::nt {

constexpr NTSTATUS kSuccess = 0;
constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005);
constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
constexpr NTSTATUS kNoMoreEntries = static_cast<NTSTATUS>(0x8000001A);
constexpr NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
constexpr NTSTATUS kNoMemory = static_cast<NTSTATUS>(0xC0000017);
constexpr NTSTATUS kObjectNameInvalid = static_cast<NTSTATUS>(0xC0000033);
constexpr NTSTATUS kObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS kObjectPathNotFound = static_cast<NTSTATUS>(0xC000003A);
constexpr NTSTATUS kFileIsADirectory = static_cast<NTSTATUS>(0xC00000BA);
constexpr NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103);
constexpr NTSTATUS kNotAReparsePoint = static_cast<NTSTATUS>(0xC0000275);
constexpr NTSTATUS kTooDeep = static_cast<NTSTATUS>(0xC00000FD);  // stack overflow

constexpr ULONG kFileOpen = 1;
constexpr ULONG kDirectoryFile = 0x00000001;
constexpr ULONG kSynchronousIo = 0x00000020;
constexpr ULONG kNonDirectoryFile = 0x00000040;
constexpr ULONG kBackupIntent = 0x00004000;
constexpr ULONG kOpenReparsePoint = 0x00200000;
constexpr ULONG kObjCaseInsensitive = 0x40;
constexpr ULONG kObjOpenLink = 0x100;
constexpr int kKeyBasicInformation = 0;

struct FileBasic {
    LARGE_INTEGER creationTime;
    LARGE_INTEGER lastAccessTime;
    LARGE_INTEGER lastWriteTime;
    LARGE_INTEGER changeTime;
    ULONG attributes;
};

struct FileStandard {
    LARGE_INTEGER allocationSize;
    LARGE_INTEGER endOfFile;
    ULONG numberOfLinks;
    BOOLEAN deletePending;
    BOOLEAN directory;
};

struct FileDisposition {
    BOOLEAN deleteFile;
};

struct FileEndOfFile {
    LARGE_INTEGER endOfFile;
};

struct FileDirectoryEntry {
    ULONG nextEntryOffset;
    ULONG fileIndex;
    LARGE_INTEGER creationTime;
    LARGE_INTEGER lastAccessTime;
    LARGE_INTEGER lastWriteTime;
    LARGE_INTEGER changeTime;
    LARGE_INTEGER endOfFile;
    LARGE_INTEGER allocationSize;
    ULONG attributes;
    ULONG fileNameLength;  // bytes
    WCHAR fileName[1];
};

struct KeyBasic {
    LARGE_INTEGER lastWriteTime;
    ULONG titleIndex;
    ULONG nameLength;  // bytes
    WCHAR name[1];
};

}  // namespace tidemark::cleandos::nt

// The native structures the NT family's process listing reads, and the
// helpers over them. Used by win_sys.cpp and its tests only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "system/win_sys.h"

namespace tidemark::native {

// Pointer-sized fields are std::uintptr_t: the layouts are those of a process of our own width
// (the product is 32-bit; the 64-bit test build reads 64-bit processes the same way).
using RemotePointer = std::uintptr_t;
constexpr bool kWide = sizeof(void*) == 8;

struct RemoteUnicodeString {
    std::uint16_t Length;  // bytes
    std::uint16_t MaximumLength;
    RemotePointer Buffer;
};

struct ObjectAttributes {
    ULONG Length;
    HANDLE RootDirectory;
    void* ObjectName;
    ULONG Attributes;
    void* SecurityDescriptor;
    void* SecurityQualityOfService;
};

struct ClientId {
    std::uintptr_t UniqueProcess;
    std::uintptr_t UniqueThread;
};

struct ProcessBasicInformation {
    LONG ExitStatus;
    RemotePointer PebBaseAddress;
    RemotePointer AffinityMask;
    LONG BasePriority;
    RemotePointer UniqueProcessId;
    RemotePointer InheritedFromUniqueProcessId;
};

// The start of the environment block, up to the process heap.
struct PebStart {
    std::uint8_t Flags[4];
    RemotePointer Mutant;
    RemotePointer ImageBaseAddress;
    RemotePointer Ldr;
    RemotePointer ProcessParameters;
    RemotePointer SubSystemData;
    RemotePointer ProcessHeap;
};
static_assert(sizeof(PebStart) == (kWide ? 56 : 28));
static_assert(offsetof(PebStart, Ldr) == (kWide ? 0x18 : 12));

// The loader data: the load-order list head follows length, flag and SsHandle.
struct LoaderData {
    std::uint32_t Length;
    std::uint32_t Initialized;
    RemotePointer SsHandle;
    RemotePointer LoadOrderFlink, LoadOrderBlink;
    RemotePointer MemoryOrder[2];
    RemotePointer InitOrder[2];
};
static_assert(sizeof(LoaderData) == (kWide ? 64 : 36));
static_assert(offsetof(LoaderData, LoadOrderFlink) == (kWide ? 0x10 : 12));

// The start of a loader entry, up to both names.
struct LoaderEntry {
    RemotePointer LoadOrderFlink, LoadOrderBlink;
    RemotePointer MemoryOrder[2];
    RemotePointer InitOrder[2];
    RemotePointer DllBase;
    RemotePointer EntryPoint;
    std::uint32_t SizeOfImage;
    RemoteUnicodeString FullDllName;
    RemoteUnicodeString BaseDllName;
    RemotePointer Rest[5];
};
static_assert(sizeof(LoaderEntry) == (kWide ? 144 : 72));
static_assert(offsetof(LoaderEntry, FullDllName) == (kWide ? 0x48 : 36));

// The start of the process parameters, up to the image path and some way beyond.
struct ProcessParameters {
    std::uint8_t Before[kWide ? 0x60 : 56];
    RemoteUnicodeString ImagePathName;
    std::uint8_t After[80];
};
static_assert(offsetof(ProcessParameters, ImagePathName) == (kWide ? 0x60 : 56));

// One process of the native process list (Windows 2000 and later), its threads after it.
constexpr std::size_t kProcessEntrySize = kWide ? 256 : 184;
struct ProcessEntry {
    std::uint32_t NextEntryOffset;
    std::uint32_t NumberOfThreads;
    std::uint8_t Reserved[48];
    RemoteUnicodeString ImageName;
    LONG BasePriority;
    RemotePointer UniqueProcessId;
    RemotePointer InheritedFromUniqueProcessId;
    std::uint32_t HandleCount;
    std::uint8_t Counters[kProcessEntrySize - (kWide ? 0x64 : 80)];
};
static_assert(sizeof(ProcessEntry) == kProcessEntrySize);
static_assert(offsetof(ProcessEntry, UniqueProcessId) == (kWide ? 0x50 : 68));

struct ThreadEntry {
    std::uint8_t Times[28];
    RemotePointer StartAddress;
    RemotePointer UniqueProcess;
    RemotePointer UniqueThread;
    LONG Priority;
    LONG BasePriority;
    std::uint32_t ContextSwitches;
    std::uint32_t ThreadState;
    std::uint32_t WaitReason;
    std::uint32_t Padding;
};
static_assert(sizeof(ThreadEntry) == (kWide ? 80 : 64));

// One entry of the kernel-module list: base, size, flags, four counters and the path.
struct KernelModuleEntry {
    RemotePointer Reserved[2];
    RemotePointer Base;
    std::uint32_t Size;
    std::uint32_t Flags;
    std::uint16_t Index;
    std::uint16_t Unknown;
    std::uint16_t LoadCount;
    std::uint16_t NameOffset;
    char FullPath[256];
};
static_assert(sizeof(KernelModuleEntry) == (kWide ? 296 : 284));
static_assert(offsetof(KernelModuleEntry, FullPath) == (kWide ? 40 : 28));

// The module walk ends after this many entries whatever the links say.
constexpr std::size_t kMostModules = 4096;

bool ReadRemote(HANDLE process, RemotePointer address, void* buffer, std::size_t size);
std::optional<PebStart> ReadRemotePeb(HANDLE process);
std::wstring ReadRemoteUnicodeString(HANDLE process, const RemoteUnicodeString& descriptor);
// The native process list; empty on failure.
std::string QueryProcessList();
std::vector<const ProcessEntry*> ProcessEntries(const std::string& list);
std::wstring EntryImageName(const std::string& list, const ProcessEntry& entry);
std::vector<ThreadEntry> EntryThreads(const std::string& list, const ProcessEntry& entry);
// The modules of the load-order list, walked backwards, without the program's own image.
std::vector<TModuleItem> ReadLoaderModules(HANDLE process);

}  // namespace tidemark::native

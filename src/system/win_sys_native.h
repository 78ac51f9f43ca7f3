// The native structures the NT family's process listing reads (32-bit layouts), and the
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

struct RemoteUnicodeString {
    std::uint16_t Length;  // bytes
    std::uint16_t MaximumLength;
    std::uint32_t Buffer;
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
    std::uint32_t PebBaseAddress;
    std::uint32_t AffinityMask;
    LONG BasePriority;
    std::uint32_t UniqueProcessId;
    std::uint32_t InheritedFromUniqueProcessId;
};

// The first 28 bytes of the environment block.
struct PebStart {
    std::uint8_t Flags[4];
    std::uint32_t Mutant;
    std::uint32_t ImageBaseAddress;
    std::uint32_t Ldr;
    std::uint32_t ProcessParameters;
    std::uint32_t SubSystemData;
    std::uint32_t ProcessHeap;
};
static_assert(sizeof(PebStart) == 28);

// The loader data (36 bytes): the load-order list head is at byte 12.
struct LoaderData {
    std::uint32_t Length;
    std::uint32_t Initialized;
    std::uint32_t SsHandle;
    std::uint32_t LoadOrderFlink, LoadOrderBlink;
    std::uint32_t MemoryOrder[2];
    std::uint32_t InitOrder[2];
};
static_assert(sizeof(LoaderData) == 36);

// The first 72 bytes of a loader entry.
struct LoaderEntry {
    std::uint32_t LoadOrderFlink, LoadOrderBlink;
    std::uint32_t MemoryOrder[2];
    std::uint32_t InitOrder[2];
    std::uint32_t DllBase;
    std::uint32_t EntryPoint;
    std::uint32_t SizeOfImage;
    RemoteUnicodeString FullDllName;
    RemoteUnicodeString BaseDllName;
    std::uint32_t Rest[5];
};
static_assert(sizeof(LoaderEntry) == 72);

// The first 144 bytes of the process parameters: the image path is at byte 56.
struct ProcessParameters {
    std::uint8_t Before[56];
    RemoteUnicodeString ImagePathName;
    std::uint8_t After[80];
};
static_assert(sizeof(ProcessParameters) == 144);
static_assert(offsetof(ProcessParameters, ImagePathName) == 56);

// One process of the native process list (Windows 2000 and later), its threads after it.
struct ProcessEntry {
    std::uint32_t NextEntryOffset;
    std::uint32_t NumberOfThreads;
    std::uint8_t Reserved[48];
    RemoteUnicodeString ImageName;
    LONG BasePriority;
    std::uint32_t UniqueProcessId;
    std::uint32_t InheritedFromUniqueProcessId;
    std::uint32_t HandleCount;
    std::uint8_t Counters[184 - 80];
};
static_assert(sizeof(ProcessEntry) == 184);
static_assert(offsetof(ProcessEntry, UniqueProcessId) == 68);

struct ThreadEntry {
    std::uint8_t Times[28];
    std::uint32_t StartAddress;
    std::uint32_t UniqueProcess;
    std::uint32_t UniqueThread;
    LONG Priority;
    LONG BasePriority;
    std::uint32_t ContextSwitches;
    std::uint32_t ThreadState;
    std::uint32_t WaitReason;
    std::uint32_t Padding;
};
static_assert(sizeof(ThreadEntry) == 64);

// One entry of the kernel-module list (284 bytes): base at byte 8, size at 12, path at 28.
struct KernelModuleEntry {
    std::uint32_t Reserved[2];
    std::uint32_t Base;
    std::uint32_t Size;
    std::uint32_t Flags;
    std::uint16_t Index;
    std::uint16_t Unknown;
    std::uint16_t LoadCount;
    std::uint16_t NameOffset;
    char FullPath[256];
};
static_assert(sizeof(KernelModuleEntry) == 284);
static_assert(offsetof(KernelModuleEntry, FullPath) == 28);

// The module walk ends after this many entries whatever the links say.
constexpr std::size_t kMostModules = 4096;

bool ReadRemote(HANDLE process, std::uint32_t address, void* buffer, std::size_t size);
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

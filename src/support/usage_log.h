// Usage events handed to the maker's logging library "qklog.dll" when it lies beside the
// executable: a fixed 80-byte record per event, given to its export AddLog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "system/guarded_call.h"

namespace tidemark {

// Little-endian, 80 bytes; every byte not set is zero.
struct UsageRecord {
    std::uint32_t Size = 80;
    std::uint32_t Reserved1 = 1;
    std::uint32_t Product = 12;      // every event code starts with "12."
    char16_t Version[16] = {};       // "1.31.0.0"
    char16_t EventCode[16] = {};     // empty for start and close
    std::uint32_t Reserved2 = 0;
};
static_assert(sizeof(UsageRecord) == 80, "the log library expects 80 bytes");
static_assert(offsetof(UsageRecord, Version) == 12 && offsetof(UsageRecord, EventCode) == 44 &&
                  offsetof(UsageRecord, Reserved2) == 76,
              "record layout");

enum UsageType : std::uint16_t { UsageStart = 4, UsageClose = 5, UsageAction = 6 };

// The user actions that are reported, each with its event code.
enum class UsageEvent {
    TabTraces, TabJunk, TabCustom, TabRegistry, TabPlugins,
    TraceScan, JunkScan, JunkClean, RegistryScan, RegistryClean, PluginScan, PluginClean,
    CustomScan, CustomClean,
};
const wchar_t* UsageEventCode(UsageEvent event);

UsageRecord MakeUsageRecord(const std::wstring& eventCode);

// Where the library is looked for; set once at start-up before any event is sent.
void SetLogLibraryPath(const std::wstring& path);
const std::wstring& LogLibraryPath();
// The log library is there: records go out through it (and may take their time).
bool UsageLogPresent();

// Loads the library, calls AddLog(type, &record) and unloads it again. False when the file is
// missing, cannot be loaded, lacks AddLog, AddLog returns 0 or the library faults (loading,
// in AddLog or unloading: each step is guarded, see system/guarded_call.h); callers ignore the
// result.
bool SendUsageRecord(std::uint16_t type, const std::wstring& eventCode);
bool SendUsageEvent(UsageEvent event);

// The library loader: loads at construction when the file exists, unloads at destruction; both
// guarded against the library's faults.
class TLogImp {
public:
    explicit TLogImp(const std::wstring& path);
    ~TLogImp();
    TLogImp(const TLogImp&) = delete;
    TLogImp& operator=(const TLogImp&) = delete;

    bool Send(std::uint16_t type, const UsageRecord& record) const;

private:
    std::wstring path_;
    UniqueForeignLibrary library_;
};

// Sends the start record from a thread of its own, which ends and frees itself. Whatever goes
// wrong there ends only that thread's work.
class TUPThread {
public:
    static void Start();
};

}  // namespace tidemark

#include "support/usage_log.h"

#include <windows.h>

#include <algorithm>

#include "system/guarded_call.h"
#include "system/handles.h"

namespace tidemark {
namespace {

constexpr wchar_t kProgramVersion[] = L"1.31.0.0";

std::wstring g_libraryPath;

void CopyField(char16_t (&field)[16], const std::wstring& text) {
    const std::size_t n = std::min<std::size_t>(text.size(), 15);  // room for the NUL
    for (std::size_t i = 0; i < n; ++i) field[i] = static_cast<char16_t>(text[i]);
}

using AddLogFunction = BOOL(WINAPI*)(DWORD type, const UsageRecord* record);

DWORD WINAPI SendStartRecord(void*) {
    try {
        SendUsageRecord(UsageStart, L"");
    } catch (...) {
    }
    return 0;
}

}  // namespace

const wchar_t* UsageEventCode(UsageEvent event) {
    switch (event) {
    case UsageEvent::TabTraces: return L"12.H.CLE";
    case UsageEvent::TabJunk: return L"12.W.CLE";
    case UsageEvent::TabCustom: return L"12.Z.CLE";
    case UsageEvent::TabRegistry: return L"12.R.CLE";
    case UsageEvent::TabPlugins: return L"12.B.CLE";
    case UsageEvent::TraceScan: return L"12.H.YJ";
    case UsageEvent::JunkScan: return L"12.W.SM";
    case UsageEvent::JunkClean: return L"12.W.QL";
    case UsageEvent::RegistryScan: return L"12.R.SM";
    case UsageEvent::RegistryClean: return L"12.R.QL";
    case UsageEvent::PluginScan: return L"12.S.SM";
    case UsageEvent::PluginClean: return L"12.S.QL";
    case UsageEvent::CustomScan: return L"12.Z.SM";
    case UsageEvent::CustomClean: return L"12.Z.QL";
    }
    return L"";
}

UsageRecord MakeUsageRecord(const std::wstring& eventCode) {
    UsageRecord record;
    CopyField(record.Version, kProgramVersion);
    CopyField(record.EventCode, eventCode);
    return record;
}

void SetLogLibraryPath(const std::wstring& path) { g_libraryPath = path; }
const std::wstring& LogLibraryPath() { return g_libraryPath; }

bool UsageLogPresent() {
    return !g_libraryPath.empty() && GetFileAttributesW(g_libraryPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TLogImp::TLogImp(const std::wstring& path) : path_(path) {
    if (GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES) library_.reset(LoadForeignLibrary(path_));
}

TLogImp::~TLogImp() = default;

bool TLogImp::Send(std::uint16_t type, const UsageRecord& record) const {
    if (!library_) return false;
    const auto addLog = ForeignExport<AddLogFunction>(library_.get(), "AddLog");
    if (!addLog) return false;
    BOOL accepted = FALSE;
    return CallGuarded([&] { accepted = addLog(type, &record); }) && accepted != FALSE;
}

bool SendUsageRecord(std::uint16_t type, const std::wstring& eventCode) {
    if (!UsageLogPresent()) return false;
    const UsageRecord record = MakeUsageRecord(eventCode);
    const TLogImp log(g_libraryPath);
    return log.Send(type, record);
}

bool SendUsageEvent(UsageEvent event) { return SendUsageRecord(UsageAction, UsageEventCode(event)); }

void TUPThread::Start() {
    // Nobody waits for it: the handle is closed at once and the thread ends by itself.
    UniqueHandle thread(CreateThread(nullptr, 0, SendStartRecord, nullptr, 0, nullptr));
}

}  // namespace tidemark

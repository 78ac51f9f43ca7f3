#include "system/sys_misc.h"

#include <windows.h>
#include <shellapi.h>
#include <urlhist.h>

#include <optional>
#include <utility>
#include <vector>

#include "system/handles.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

constexpr wchar_t kProcessInfoHost[] = L"http://www.corvane.com";

// The system's URL history object and its second history-store interface.
constexpr CLSID kUrlHistoryClass = {0x3C374A40, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};
constexpr IID kUrlHistoryStg2 = {0xAFA0DC11, 0xC313, 0x11D0, {0x83, 0x1A, 0x00, 0xC0, 0x4F, 0xD5, 0xAE, 0x38}};

bool AdjustPrivilege(HANDLE token, const wchar_t* name, bool enable) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) return false;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    // AdjustTokenPrivileges succeeds with ERROR_NOT_ALL_ASSIGNED when the token lacks it.
    if (!AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr))
        return false;
    return GetLastError() == ERROR_SUCCESS;
}

// Vista and later: the token's elevation. Nothing when the system does not know it (before
// Vista the call refuses the class).
std::optional<bool> TokenElevated(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) || size != sizeof elevation)
        return std::nullopt;
    return elevation.TokenIsElevated != 0;
}

// The token's groups hold the Administrators group, enabled (NT 4, which lacks
// CheckTokenMembership).
bool AdminsGroupEnabled(HANDLE token, PSID admins) {
    DWORD size = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    if (size < sizeof(TOKEN_GROUPS)) return false;
    std::vector<unsigned char> buffer(size);
    auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buffer.data());
    if (!GetTokenInformation(token, TokenGroups, groups, size, &size)) return false;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        const SID_AND_ATTRIBUTES& group = groups->Groups[i];
        if ((group.Attributes & SE_GROUP_ENABLED) && EqualSid(group.Sid, admins)) return true;
    }
    return false;
}

bool SystemAdminRights() {
    if (GetWindowsFamily() == 1) return true;  // the 9x family has no rights to lack
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    if (const std::optional<bool> elevated = TokenElevated(token.get())) return *elevated;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &admins))
        return false;
    bool member = false;
    // Looked up: the call came with Windows 2000.
    using CheckMembership = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);
    const auto check = reinterpret_cast<CheckMembership>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "CheckTokenMembership")));
    BOOL is = FALSE;
    if (check) {
        member = check(nullptr, admins, &is) && is;
    } else {
        member = AdminsGroupEnabled(token.get(), admins);
    }
    FreeSid(admins);
    return member;
}

AdminRightsQuery& InstalledRightsQuery() {
    static AdminRightsQuery query = nullptr;
    return query;
}

AdminRefusalTally*& InnermostTally() {
    static AdminRefusalTally* tally = nullptr;
    return tally;
}

}  // namespace

bool HasAdminRights() {
    if (const AdminRightsQuery query = InstalledRightsQuery()) return query();
    static const bool rights = SystemAdminRights();
    return rights;
}

AdminRightsQuery SetAdminRightsQuery(AdminRightsQuery query) { return std::exchange(InstalledRightsQuery(), query); }

bool NeedsAdminRights(unsigned long error) {
    return (error == ERROR_ACCESS_DENIED || error == ERROR_PRIVILEGE_NOT_HELD) && !HasAdminRights();
}

AdminRefusalTally::AdminRefusalTally() : outer_(InnermostTally()) { InnermostTally() = this; }

AdminRefusalTally::~AdminRefusalTally() { InnermostTally() = outer_; }

std::uint64_t AdminRefusalTally::TakeNew() { return total_ - std::exchange(taken_, total_); }

void NoteRefusal(unsigned long error) {
    if (!InnermostTally() || !NeedsAdminRights(error)) return;
    for (AdminRefusalTally* tally = InnermostTally(); tally; tally = tally->outer_) ++tally->total_;
}

bool SetDebugPrivileges(bool enable) {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put()))
        return false;
    const bool debug = AdjustPrivilege(token.get(), L"SeDebugPrivilege", enable);
    const bool security = AdjustPrivilege(token.get(), L"SeSecurityPrivilege", enable);
    return debug && security;
}

bool ClearUrlHistory() {
    // COM may already be initialised on this thread in another model; that is fine.
    const HRESULT init = CoInitialize(nullptr);
    IUrlHistoryStg2* history = nullptr;
    const HRESULT hr = CoCreateInstance(kUrlHistoryClass, nullptr, CLSCTX_INPROC_SERVER, kUrlHistoryStg2, reinterpret_cast<void**>(&history));
    const bool created = SUCCEEDED(hr) && history != nullptr;
    if (created) {
        history->ClearHistory();
        history->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return created;
}

std::wstring ProcessInfoPageUrl(const std::wstring& path) {
    if (path.empty()) return {};
    const auto slash = path.find_last_of(L"\\/:");
    const std::wstring fileName = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return std::wstring(kProcessInfoHost) + L"/process/search.html?k=" + fileName;
}

void OpenProcessInfoPage(const std::wstring& path) {
    const std::wstring url = ProcessInfoPageUrl(path);
    if (url.empty()) return;
    ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tidemark

#include "system/sys_misc.h"

#include <windows.h>
#include <shellapi.h>
#include <urlhist.h>

#include "system/handles.h"

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

}  // namespace

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

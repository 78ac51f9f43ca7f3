#include "system/win_info.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "system/text_util.h"

namespace tidemark {
namespace {

// Calls a "fill this buffer" API, growing the buffer when the first try was too small.
template <typename Fill>
std::wstring FillBuffer(Fill fill, DWORD firstSize = MAX_PATH) {
    std::wstring buffer(firstSize, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD n = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.assign(n + 1, L'\0');
    }
    return {};
}

std::wstring Trimmed(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    const auto last = text.find_last_not_of(L" \t");
    return text.substr(first, last - first + 1);
}

std::wstring CurrentUserName() {
    wchar_t name[257] = {};
    DWORD size = 257;
    if (!GetUserNameW(name, &size)) return {};
    return name;
}

}  // namespace

std::uint8_t LanguageFromLangId(unsigned langId) {
    switch (langId) {
    case 0x0804: return LangSimplified;
    case 0x0404: case 0x0C04: case 0x1004: case 0x1404: return LangTraditional;
    default: return LangOther;
    }
}

std::uint8_t WindowsKindOf(unsigned platformId, unsigned minorVersion) {
    if (platformId == VER_PLATFORM_WIN32_WINDOWS) return minorVersion == 90 ? 1 : 0;
    switch (minorVersion) {
    case 0: return 2;
    case 1: return 3;
    default: return 4;
    }
}

TWinInfo BuildWinInfo() {
    TWinInfo info;
    info.Language = LanguageFromLangId(GetUserDefaultLangID());

    OSVERSIONINFOW basic{};
    basic.dwOSVersionInfoSize = sizeof basic;
    if (GetVersionExW(&basic)) info.Kind = WindowsKindOf(basic.dwPlatformId, basic.dwMinorVersion);

    info.WindowsDir = WithoutTrailingBackslash(
        FillBuffer([](wchar_t* b, DWORD n) { return GetWindowsDirectoryW(b, n); }));
    info.SystemDir = WithoutTrailingBackslash(
        FillBuffer([](wchar_t* b, DWORD n) { return GetSystemDirectoryW(b, n); }));
    info.TempDir = WithoutTrailingBackslash(
        FillBuffer([](wchar_t* b, DWORD n) { return GetTempPathW(n, b); }));
    if (!info.WindowsDir.empty()) {
        wchar_t letter = info.WindowsDir[0];
        CharUpperBuffW(&letter, 1);
        info.Drive.assign(1, letter);
    }
    info.UserName = CurrentUserName();
    return info;
}

const TWinInfo& GetWinInfo() {
    // Built once; the program reads it from the interface thread only.
    static const TWinInfo info = BuildWinInfo();
    return info;
}

int VersionCodeOf(const VersionFacts& f) {
    if (f.PlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        const std::wstring sp = Trimmed(f.ServicePackText);
        if (f.Major == 4 && f.Minor == 0) return sp == L"B" ? VerWin95OSR2 : VerWin95;
        if (f.Major == 4 && f.Minor == 10) return sp == L"A" ? VerWin98SE : VerWin98;
        if (f.Major == 4 && f.Minor == 90) return VerWinME;
        return VerUnknown;
    }
    if (f.PlatformId != VER_PLATFORM_WIN32_NT) return VerUnknown;
    switch (f.Major) {
    case 3: return VerNT3;
    case 4: return VerNT4;
    case 5:
        switch (f.Minor) {
        case 0: return VerWin2000;
        case 1: return VerWinXP;
        case 2: return VerWin2003;
        default: return VerUnknown;
        }
    case 6:
        if (f.Minor <= 1 && f.ProductType == VER_NT_SERVER) return VerServer6;
        if (f.Minor == 1 && f.ProductType == VER_NT_WORKSTATION) return VerWin7;
        return VerVista;
    default: return VerUnknown;
    }
}

int GetWindowsVersionCode(int& servicePackMajor) {
    OSVERSIONINFOEXW ex{};
    static_assert(sizeof ex == 284, "the extended version record is 284 bytes");
    ex.dwOSVersionInfoSize = sizeof ex;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&ex))) {
        // Windows 95 and NT 4 before SP6 know only the basic record.
        OSVERSIONINFOW basic{};
        basic.dwOSVersionInfoSize = sizeof basic;
        if (!GetVersionExW(&basic)) return VerUnknown;
        ex.dwPlatformId = basic.dwPlatformId;
        ex.dwMajorVersion = basic.dwMajorVersion;
        ex.dwMinorVersion = basic.dwMinorVersion;
        std::copy(std::begin(basic.szCSDVersion), std::end(basic.szCSDVersion), ex.szCSDVersion);
    }
    servicePackMajor = ex.wServicePackMajor;
    VersionFacts facts{ex.dwPlatformId, ex.dwMajorVersion, ex.dwMinorVersion, ex.szCSDVersion,
                       ex.wProductType};
    return VersionCodeOf(facts);
}

int GetWindowsVersionCode() {
    int sp = 0;
    return GetWindowsVersionCode(sp);
}

int FamilyOfVersionCode(int code) {
    switch (code) {
    case VerUnknown: return -1;
    case VerWin95: case VerWin95OSR2: case VerWin98: case VerWin98SE: case VerWinME: return 1;
    default: return 2;
    }
}

int GetWindowsFamily() { return FamilyOfVersionCode(GetWindowsVersionCode()); }

bool IsSafeMode() { return GetSystemMetrics(SM_CLEANBOOT) > 0; }

bool RunningUnderWine() {
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

std::wstring ExpandEnvPath(const std::wstring& text) {
    if (text.empty()) return {};
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD n = ExpandEnvironmentStringsW(text.c_str(), buffer.data(),
                                                  static_cast<DWORD>(buffer.size()));
        if (n == 0) return text;
        if (n <= buffer.size()) {
            buffer.resize(n - 1);  // n counts the terminating zero
            return buffer;
        }
        buffer.assign(n, L'\0');
    }
    return text;
}

std::wstring GetLongPath(const std::wstring& path) {
    if (path.empty()) return path;
    std::wstring result =
        FillBuffer([&](wchar_t* b, DWORD n) { return GetLongPathNameW(path.c_str(), b, n); });
    return result.empty() ? path : result;
}

std::wstring GetSpecialFolder(int csidl) {
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &pidl)) || pidl == nullptr) return {};
    std::unique_ptr<ITEMIDLIST, decltype(&CoTaskMemFree)> owner(pidl, &CoTaskMemFree);
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(pidl, path)) return {};
    return path;
}

std::wstring GetFolderPath(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path))) return {};
    return path;
}

}  // namespace tidemark

// Seeds the browser traces only the browser's own library can make: cached pages, cookies that
// outlive the session, and visited addresses in the history. Run inside the prefix by seed.sh.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>

namespace {

bool CachePage(const std::wstring& url, const char* html) {
    wchar_t file[MAX_PATH] = {};
    if (!CreateUrlCacheEntryW(url.c_str(), 0, L"htm", file, 0)) return false;
    HANDLE out = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(out, html, static_cast<DWORD>(strlen(html)), &written, nullptr);
    CloseHandle(out);
    FILETIME none{};
    return CommitUrlCacheEntryW(url.c_str(), file, none, none, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr);
}

// A history entry: the history container's prefix, the user and the address.
bool Visit(const std::wstring& url) {
    wchar_t user[256] = L"user";
    DWORD size = 256;
    GetUserNameW(user, &size);
    const std::wstring key = L"Visited: " + std::wstring(user) + L"@" + url;
    FILETIME none{};
    return CommitUrlCacheEntryW(key.c_str(), nullptr, none, none, URLHISTORY_CACHE_ENTRY | NORMAL_CACHE_ENTRY, nullptr,
                                0, nullptr, nullptr);
}

}  // namespace

int wmain() {
    int failed = 0;
    const char* page = "<html><body>seeding data for Tidemark</body></html>";
    for (const wchar_t* url : {L"http://www.example.com.cn/index.htm", L"http://www.example.com.cn/news/today.htm",
                               L"http://mail.example.net/login.htm"})
        failed += !CachePage(url, page);
    const wchar_t* expires = L"; expires=Fri, 01-Jan-2038 00:00:00 GMT";
    failed += !InternetSetCookieW(L"http://www.example.com.cn/", L"visitor", (std::wstring(L"a1b2c3") + expires).c_str());
    failed += !InternetSetCookieW(L"http://mail.example.net/", L"lang", (std::wstring(L"zh-cn") + expires).c_str());
    for (const wchar_t* url : {L"http://www.example.com.cn/", L"http://mail.example.net/login.htm"}) failed += !Visit(url);
    if (failed) std::fprintf(stderr, "tm_seed_wininet: %d browser traces could not be made\n", failed);
    return failed ? 1 : 0;
}

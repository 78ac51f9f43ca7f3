#include <gtest/gtest.h>

#include "system/sys_misc.h"

namespace tidemark {
namespace {

TEST(ProcessInfoPage, AddressCarriesTheFileNameAsItIs) {
    const struct { const wchar_t* path; const wchar_t* url; } cases[] = {
        {L"C:\\WINDOWS\\system32\\svchost.exe", L"http://www.corvane.com/process/search.html?k=svchost.exe"},
        {L"notepad.exe", L"http://www.corvane.com/process/search.html?k=notepad.exe"},
        {L"C:\\Program Files\\My App\\my app.exe",
         L"http://www.corvane.com/process/search.html?k=my app.exe"},  // unescaped
        {L"C:\\中文\\程序.exe", L"http://www.corvane.com/process/search.html?k=程序.exe"},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(ProcessInfoPageUrl(c.path), c.url);
}

TEST(ClearUrlHistory, TheHistoryStoreExists) { EXPECT_TRUE(ClearUrlHistory()); }

}  // namespace
}  // namespace tidemark

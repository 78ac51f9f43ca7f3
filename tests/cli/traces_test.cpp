// traces scan / traces clean, run as the shipped console program on traces made in the prefix.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "cli/json_writer.h"
#include "common/test_support.h"
#include "system/reg_view.h"

namespace tidemark {
namespace {

const std::wstring kCli = test::ExeDir() + L"\\..\\..\\src\\cli\\tidemark-cli.exe";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::string Value(int group, int table, int row, const std::wstring& item, const std::wstring& text,
                  const std::wstring& key) {
    cli::JsonObject line;
    line.Add("group", group)
        .Add("table", table)
        .Add("row", row)
        .Add("item", item)
        .Add("kind", L"value")
        .Add("text", text)
        .Add("root", L"HKEY_CURRENT_USER")
        .Add("key", key);
    if (SystemIs64Bit()) line.Add("view", 64);  // the current user's keys: one view, read as the 64-bit one
    return line.Render();
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

// The line whose text field is text (any case); empty when there is none.
std::string LineWithText(const std::vector<std::string>& lines, const std::wstring& text) {
    const std::string field = "\"text\": " + cli::JsonString(text);
    for (const std::string& l : lines) {
        if (StrStrIA(l.c_str(), field.c_str())) return l;
    }
    return {};
}

void SetText(HKEY root, const std::wstring& path, const std::wstring& name) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
    RegCloseKey(key);
}

// The start of the summary's counts for the entry lines above it: files and registry values apart.
std::string KindSummary(const std::vector<std::string>& lines) {
    int files = 0, values = 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        files += lines[i].find("\"kind\": \"file\"") != std::string::npos ? 1 : 0;
        values += lines[i].find("\"kind\": \"value\"") != std::string::npos ? 1 : 0;
    }
    EXPECT_GT(files, 0);
    EXPECT_GT(values, 0);
    return "{\"summary\": {\"files\": " + std::to_string(files) + ", \"values\": " + std::to_string(values) + ", ";
}

std::wstring TempFolder() {
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, path);
    std::wstring folder = path;
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

TEST(TracesCli, ScanListsEachShapeAndCleanLeavesOnlyTheHeldFile) {
    SetText(HKEY_CURRENT_USER, L"Software\\7-Zip\\FM", L"CopyHistory");
    SetText(HKEY_CURRENT_USER, L"Software\\7-Zip\\FM", L"Keep");
    SetText(HKEY_CURRENT_USER, L"InstallLocationsMRU", L"a");
    const std::wstring folder = TempFolder() + L"\\tm-trace-cli";
    ASSERT_TRUE(test::WriteFileText(folder + L"\\a.txt", "a"));
    ASSERT_TRUE(test::WriteFileText(folder + L"\\held.txt", "h"));
    HANDLE held = CreateFileW((folder + L"\\held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    const auto scan = test::RunProcess(L"\"" + kCli + L"\" traces scan --group 2 --group 3 --json");
    ASSERT_EQ(scan.exitCode, 0u) << scan.err;
    const auto lines = Lines(scan.out);
    EXPECT_TRUE(Has(lines, Value(3, 2, 50, L"7zip的历史记录", L"CopyHistory", L"Software\\7-Zip\\FM"))) << scan.out;
    EXPECT_TRUE(Has(lines, Value(2, 1, 7, L"安装盘路径", L"a", L"InstallLocationsMRU"))) << scan.out;
    EXPECT_EQ(LineWithText(lines, L"Keep"), "");
    const std::string file = LineWithText(lines, folder + L"\\a.txt");
    EXPECT_NE(file.find("\"group\": 2, \"table\": 1, \"row\": 0, \"item\": \"系统临时文件\", \"kind\": \"file\""),
              std::string::npos)
        << file;
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind(KindSummary(lines), 0), 0u) << lines.back();

    const auto clean = test::RunProcess(L"\"" + kCli + L"\" traces clean --group 2 --group 3 --json");
    EXPECT_EQ(clean.exitCode, 0u) << clean.err;
    const auto cleaned = Lines(clean.out);
    EXPECT_NE(LineWithText(cleaned, L"CopyHistory").find("\"result\": \"deleted\""), std::string::npos) << clean.out;
    EXPECT_NE(LineWithText(cleaned, folder + L"\\a.txt").find("\"result\": \"deleted\""), std::string::npos);
    EXPECT_NE(LineWithText(cleaned, folder + L"\\held.txt").find("\"result\": \"reboot\""), std::string::npos);
    EXPECT_EQ(cleaned.back().rfind(KindSummary(cleaned), 0), 0u) << cleaned.back();

    const auto again = test::RunProcess(L"\"" + kCli + L"\" traces scan --group 2 --group 3 --json");
    const auto left = Lines(again.out);
    EXPECT_NE(LineWithText(left, folder + L"\\held.txt"), "");
    EXPECT_EQ(LineWithText(left, folder + L"\\a.txt"), "");
    EXPECT_EQ(LineWithText(left, L"CopyHistory"), "");
    EXPECT_EQ(LineWithText(left, L"a"), "");
    CloseHandle(held);
    DeleteFileW((folder + L"\\held.txt").c_str());
    RemoveDirectoryW(folder.c_str());
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\7-Zip");
}

TEST(TracesCli, BrowserCleanEmptiesCacheThenCookies) {
    wchar_t file[MAX_PATH] = {};
    ASSERT_TRUE(CreateUrlCacheEntryW(L"http://cli.example/page.htm", 0, L"htm", file, 0));
    test::WriteFileText(file, "<html></html>");
    FILETIME zero{};
    ASSERT_TRUE(CommitUrlCacheEntryW(L"http://cli.example/page.htm", file, zero, zero, NORMAL_CACHE_ENTRY, nullptr, 0,
                                     nullptr, nullptr));
    ASSERT_TRUE(InternetSetCookieW(L"http://cli.example/", L"seen", L"1; expires=Sat, 01-Jan-2039 00:00:00 GMT"));

    const auto clean = test::RunProcess(L"\"" + kCli + L"\" traces clean --group 1 --json");
    EXPECT_EQ(clean.exitCode, 0u) << clean.err;
    const auto lines = Lines(clean.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("\"cache_entries\": "), std::string::npos) << lines.back();
    EXPECT_EQ(lines.back().find("\"cache_entries\": 0,"), std::string::npos) << lines.back();
    EXPECT_EQ(lines.back().find("\"cookies\": 0,"), std::string::npos) << lines.back();
    DWORD size = 0;
    EXPECT_FALSE(GetUrlCacheEntryInfoW(L"http://cli.example/page.htm", nullptr, &size) ||
                 GetLastError() == ERROR_INSUFFICIENT_BUFFER);
}

TEST(TracesCli, PreviewListsWhatTheCleanProcessesInItsOrder) {
    SetText(HKEY_CURRENT_USER, L"InstallLocationsMRU", L"a");
    const std::wstring folder = TempFolder() + L"\\tm-trace-preview";
    ASSERT_TRUE(test::WriteFileText(folder + L"\\a.txt", "a"));

    const auto preview = test::RunProcess(L"\"" + kCli + L"\" traces clean --group 2 --preview --json");
    ASSERT_EQ(preview.exitCode, 0u) << preview.err;
    const auto listed = Lines(preview.out);
    ASSERT_GE(listed.size(), 3u);
    EXPECT_NE(LineWithText(listed, folder + L"\\a.txt").find("\"result\": \"listed\""), std::string::npos) << preview.out;
    EXPECT_NE(LineWithText(listed, L"a").find("\"result\": \"listed\""), std::string::npos) << preview.out;
    EXPECT_EQ(listed.back().rfind("{\"summary\": {\"listed\": " + std::to_string(listed.size() - 1) + ", " +
                                      KindSummary(listed).substr(std::string("{\"summary\": {").size()),
                                  0),
              0u)
        << listed.back();
    // Nothing changed.
    EXPECT_TRUE(test::PathExists(folder + L"\\a.txt"));

    const auto clean = test::RunProcess(L"\"" + kCli + L"\" traces clean --group 2 --json");
    // The same entries in the same order (the text field of each line), but for the files each
    // run's own output is captured in: they lie in the temporary folder being cleaned.
    const auto entries = [](const std::vector<std::string>& lines) {
        std::vector<std::string> texts;
        for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
            if (lines[i].find("\\\\tm-test-") != std::string::npos) continue;
            texts.push_back(lines[i].substr(0, lines[i].find(", \"result\": ")));
        }
        return texts;
    };
    EXPECT_EQ(entries(Lines(clean.out)), entries(listed)) << clean.out;
    EXPECT_FALSE(test::PathExists(folder + L"\\a.txt"));
    RemoveDirectoryW(folder.c_str());
}

TEST(TracesCli, GroupOutsideOneToThreeIsAUsageError) {
    for (const wchar_t* bad : {L"0", L"4", L"x", L""}) {
        const auto run = test::RunProcess(L"\"" + kCli + L"\" traces scan --group \"" + bad + L"\"");
        EXPECT_EQ(run.exitCode, 2u) << bad;
        EXPECT_TRUE(run.out.empty());
    }
}

}  // namespace
}  // namespace tidemark

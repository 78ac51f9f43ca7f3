#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "common/test_support.h"

namespace tidemark::cli {
namespace {

struct CliRun {
    int status;
    std::string out, err;
};

CliRun RunInProcess(std::vector<std::wstring> args) {
    BufferOutput output;
    const int status = RunCli(args, output);
    return {status, output.out, output.err};
}

TEST(CliJson, StringsAreEscapedPerRfc8259) {
    const struct { std::wstring text; std::string json; } cases[] = {
        {L"plain", "\"plain\""},
        {L"C:\\windows", "\"C:\\\\windows\""},
        {L"say \"hi\"", "\"say \\\"hi\\\"\""},
        {L"tab\tnew\nline\r", "\"tab\\tnew\\nline\\r\""},
        {std::wstring(L"nul\0x", 5) + L"\x1f", "\"nul\\u0000x\\u001f\""},
        {L"中文", "\"\xE4\xB8\xAD\xE6\x96\x87\""},
        {L"\xD83D\xDE00", "\"\xF0\x9F\x98\x80\""},  // a surrogate pair becomes one code point
        {L"\xD800x", "\"\xEF\xBF\xBDx\""},          // an unpaired surrogate is replaced
        {L"/", "\"/\""},
    };
    for (const auto& c : cases) EXPECT_EQ(JsonString(c.text), c.json);
}

TEST(CliJson, ObjectsKeepFieldOrder) {
    JsonObject inner;
    inner.Add("files", 2).Add("elapsed", L"00:00:01");
    JsonObject o;
    o.Add("name", L"x").Add("n", -3).AddBool("ok", true).Add("list", std::vector<std::wstring>{L"a", L"b"}).Add("summary", inner);
    EXPECT_EQ(o.Render(),
              "{\"name\": \"x\", \"n\": -3, \"ok\": true, \"list\": [\"a\", \"b\"], "
              "\"summary\": {\"files\": 2, \"elapsed\": \"00:00:01\"}}");
}

TEST(CliCommands, UsageErrorsExitWithTwoAndSayWhyOnStandardError) {
    const std::vector<std::wstring> bad[] = {
        {}, {L"bogus"}, {L"version", L"extra"}, {L"info", L"--root"}, {L"--json"},
    };
    for (const auto& args : bad) {
        const CliRun r = RunInProcess(args);
        EXPECT_EQ(r.status, ExitUsage) << testing::PrintToString(args);
        EXPECT_EQ(r.out, "") << testing::PrintToString(args);
        EXPECT_NE(r.err.find("tidemark-cli: "), std::string::npos) << testing::PrintToString(args);
    }
}

TEST(CliCommands, AnUnknownWordIsNamedAsTheWordItIs) {
    const struct { std::vector<std::wstring> args; const char* message; } cases[] = {
        {{L"frob"}, "unknown command 'frob'"},
        {{L"junk", L"frob"}, "unknown junk command 'frob' (junk has: scan, clean)"},
        {{L"undo", L"frob", L"1"}, "unknown undo command 'frob'"},
        {{L"junk"}, "'junk' needs a command: scan, clean"},
        {{L"reg", L"--category", L"1"}, "'reg' needs a command: scan, fix"},
    };
    for (const auto& c : cases) {
        const CliRun r = RunInProcess(c.args);
        EXPECT_EQ(r.status, ExitUsage) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST(CliCommands, HelpListsEveryCommand) {
    for (const auto& args : {std::vector<std::wstring>{L"help"}, {L"--help"}, {L"info", L"-h"}}) {
        const CliRun r = RunInProcess(args);
        EXPECT_EQ(r.status, ExitOk);
        for (const Command& c : Commands()) EXPECT_NE(r.out.find(c.usage), std::string::npos) << c.usage;
    }
}

TEST(CliCommands, VersionInTextAndJson) {
    CliRun r = RunInProcess({L"version", L"--json"});
    EXPECT_EQ(r.status, ExitOk);
    EXPECT_EQ(r.out, "{\"product\": \"Tidemark\", \"version\": \"1.31.0.0\"}\n");
    r = RunInProcess({L"--json", L"version"});  // flags may come first
    EXPECT_EQ(r.out, "{\"product\": \"Tidemark\", \"version\": \"1.31.0.0\"}\n");
    r = RunInProcess({L"version"});
    EXPECT_NE(r.out.find("1.31.0.0"), std::string::npos);
}

TEST(CliCommands, RulesListPatternsThenExtensions) {
    const CliRun r = RunInProcess({L"rules", L"--json"});
    EXPECT_EQ(r.status, ExitOk);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(r.out.substr(start, end - start));
    ASSERT_FALSE(lines.empty());
    // Whatever the profile holds, patterns come first and the summary last.
    const std::string& summary = lines.back();
    EXPECT_EQ(summary.rfind("{\"summary\": {\"patterns\": ", 0), 0u) << summary;
    bool seenExtension = false;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const bool extension = lines[i].find("\"kind\": \"extension\"") != std::string::npos;
        EXPECT_FALSE(seenExtension && !extension) << lines[i];
        seenExtension = seenExtension || extension;
    }
}

// The version block both shipped executables carry.
std::wstring VersionString(const std::wstring& file, const wchar_t* name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return L"<no version block>";
    void* text = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
    if (!VerQueryValueW(block.data(), query.c_str(), &text, &length) || !text) return L"<missing>";
    return static_cast<const wchar_t*>(text);
}

TEST(Executables, CarryTheProductVersionBlock) {
    const std::wstring build = test::ExeDir() + L"\\..\\..";
    for (const wchar_t* exe : {L"\\src\\app\\Tidemark.exe", L"\\src\\cli\\tidemark-cli.exe"}) {
        const std::wstring file = build + exe;
        SCOPED_TRACE(testing::PrintToString(file));
        EXPECT_EQ(VersionString(file, L"ProductName"), L"Tidemark");
        EXPECT_EQ(VersionString(file, L"CompanyName"), L"Corvane");
        EXPECT_EQ(VersionString(file, L"FileVersion"), L"1.31.0.0");
        EXPECT_EQ(VersionString(file, L"ProductVersion"), L"1.31.0.0");
        EXPECT_NE(VersionString(file, L"FileDescription").substr(0, 8), L"<missing");
    }
}

}  // namespace
}  // namespace tidemark::cli

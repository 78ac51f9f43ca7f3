// undo list / show / restore / purge over a registry fix, run as the shipped console program.
#include <gtest/gtest.h>

#include "system/reg_view.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "common/test_support.h"

namespace tidemark {
namespace {

// The view a journal names: the 64-bit one on 64-bit Windows (the current user's keys are shared).
const std::string kView = SystemIs64Bit() ? "64" : "0";


const std::wstring kCli = test::ExeDir() + L"\\..\\..\\src\\cli\\tidemark-cli.exe";
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kName = L"TidemarkUndoGone";
const std::wstring kCommand = L"\"C:\\nowhere\\不在.exe\" -min";

std::wstring JournalFolder() {
    wchar_t appData[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
    return std::wstring(appData) + L"\\Corvane\\Tidemark\\Journal";
}

std::wstring RunValue() {
    wchar_t text[512] = {};
    DWORD size = sizeof text;
    if (SHGetValueW(HKEY_CURRENT_USER, kRun.c_str(), kName.c_str(), nullptr, text, &size) != ERROR_SUCCESS) return L"-";
    return text;
}

// The value of a JSON field in the line, as written ("…": "value" or a number).
std::string Field(const std::string& line, const std::string& name) {
    const std::string key = "\"" + name + "\": ";
    const std::size_t at = line.find(key);
    if (at == std::string::npos) return {};
    std::size_t start = at + key.size(), end;
    if (line[start] == '"') {
        end = line.find('"', ++start);
    } else {
        end = line.find_first_of(",}", start);
    }
    return line.substr(start, end - start);
}

std::string LastLine(const std::string& out) {
    const std::size_t end = out.find_last_not_of("\r\n");
    if (end == std::string::npos) return {};
    const std::size_t start = out.find_last_of('\n', end);
    return out.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

test::ProcessResult Cli(const std::wstring& args) { return test::RunProcess(L"\"" + kCli + L"\" " + args); }

TEST(CliUndo, AFixIsRecordedListedAndPutBackExactly) {
    SHSetValueW(HKEY_CURRENT_USER, kRun.c_str(), kName.c_str(), REG_SZ, kCommand.c_str(),
                static_cast<DWORD>((kCommand.size() + 1) * sizeof(wchar_t)));
    auto r = Cli(L"reg fix --category 1 --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err << r.out;
    EXPECT_EQ(RunValue(), L"-");
    const std::string id = Field(LastLine(r.out), "undo");
    ASSERT_FALSE(id.empty()) << r.out;
    const std::wstring wid = test::Widen(id);

    r = Cli(L"undo list --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(r.out.find("{\"id\": \"" + id + "\", \"time\": \""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"command\": \"reg fix\""), std::string::npos) << r.out;

    r = Cli(L"undo show " + wid + L" --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(r.out.find("\"kind\": \"value\", \"root\": \"HKEY_CURRENT_USER\", \"key\": \"" +
                         std::string("SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run") +
                         "\", \"name\": \"TidemarkUndoGone\", \"view\": " + kView + ", \"restorable\": true}"),
              std::string::npos)
        << r.out;

    // Bad input: no such entry, no such item.
    EXPECT_EQ(Cli(L"undo show 20000101-000000").exitCode, 2u);
    EXPECT_EQ(Cli(L"undo restore " + wid + L" 9999 --yes").exitCode, 2u);
    // Without --yes nothing is put back.
    r = Cli(L"undo restore " + wid + L" --json");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
    EXPECT_EQ(RunValue(), L"-");

    r = Cli(L"undo restore " + wid + L" --yes --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err << r.out;
    EXPECT_NE(r.out.find("\"name\": \"TidemarkUndoGone\", \"view\": " + kView + ", \"restorable\": true, \"result\": \"restored\"}"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Field(LastLine(r.out), "failed"), "0") << r.out;
    EXPECT_EQ(RunValue(), kCommand);
    // Every item went back: the entry is gone.
    EXPECT_EQ(Cli(L"undo list --json").out.find(id), std::string::npos);
    EXPECT_EQ(Cli(L"undo show " + wid).exitCode, 2u);

    // A journal that cannot be written: the fix removes nothing and says so.
    const std::wstring journal = JournalFolder(), aside = journal + L".aside";
    ASSERT_TRUE(MoveFileW(journal.c_str(), aside.c_str()));
    ASSERT_TRUE(test::WriteFileText(journal, "in the way"));
    r = Cli(L"reg fix --category 1 --json");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("nothing was removed"), std::string::npos) << r.err;
    EXPECT_EQ(RunValue(), kCommand);
    DeleteFileW(journal.c_str());
    ASSERT_TRUE(MoveFileW(aside.c_str(), journal.c_str()));

    // Purge: every entry older than no days.
    r = Cli(L"reg fix --category 1 --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    Sleep(20);
    r = Cli(L"undo purge --older-than 0 --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(Field(LastLine(r.out), "removed"), "0") << r.out;
    r = Cli(L"undo list --json");
    EXPECT_EQ(LastLine(r.out), "{\"summary\": {\"entries\": 0, \"bytes\": 0, \"damaged\": 0}}") << r.out;
    EXPECT_EQ(Cli(L"undo purge --older-than x").exitCode, 2u);
}

}  // namespace
}  // namespace tidemark

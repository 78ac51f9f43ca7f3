// defs list / defs check, run as the shipped console program with the definition set it carries.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "engine/definition_store.h"
#include "engine/sealed_text.h"
#include "engine/store_keys.h"
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

// The number after "key": in a JSON line; -1 when it is not there.
long Field(const std::string& line, const std::string& key) {
    const auto at = line.find("\"" + key + "\": ");
    return at == std::string::npos ? -1 : std::stol(line.substr(at + key.size() + 4));
}

TEST(CliDefs, ListsEveryDefinitionTheProgramCarries) {
    HMODULE cli = LoadLibraryExW(kCli.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(cli, nullptr);
    const std::size_t carried = DefinitionResourceNames(cli).size();
    FreeLibrary(cli);
    const test::ProcessResult r = test::RunProcess(L"\"" + kCli + L"\" defs list --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), carried + 1);
    EXPECT_EQ(Field(lines.back(), "definitions"), static_cast<long>(carried));
    std::set<long> ids;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_TRUE(ids.insert(Field(lines[i], "id")).second) << lines[i];
        EXPECT_GT(Field(lines[i], "checks"), 0) << "detectable: " << lines[i];
        // In numeric order of ids (1001 after 244, not after 100).
        if (i > 0) {
            EXPECT_LT(Field(lines[i - 1], "id"), Field(lines[i], "id")) << lines[i];
        }
    }
    // Every definition a built-in routine or a repair belongs to, and the three of the 1000s.
    for (long id : {5, 6, 11, 13, 16, 21, 24, 27, 35, 41, 48, 49, 54, 68, 81, 86, 92, 93, 94, 97, 100, 110, 115, 121,
                    130, 139, 141, 147, 171, 172, 183, 199, 222, 225, 244, 1001, 1002, 1003}) {
        EXPECT_TRUE(ids.count(id)) << "no definition " << id;
    }
}

TEST(CliDefs, CheckNamesWhatItFoundAndRefusesUnknownIds) {
    test::ProcessResult r = test::RunProcess(L"\"" + kCli + L"\" defs check --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("{\"summary\": {\"definitions\": ", 0), 0u) << lines.back();
    for (std::size_t i = 1; i + 1 < lines.size(); ++i)
        EXPECT_LT(Field(lines[i - 1], "id"), Field(lines[i], "id")) << lines[i];
    for (const wchar_t* bad : {L"--id abc", L"--id 99999", L"--id"}) {
        r = test::RunProcess(L"\"" + kCli + L"\" defs check " + bad);
        EXPECT_EQ(r.exitCode, 2u) << testing::PrintToString(std::wstring(bad));
        EXPECT_EQ(r.out, "");
    }
}

// The traces of one carried definition (Dudu, 1001) made on this system, then detected. On
// 64-bit Windows its key is in the 32-bit view, as a 32-bit program writes it, and its program
// in the native Program Files folder: both are found, each where it is.
TEST(CliDefs, CheckDetectsAnInstalledProgramByItsCheckEntries) {
    wchar_t programs[MAX_PATH] = {};
    ASSERT_GT(ExpandEnvironmentStringsW(SystemIs64Bit() ? L"%ProgramW6432%" : L"%ProgramFiles%", programs, MAX_PATH), 0u);
    const std::wstring folder = std::wstring(programs) + L"\\Dudu";
    ASSERT_TRUE(test::WriteFileText(folder + L"\\Dudu.exe", "x"));
    const REGSAM view = SystemIs64Bit() ? KEY_WOW64_32KEY : 0;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Dudu\\Accelerator", 0, nullptr, 0, KEY_ALL_ACCESS | view,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
    test::ProcessResult r = test::RunProcess(L"\"" + kCli + L"\" defs check --id 1001 --json");
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out << r.err;
    EXPECT_EQ(Field(lines[0], "status"), 2) << lines[0];
    EXPECT_NE(lines[0].find("\"found\": [\"C:\\\\Program Files\\\\Dudu\\\\Dudu.exe\", "
                            "\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Dudu\\\\Accelerator\"]" +
                            std::string(SystemIs64Bit() ? ", \"found_views\": [0, 32]}" : "}")),
              std::string::npos)
        << lines[0];
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Dudu\\Accelerator", view, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Dudu", view, 0);
    DeleteFileW((folder + L"\\Dudu.exe").c_str());
    RemoveDirectoryW(folder.c_str());
    r = test::RunProcess(L"\"" + kCli + L"\" defs check --id 1001 --json");
    EXPECT_EQ(Field(Lines(r.out)[0], "status"), 0) << r.out;
}

// A copy of the console program whose set holds a script with a number that is none.
TEST(CliDefs, ASetThatCannotLoadExitsThreeNamingTheDefinitionAndLine) {
    test::ScratchDir dir;
    const std::wstring copy = dir / L"tidemark-cli.exe";
    ASSERT_TRUE(CopyFileW(kCli.c_str(), copy.c_str(), FALSE));
    HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    std::string bad = SealText("id=2\r\nname=x\r\nkillexplorer=yes\r\n", DefinitionKey(L"V2", kDefinitionKeySource));
    ASSERT_TRUE(UpdateResourceW(update, L"V", L"V2", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), bad.data(),
                                static_cast<DWORD>(bad.size())));
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
    const test::ProcessResult r = test::RunProcess(L"\"" + copy + L"\" defs list --json");
    EXPECT_EQ(r.exitCode, 3u);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("V2 line 3: killexplorer=yes"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tidemark

// procs, run as the console program with a rogue-name list of the test's own, on the NT and the
// 9x code paths.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/test_support.h"
#include "engine/sealed_text.h"
#include "engine/store_keys.h"
#include "fixtures/proc_holder/holder_run.h"
#include "system/reg_ops.h"

namespace tidemark {
namespace {

const std::wstring kCli = test::ExeDir() + L"\\..\\..\\src\\cli\\tidemark-cli.exe";

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

// A copy of the console program whose rogue-name list is names (every language it carries).
bool CopyCliWithRogueNames(const std::wstring& copy, const std::string& names) {
    if (!CopyFileW(kCli.c_str(), copy.c_str(), FALSE)) return false;
    std::vector<WORD> languages;
    if (HMODULE module = LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        EnumResourceLanguagesW(module, L"FILE", L"TROJAN", CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
        FreeLibrary(module);
    }
    if (languages.empty()) languages.push_back(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
    if (!update) return false;
    std::string bytes = SealText(names, kFixedStoreKey);
    for (WORD language : languages)
        UpdateResourceW(update, L"FILE", L"TROJAN", language, bytes.data(), static_cast<DWORD>(bytes.size()));
    return EndUpdateResourceW(update, FALSE) != FALSE;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

long Field(const std::string& line, const std::string& key) {
    const auto at = line.find("\"" + key + "\": ");
    return at == std::string::npos ? -1 : std::stol(line.substr(at + key.size() + 4));
}

std::string ProcessLine(const std::vector<std::string>& lines, DWORD id) {
    for (const std::string& line : lines)
        if (Field(line, "pid") == static_cast<long>(id)) return line;
    return {};
}

TEST(CliProcs, RatesAProcessOfARogueNameAsRiskyOnBothFamilies) {
    test::ScratchDir dir;
    test::HolderRun holder(L"tm_rogue_holder.exe");
    ASSERT_TRUE(holder.Started());
    const std::wstring cli = dir / L"tm_procs_cli.exe";
    ASSERT_TRUE(CopyCliWithRogueNames(cli, "TM_ROGUE_HOLDER.EXE\r\n"));
    const std::wstring appDefaults = L"Software\\Wine\\AppDefaults\\tm_procs_cli.exe";
    for (const wchar_t* version : {L"", L"win98"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(version)));
        if (*version) {
            ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, appDefaults, L"Version", version));
        }
        const test::ProcessResult r = test::RunProcess(L"\"" + cli + L"\" procs --json");
        if (*version) RegDeleteKeyW(HKEY_CURRENT_USER, appDefaults.c_str());
        ASSERT_EQ(r.exitCode, 0u) << r.err;
        const auto lines = Lines(r.out);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().rfind("{\"summary\": {\"processes\": " + std::to_string(lines.size() - 1), 0), 0u)
            << lines.back();
        const std::string line = ProcessLine(lines, holder.Id());
        ASSERT_FALSE(line.empty()) << r.out;
        EXPECT_EQ(Field(line, "rating"), 3) << line;
        EXPECT_NE(line.find("\"rating_name\": \"有风险\""), std::string::npos) << line;
        EXPECT_NE(line.find("\"name\": \"tm_rogue_holder.exe\""), std::string::npos) << line;
        EXPECT_GE(Field(line, "modules"), 1) << "its library: " << line;
        EXPECT_GE(Field(line, "threads"), 1) << line;
    }
}

}  // namespace
}  // namespace tidemark

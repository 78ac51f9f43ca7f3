// reg scan / reg fix / score, run as the shipped console program over known orphans of every
// category in the test prefix's real keys.
#include <gtest/gtest.h>

#include "system/reg_view.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/json_writer.h"
#include "common/test_support.h"
#include "removal/removal_service.h"
#include "system/reg_paths.h"

namespace tidemark {
namespace {

const std::wstring kCli = test::ExeDir() + L"\\..\\..\\src\\cli\\tidemark-cli.exe";
const std::wstring kShared = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
const std::wstring kRun = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kData = L"Software\\TidemarkCliRegTest";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// The finding lines (the summary left out), sorted.
std::vector<std::string> Findings(const std::string& out) {
    std::vector<std::string> lines = Lines(out);
    std::erase_if(lines, [](const std::string& l) { return l.rfind("{\"summary\"", 0) == 0; });
    std::sort(lines.begin(), lines.end());
    return lines;
}

void SetValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    HKEY handle = nullptr;
    RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    RegSetValueExW(handle, name.empty() ? nullptr : name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
}
void SetText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text) {
    SetValue(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

std::string Finding(int category, const char* categoryName, const char* root, const std::wstring& key,
                    const std::wstring& name, const char* result = nullptr) {
    cli::JsonObject o;
    o.Add("category", category).Add("category_name", test::Widen(categoryName)).Add("root", test::Widen(root));
    o.Add("key", key).Add("name", name);
    // Every finding here is of the 64-bit view on 64-bit Windows (or of the only one there is).
    if (SystemIs64Bit()) o.Add("view", 64);
    if (result) o.Add("result", test::Widen(result));
    return o.Render();
}

class Orphans {
public:
    Orphans() {
        const DWORD count = 1;
        SetValue(HKEY_LOCAL_MACHINE, kShared, dll, REG_DWORD, &count, sizeof count);
        SetValue(HKEY_LOCAL_MACHINE, kShared, present, REG_DWORD, &count, sizeof count);
        SetText(HKEY_CURRENT_USER, kRun, L"TidemarkCliGone", L"\"" + exe + L"\" /background");
        SetText(HKEY_CURRENT_USER, kRun, L"TidemarkCliThere", L"\"" + present + L"\" /background");
        SetText(HKEY_CURRENT_USER, kUninstall + L"\\TidemarkCliGone", L"UninstallString", exe + L"");
        SetText(HKEY_CURRENT_USER, kUninstall + L"\\TidemarkCliGone", L"DisplayName", L"Gone");
        SetText(HKEY_CURRENT_USER, kData + L"\\Settings", L"LastFile", dir / L"gone.doc");
        test::WriteFileText(present, "MZ");
    }
    ~Orphans() {
        SHDeleteValueW(HKEY_LOCAL_MACHINE, kShared.c_str(), dll.c_str());
        SHDeleteValueW(HKEY_LOCAL_MACHINE, kShared.c_str(), present.c_str());
        SHDeleteValueW(HKEY_CURRENT_USER, kRun.c_str(), L"TidemarkCliGone");
        SHDeleteValueW(HKEY_CURRENT_USER, kRun.c_str(), L"TidemarkCliThere");
        SHDeleteKeyW(HKEY_CURRENT_USER, (kUninstall + L"\\TidemarkCliGone").c_str());
        SHDeleteKeyW(HKEY_CURRENT_USER, kData.c_str());
    }
    test::ScratchDir dir;
    const std::wstring dll = dir / L"gone.dll", exe = dir / L"gone.exe", present = dir / L"there.dll";
};

TEST(CliRegistry, ScanListsExactlyTheOrphansFixRemovesThemAndTheBackupBringsThemBack) {
    // What the fresh prefix has of its own before our orphans arrive.
    test::ProcessResult r = test::RunProcess(L"\"" + kCli + L"\" reg scan --category 0 --category 1 --category 2 --category 3 --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    const std::vector<std::string> baseline = Findings(r.out);

    Orphans o;
    r = test::RunProcess(L"\"" + kCli + L"\" reg scan --category 3 --category 0 --category 2 --category 1 --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    std::vector<std::string> ours;
    for (const std::string& line : Findings(r.out))
        if (!std::binary_search(baseline.begin(), baseline.end(), line)) ours.push_back(line);
    std::vector<std::string> expected = {
        Finding(0, "冗余的动态库", "HKEY_LOCAL_MACHINE", kShared, o.dll),
        Finding(1, "无效的启动项", "HKEY_CURRENT_USER", kRun, L"TidemarkCliGone"),
        Finding(2, "无效的反安装信息", "HKEY_CURRENT_USER", kUninstall, L"TidemarkCliGone"),
        Finding(3, "不存在文件注册表信息", "HKEY_CURRENT_USER", kData + L"\\Settings", L"LastFile"),
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ours, expected) << r.out;
    // Every finding, the prefix's own too: a root, and a key below it with no leading backslash.
    for (const std::string& line : Findings(r.out)) {
        EXPECT_EQ(line.find("\"root\": \"\""), std::string::npos) << line;
        EXPECT_EQ(line.find("\"key\": \"\\\\"), std::string::npos) << line;
    }
    const auto lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("{\"summary\": {\"findings\": " + std::to_string(baseline.size() + 4) +
                                     ", \"unreadable\": 0, \"elapsed\": \"00:00:",
                                 0),
              0u)
        << lines.back();

    // Without --category the thorough search is left out.
    r = test::RunProcess(L"\"" + kCli + L"\" reg scan --json");
    EXPECT_EQ(r.out.find("\"category\": 3"), std::string::npos);
    EXPECT_NE(r.out.find("TidemarkCliGone"), std::string::npos);

    // The score counts categories 0-2.
    const std::size_t junk = Findings(r.out).size();
    r = test::RunProcess(L"\"" + kCli + L"\" score --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_EQ(r.out.rfind("{\"registry_junk\": " + std::to_string(junk) + ", \"disk_free_percent\": ", 0), 0u) << r.out;

    // A backup that cannot be written: nothing is removed.
    r = test::RunProcess(L"\"" + kCli + L"\" reg fix --backup \"" + (o.dir / L"no\\such\\folder\\b.reg") + L"\" --json");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("nothing was removed"), std::string::npos) << r.err;

    // The preview lists exactly what the fix takes, in its order, writes no backup and removes nothing.
    const std::wstring unwritten = o.dir / L"preview.reg";
    r = test::RunProcess(L"\"" + kCli + L"\" reg fix --category 0 --category 1 --category 2 --category 3 --preview --backup \"" +
                         unwritten + L"\" --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err << r.out;
    EXPECT_NE(r.out.find(Finding(1, "无效的启动项", "HKEY_CURRENT_USER", kRun, L"TidemarkCliGone", "listed")),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Findings(r.out).size(), baseline.size() + 4);
    EXPECT_FALSE(test::PathExists(unwritten));
    const std::string previewed = r.out;
    r = test::RunProcess(L"\"" + kCli + L"\" reg scan --category 0 --category 1 --category 2 --category 3 --json");
    EXPECT_EQ(Findings(r.out).size(), baseline.size() + 4);

    const std::wstring backup = o.dir / L"before fix.reg";
    r = test::RunProcess(L"\"" + kCli + L"\" reg fix --category 0 --category 1 --category 2 --category 3 --backup \"" + backup + L"\" --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err << r.out;
    EXPECT_NE(r.out.find(Finding(1, "无效的启动项", "HKEY_CURRENT_USER", kRun, L"TidemarkCliGone", "removed")),
              std::string::npos)
        << r.out;
    {
        // Row by row, the fix took what the preview named.
        std::vector<std::string> listed = Lines(previewed), removed = Lines(r.out);
        ASSERT_EQ(listed.size(), removed.size());
        for (std::size_t i = 0; i + 1 < listed.size(); ++i) {
            const std::size_t cut = listed[i].find(", \"result\": ");
            ASSERT_NE(cut, std::string::npos);
            EXPECT_EQ(removed[i].substr(0, cut), listed[i].substr(0, cut));
        }
    }
    r = test::RunProcess(L"\"" + kCli + L"\" reg scan --category 0 --category 1 --category 2 --category 3 --json");
    EXPECT_EQ(Findings(r.out), std::vector<std::string>{}) << r.out;

    // Importing the backup puts every entry back: the scan sees the same findings again.
    r = test::RunProcess(L"regedit.exe /s \"" + backup + L"\"");
    EXPECT_EQ(r.exitCode, 0u);
    r = test::RunProcess(L"\"" + kCli + L"\" reg scan --category 0 --category 1 --category 2 --category 3 --json");
    std::vector<std::string> all = baseline;
    all.insert(all.end(), expected.begin(), expected.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(Findings(r.out), all);
}

// A fix the system refuses: without administrator rights each refused finding stays "failed"
// and says why, and the summary counts them; as administrator the same refusal is a plain
// failure. Run in-process, so the process's removal service can stand in for a registry that
// refuses every change (Wine's never does).
TEST(CliRegistry, FindingsRefusedForWantOfRightsSaySoAndAreCounted) {
    Orphans o;
    struct RefusingRegistry {
        RefusingRegistry() { ProcessRemovalService().SetRegistryAccess(test::OpenKeyForReadingOnly, test::RefuseKeyRemoval); }
        ~RefusingRegistry() { ProcessRemovalService().SetRegistryAccess(nullptr, nullptr); }
    } refusing;
    for (const bool admin : {false, true}) {
        SCOPED_TRACE(admin ? "administrator" : "without rights");
        const test::ScopedAdminRights rights(admin);
        cli::BufferOutput output;
        EXPECT_EQ(cli::RunCli({L"reg", L"fix", L"--category", L"1", L"--json"}, output), 1) << output.err;
        const std::string ours = Finding(1, "无效的启动项", "HKEY_CURRENT_USER", kRun, L"TidemarkCliGone", "failed");
        const std::string reason = ", \"reason\": \"needs_admin\"}";
        EXPECT_NE(output.out.find(ours.substr(0, ours.size() - 1) + (admin ? "}" : reason)), std::string::npos)
            << output.out;
        int failed = 0;
        for (const std::string& line : Findings(output.out)) {
            EXPECT_NE(line.find("\"result\": \"failed\""), std::string::npos) << line;
            EXPECT_EQ(line.find("\"reason\"") != std::string::npos, !admin) << line;
            ++failed;
        }
        const std::string summary = Lines(output.out).back();
        EXPECT_EQ(summary.rfind("{\"summary\": {\"findings\": " + std::to_string(failed) + ", \"cleaned\": 0, \"needs_admin\": " +
                                    std::to_string(admin ? 0 : failed) + ", ",
                                0),
                  0u)
            << summary;
    }
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kRun, L"TidemarkCliGone"));
}

TEST(CliRegistry, BadCategoryIsAUsageError) {
    for (const wchar_t* bad : {L"4", L"-1", L"x", L""}) {
        const test::ProcessResult r = test::RunProcess(L"\"" + kCli + L"\" reg scan --category \"" + bad + L"\"");
        EXPECT_EQ(r.exitCode, 2u) << test::Narrow(bad);
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
}  // namespace tidemark

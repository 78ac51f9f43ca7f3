// repair check / repair run, run as the console program shown Windows XP (Wine's per-program
// version), over a hijacked start page, a rogue Run value and a tampered WinSock2 catalogue; and
// shown Windows 7, where the catalogue is left to the system's reset (never run here).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/test_support.h"
#include "system/reg_text.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/app_data.h"
#include "system/reg_paths.h"
#include "system/reg_view.h"

namespace tidemark {
namespace {

using std::string;
using std::wstring;

const wstring kCli = test::ExeDir() + L"\\..\\..\\src\\cli\\tidemark-cli.exe";
const wstring kIeMain = L"Software\\Microsoft\\Internet Explorer\\Main";
const wstring kRun = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wstring kNameSpace = L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\NameSpace_Catalog5\\Catalog_Entries";
const wstring kProtocols = L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9\\Catalog_Entries";
const wstring kRogueEntry = kProtocols + L"\\000000000099";
const wstring kProtocols64 = kProtocols + L"64";

std::vector<string> Lines(const string& text) {
    std::vector<string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// The line of step step that holds every fragment.
string LineWith(const std::vector<string>& lines, int step, std::initializer_list<const char*> fragments) {
    for (const string& line : lines) {
        if (line.rfind("{\"step\": " + std::to_string(step) + ",", 0) != 0) continue;
        bool all = true;
        for (const char* f : fragments) all = all && line.find(f) != string::npos;
        if (all) return line;
    }
    return {};
}

std::optional<wstring> Text(HKEY root, const wstring& key, const wstring& name) {
    UniqueHKey open = OpenRegKey(root, key, KEY_QUERY_VALUE);
    return open ? QueryStringValue(open.get(), name) : std::nullopt;
}

wstring TcpipEntry() {
    std::vector<wstring> entries;
    RegListSubKeys(HKEY_LOCAL_MACHINE, kNameSpace, entries);
    for (const wstring& entry : entries)
        if (Text(HKEY_LOCAL_MACHINE, kNameSpace + L"\\" + entry, L"DisplayString") == wstring(L"Tcpip"))
            return kNameSpace + L"\\" + entry;
    return {};
}

class CliRepair : public testing::Test {
protected:
    void SetUp() override {
        cli_ = dir_ / L"tm_repair_cli.exe";
        ASSERT_TRUE(CopyFileW(kCli.c_str(), cli_.c_str(), FALSE));
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"winxp"));
    }
    void TearDown() override {
        RegDeleteKeyW(HKEY_CURRENT_USER, kAppDefaults.c_str());
        RegDeleteValueChecked(HKEY_CURRENT_USER, kRun, L"tm_cli_rundll");
        RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kProtocols64);
    }
    test::ProcessResult Run(const wstring& arguments) { return test::RunProcess(L"\"" + cli_ + L"\" " + arguments); }
    // The backups of --yes go to the program's backup folder, never the current folder (where a
    // junk rule could reach them).
    int Backups() const {
        WIN32_FIND_DATAW data;
        UniqueFindHandle find(FindFirstFileW((ProgramBackupFolder(true) + L"\\WinSock2备份_*.reg").c_str(), &data));
        int count = 0;
        if (find) do ++count; while (FindNextFileW(find.get(), &data));
        return count;
    }

    const wstring kAppDefaults = L"Software\\Wine\\AppDefaults\\tm_repair_cli.exe";
    test::ScratchDir dir_;
    wstring cli_;
};

TEST_F(CliRepair, CheckOnlyListsRunWithoutYesLeavesWinsock2AndWithYesRepairsIt) {
    // A standard catalogue to begin with, from the program's own import.
    const test::ProcessResult first = Run(L"repair run --yes --json");
    ASSERT_LE(first.exitCode, 1u) << first.err;
    const wstring tcpip = TcpipEntry();
    ASSERT_FALSE(tcpip.empty()) << first.out;

    // What a hijacker and an adware install left behind.
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kIeMain, L"Start Page", L"HTTP://WWW.COOLWEBSEARCH.COM/"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRun, L"tm_cli_rundll", L"rundll32"));
    ASSERT_TRUE(RegEnsureInt(HKEY_LOCAL_MACHINE, tcpip, L"Enabled", 0));
    {
        std::vector<unsigned char> packed(888, 0);
        const string library = "C:\\Program Files\\yehoo\\hp\\yhp32.dll";
        std::copy(library.begin(), library.end(), packed.begin());
        UniqueHKey key = CreateRegKey(HKEY_LOCAL_MACHINE, kRogueEntry, KEY_ALL_ACCESS);
        ASSERT_TRUE(key);
        ASSERT_EQ(RegSetValueExW(key.get(), L"PackedCatalogItem", 0, REG_BINARY, packed.data(), 888), ERROR_SUCCESS);
    }
    const int backupsBefore = Backups();

    const test::ProcessResult check = Run(L"repair check --json");
    ASSERT_EQ(check.exitCode, 0u) << check.err;
    const auto listed = Lines(check.out);
    EXPECT_FALSE(LineWith(listed, 1, {"\"name\": \"tm_cli_rundll\"", "\"now\": \"rundll32\""}).empty()) << check.out;
    EXPECT_FALSE(LineWith(listed, 2, {"\"after\": \"http://cn.msn.com/\""}).empty()) << check.out;
    EXPECT_FALSE(LineWith(listed, 3, {"\"name\": \"Enabled\"", "\"now\": \"dword:00000000\"", "\"after\": \"dword:00000001\""}).empty())
        << check.out;
    EXPECT_FALSE(LineWith(listed, 3, {"000000000099\"", "yehoo"}).empty()) << check.out;
    EXPECT_FALSE(LineWith(listed, 3, {"\"after\": \"REG XP\""}).empty()) << check.out;
    EXPECT_EQ(listed.back(), "{\"summary\": {\"changes\": " + std::to_string(listed.size() - 1) + "}}");
    // The same check as text: one sentence per change, what and where, now -> after.
    const test::ProcessResult text = Run(L"repair check");
    ASSERT_EQ(text.exitCode, 0u) << text.err;
    const string view = SystemIs64Bit() ? " (64-bit view)" : "";
    for (const string& sentence :
         {"Start-up entry: the value \"tm_cli_rundll\" of HKEY_CURRENT_USER\\" + test::Narrow(kRun) +
              " is removed: rundll32 -> (removed)" + view + "\n",
          "Browser start page: the value \"Start Page\" of HKEY_CURRENT_USER\\" + test::Narrow(kIeMain) +
              " is set: HTTP://WWW.COOLWEBSEARCH.COM/ -> http://cn.msn.com/" + view + "\n",
          "WinSock2: the value \"Enabled\" of HKEY_LOCAL_MACHINE\\" + test::Narrow(tcpip) +
              " is set: dword:00000000 -> dword:00000001" + view + "\n",
          std::to_string(listed.size() - 1) + " changes would be made\n"})
        EXPECT_NE(text.out.find(sentence), string::npos) << sentence << "\nin\n" << text.out;
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kIeMain, L"Start Page"), wstring(L"HTTP://WWW.COOLWEBSEARCH.COM/"));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kRogueEntry));

    // The question gets No: the Run value and the start page are repaired, WinSock2 is not.
    const test::ProcessResult cautious = Run(L"repair run --json");
    ASSERT_EQ(cautious.exitCode, 0u) << cautious.err;
    EXPECT_NE(cautious.err.find("WinSock2"), string::npos) << "the question is shown: " << cautious.err;
    EXPECT_FALSE(LineWith(Lines(cautious.out), 1, {"tm_cli_rundll", "\"result\": true"}).empty()) << cautious.out;
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kIeMain, L"Start Page"), wstring(L"http://cn.msn.com/"));
    EXPECT_FALSE(Text(HKEY_CURRENT_USER, kRun, L"tm_cli_rundll"));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kRogueEntry));
    EXPECT_EQ(RegReadIntIfInt(HKEY_LOCAL_MACHINE, tcpip, L"Enabled"), 0);
    EXPECT_EQ(Backups(), backupsBefore);

    // Yes: backup, fixes, import; the catalogue is XP's again.
    const wstring kParameters = L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters";
    wstring catalogue;
    ASSERT_TRUE(AppendRegKeyTree(HKEY_LOCAL_MACHINE, kParameters, catalogue));
    const test::ProcessResult yes = Run(L"repair run --yes --json");
    ASSERT_EQ(yes.exitCode, 0u) << yes.err << yes.out;
    EXPECT_FALSE(LineWith(Lines(yes.out), 3, {"\"after\": \"REG XP\"", "\"result\": true"}).empty()) << yes.out;
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kRogueEntry));
    EXPECT_EQ(RegReadIntIfInt(HKEY_LOCAL_MACHINE, tcpip, L"Enabled"), 1);
    EXPECT_EQ(Backups(), backupsBefore + 1);
    const test::ProcessResult after = Run(L"repair check --json");
    EXPECT_EQ(LineWith(Lines(after.out), 3, {""}), "") << after.out;

    // The run is in the undo journal: restoring it brings the catalogue back exactly as it was.
    const string summary = Lines(yes.out).back();
    const std::size_t at = summary.find("\"undo\": \"");
    ASSERT_NE(at, string::npos) << summary;
    const string id = summary.substr(at + 9, summary.find('"', at + 9) - at - 9);
    const test::ProcessResult restored = Run(L"undo restore " + test::Widen(id) + L" --yes --json");
    ASSERT_EQ(restored.exitCode, 0u) << restored.err << restored.out;
    wstring now;
    ASSERT_TRUE(AppendRegKeyTree(HKEY_LOCAL_MACHINE, kParameters, now));
    EXPECT_EQ(now, catalogue);
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kRogueEntry));
    // The prefix is left with a standard catalogue for whoever comes next.
    EXPECT_EQ(Run(L"repair run --yes --json").exitCode, 0u);
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kRogueEntry));
}

// Windows 7: a suspicious entry of the 64-bit catalogue is listed as the reset, which a check
// and a run without --yes never carry out; the catalogue stays as it is.
TEST_F(CliRepair, OnWindows7TheCatalogueIsListedForTheResetAndLeftAsItIs) {
    // A standard catalogue to begin with, from the program's own import on XP.
    const test::ProcessResult first = Run(L"repair run --yes --json");
    ASSERT_LE(first.exitCode, 1u) << first.err;
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"win7"));
    {
        std::vector<unsigned char> packed(888, 0);
        const string library = "C:\\Windows\\System32\\wmpcd32.dll";
        std::copy(library.begin(), library.end(), packed.begin());
        UniqueHKey key = CreateRegKey(HKEY_LOCAL_MACHINE, kProtocols64 + L"\\000000000001", KEY_ALL_ACCESS);
        ASSERT_TRUE(key);
        ASSERT_EQ(RegSetValueExW(key.get(), L"PackedCatalogItem", 0, REG_BINARY, packed.data(), 888), ERROR_SUCCESS);
    }
    const wstring kParameters = L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters";
    wstring before;
    ASSERT_TRUE(AppendRegKeyTree(HKEY_LOCAL_MACHINE, kParameters, before));

    struct Case { const wchar_t* arguments; const char* result; };
    const Case cases[] = {{L"repair check --json", nullptr},
                          {L"repair run --preview --json", "\"result\": \"listed\""},
                          {L"repair check", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(wstring(c.arguments)));
        const test::ProcessResult r = Run(c.arguments);
        ASSERT_EQ(r.exitCode, 0u) << r.err;
        const auto lines = Lines(r.out);
        if (wstring(c.arguments).find(L"--json") == wstring::npos) {
            EXPECT_NE(r.out.find("WinSock2: the catalogues under HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\"
                                 "WinSock2\\Parameters are reset: Protocol_Catalog9\\Catalog_Entries64\\000000000001: "
                                 "C:\\Windows\\System32\\wmpcd32.dll -> netsh winsock reset"),
                      string::npos)
                << r.out;
            EXPECT_EQ(r.out.find("failed"), string::npos) << r.out;
            continue;
        }
        const string reset = LineWith(lines, 3, {"\"root\": \"HKEY_LOCAL_MACHINE\"", "WinSock2\\\\Parameters\"",
                                                 "Catalog_Entries64\\\\000000000001: C:\\\\Windows\\\\System32\\\\wmpcd32.dll\"",
                                                 "\"after\": \"netsh winsock reset\""});
        EXPECT_FALSE(reset.empty()) << r.out;
        if (c.result) {
            EXPECT_NE(reset.find(c.result), string::npos) << reset;
        } else {
            EXPECT_EQ(reset.find("\"result\""), string::npos) << reset;
        }
        EXPECT_EQ(r.out.find("REG "), string::npos) << "no import on Windows 7: " << r.out;
        // Nothing was tried, so nothing can have failed.
        EXPECT_EQ(r.out.find("failed"), string::npos) << r.out;
    }

    // Without --yes the question gets No: nothing of the catalogue is touched, nothing failed.
    const test::ProcessResult cautious = Run(L"repair run --json");
    EXPECT_EQ(cautious.exitCode, 0u) << cautious.err << cautious.out;
    EXPECT_NE(cautious.err.find("WinSock2"), string::npos) << "the question is shown: " << cautious.err;
    EXPECT_EQ(cautious.out.find("netsh"), string::npos) << cautious.out;
    wstring after;
    ASSERT_TRUE(AppendRegKeyTree(HKEY_LOCAL_MACHINE, kParameters, after));
    EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace tidemark

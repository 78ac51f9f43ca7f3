// The data packer, run as the build runs it, on small data sets written into a scratch folder:
// a good set packs and deciphers back to its code page 936 text; a definition that would
// delete something the engine protects, or data that cannot be stored exactly, is refused with
// the file and line named, and nothing is written.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "engine/sealed_text.h"
#include "engine/store_keys.h"

namespace tidemark {
namespace {

using Files = std::map<std::wstring, std::string>;  // name -> UTF-8 bytes

const wchar_t* const kListNames[] = {L"VB", L"TROJAN", L"RFILE2", L"WT98", L"WTME", L"WT2K", L"WTXP", L"WT2K3"};

std::wstring PackerPath() { return test::ExeDir() + L"\\..\\..\\tools\\packer\\packer.exe"; }

// The 936 bytes of text, converted here independently of the packer.
std::string In936(const std::wstring& text) {
    const int n = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

FILETIME WriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

bool SetWriteTime(const std::wstring& path, const FILETIME& time) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool set = SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    return set;
}

std::vector<std::wstring> Entries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (entry.cFileName[0] != L'.') names.push_back(entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

// A definitions folder and a lists folder (every list present, empty unless given), and the
// packer's output folder, which does not exist until the packer makes it.
class PackerData {
public:
    PackerData(const Files& definitions, const Files& lists = {}) {
        test::MakeDirs(scratch_ / L"definitions");
        for (const auto& [name, bytes] : definitions) EXPECT_TRUE(test::WriteFileText(Definitions() + L"\\" + name, bytes));
        for (const wchar_t* name : kListNames) {
            const auto given = lists.find(name);
            EXPECT_TRUE(test::WriteFileText(Lists() + L"\\" + name + L".txt", given == lists.end() ? "" : given->second));
        }
    }
    std::wstring Definitions() const { return scratch_ / L"definitions"; }
    std::wstring Lists() const { return scratch_ / L"lists"; }
    std::wstring Out() const { return scratch_ / L"out"; }

    test::ProcessResult Pack() const {
        return test::RunProcess(L"\"" + PackerPath() + L"\" \"" + Definitions() + L"\" \"" + Lists() + L"\" \"" +
                                Out() + L"\"");
    }

private:
    test::ScratchDir scratch_;
};

// One rogue program as a definition writes it: UTF-8 with a byte-order mark, CR LF lines.
const char kGoodV12[] =
    "\xEF\xBB\xBF[Soft]\r\n"
    "id=12\r\n"
    "name=坏工具条 Bad Toolbar\r\n"
    "srv1=BadSvc\r\n"
    "file1=%programfiles%\\Bad\\bad.exe\r\n"
    "file2=%winsystem32%\\badhook.dll\r\n"
    "file3=%programfiles%\\Bad\\*.dat\r\n"
    "chkfile1=%winsystem32%\\drivers\\badkbd.sys\r\n"
    "folder1=%programfiles%\\Bad\\\r\n"
    "regkey1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Bad\\Toolbar\r\n"
    "regkey2=HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\BadSub\r\n"
    "regkey3=HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\BadSvc\r\n"
    "chkkey1=hkey_classes_root\\CLSID\\{00000000-1111-2222-3333-444444444444}\r\n"
    "regvalue1=HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Bad\r\n";

TEST(Packer, PacksAGoodSetThatDeciphersBackTo936) {
    const PackerData data(
        {{L"V12.txt", kGoodV12},
         {L"V2B.txt", "id=2\nname=弹窗\nfile1=%windir%\\popup.exe\n"},  // LF lines, a "B" name
         {L"V3.txt", "id=3\rname=Three\r"},                               // CR lines
         {L"README.md", "not a definition\n"}},
        {{L"TROJAN", "木马.exe\r\nbad.exe\r\n"}, {L"WTXP", "$SYSDIR\\kernel32.dll\n$SYSDIR\\drivers\\tcpip.sys\n"}});
    const test::ProcessResult run = data.Pack();
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_NE(run.out.find("3 definitions, 8 lists"), std::string::npos) << run.out;

    struct Expected {
        const wchar_t* resource;
        std::string key;
        std::vector<std::wstring> lines;
    };
    const Expected expected[] = {
        {L"V12", DefinitionKey(L"V12", kDefinitionKeySource),
         {L"[Soft]", L"id=12", L"name=坏工具条 Bad Toolbar", L"srv1=BadSvc", L"file1=%programfiles%\\Bad\\bad.exe",
          L"file2=%winsystem32%\\badhook.dll", L"file3=%programfiles%\\Bad\\*.dat",
          L"chkfile1=%winsystem32%\\drivers\\badkbd.sys", L"folder1=%programfiles%\\Bad\\",
          L"regkey1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Bad\\Toolbar",
          L"regkey2=HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\BadSub",
          L"regkey3=HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\BadSvc",
          L"chkkey1=hkey_classes_root\\CLSID\\{00000000-1111-2222-3333-444444444444}",
          L"regvalue1=HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Bad"}},
        {L"V2B", DefinitionKey(L"V2B", kDefinitionKeySource), {L"id=2", L"name=弹窗", L"file1=%windir%\\popup.exe"}},
        {L"V3", DefinitionKey(L"V3", kDefinitionKeySource), {L"id=3", L"name=Three"}},
        {L"TROJAN", kFixedStoreKey, {L"木马.exe", L"bad.exe"}},
        {L"WTXP", kFixedStoreKey, {L"$SYSDIR\\kernel32.dll", L"$SYSDIR\\drivers\\tcpip.sys"}},
        {L"VB", kFixedStoreKey, {}},
    };
    for (const Expected& want : expected) {
        SCOPED_TRACE(test::Narrow(want.resource));
        const std::string sealed = ReadBytes(data.Out() + L"\\" + want.resource + L".bin");
        ASSERT_FALSE(sealed.empty());
        EXPECT_EQ(sealed.size() % 8, 0u);
        std::vector<std::string> lines;
        for (const std::wstring& line : want.lines) lines.push_back(In936(line));
        EXPECT_EQ(ReadSealedText(sealed, want.key), lines);
    }

    // One line per resource, definitions in the order of their numbers, lists after them.
    const std::string script = ReadBytes(data.Out() + L"\\sealed.rc");
    std::vector<std::string> names;
    for (const std::string& line : SplitTextLines(script)) {
        if (line.rfind("//", 0) == 0) continue;
        names.push_back(line.substr(0, line.find('"')));
        EXPECT_NE(line.find(".bin\""), std::string::npos) << line;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"V2B V ", "V3 V ", "V12 V ", "VB FILE ", "TROJAN FILE ", "RFILE2 FILE ",
                                               "WT98 FILE ", "WTME FILE ", "WT2K FILE ", "WTXP FILE ", "WT2K3 FILE "}));

    // Packing the same data again rewrites nothing, so the resource compile is not redone.
    const FILETIME old = {0x10000000, 0x01B00000};  // some time long past
    for (const wchar_t* name : {L"sealed.rc", L"V12.bin", L"VB.bin"}) ASSERT_TRUE(SetWriteTime(data.Out() + L"\\" + name, old));
    ASSERT_EQ(data.Pack().exitCode, 0u);
    for (const wchar_t* name : {L"sealed.rc", L"V12.bin", L"VB.bin"}) {
        const FILETIME now = WriteTime(data.Out() + L"\\" + name);
        EXPECT_EQ(CompareFileTime(&old, &now), 0) << test::Narrow(name) << " rewritten";
    }

    // A definition that is gone leaves no file, and the script changes with the set.
    ASSERT_TRUE(DeleteFileW((data.Definitions() + L"\\V3.txt").c_str()));
    ASSERT_EQ(data.Pack().exitCode, 0u);
    EXPECT_FALSE(test::PathExists(data.Out() + L"\\V3.bin"));
    EXPECT_EQ(ReadBytes(data.Out() + L"\\sealed.rc").find("V3 V"), std::string::npos);
}

TEST(Packer, PacksAnEmptySet) {
    const PackerData data({});
    const test::ProcessResult run = data.Pack();
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(ReadSealedText(ReadBytes(data.Out() + L"\\WT2K3.bin"), kFixedStoreKey), std::vector<std::string>{});
}

struct Refusal {
    const char* what;
    Files definitions;
    Files lists;
    std::string where;  // "file:line:" the message names
};

TEST(Packer, RefusesAndWritesNothing) {
    const Files systemLists = {{L"WT98", "$SYSDIR\\tmsysa.dll\r\n"},
                               {L"WT2K3", "$WINDIR\\tmsysb.exe\r\n$SYSDIR\\drivers\\tmdrv.sys\r\n"}};
    const Refusal cases[] = {
        // The file lists of every Windows version count, not only the build machine's.
        {"a file of the 98 system-file list", {{L"V5.txt", "id=5\nname=x\nfile1=%winsystem32%\\TMSYSA.DLL\n"}}, systemLists, "V5.txt:3:"},
        {"a file of the 2003 list, as a check", {{L"V5.txt", "id=5\nchkfile1=%windir%\\tmsysb.exe\n"}}, systemLists, "V5.txt:2:"},
        {"a wildcard naming a listed file", {{L"V5.txt", "id=5\n\nfile7=%winsystem32%\\drivers\\tm*.sys\n"}}, systemLists, "V5.txt:3:"},
        {"the Windows folder", {{L"V5.txt", "id=5\nfolder1=%windir%\n"}}, {}, "V5.txt:2:"},
        {"a wildcard over the system folder", {{L"V5.txt", "id=5\nfile1=%winsystem32%\\*.dll\n"}}, {}, "V5.txt:2:"},
        // Every folder below system32 is the system's too, whatever a rogue put there.
        {"a folder below the system folder", {{L"V5.txt", "id=5\nfolder1=%winsystem32%\\drivers\\rogue\n"}}, {}, "V5.txt:2:"},
        {"a profile's documents", {{L"V5.txt", "id=5\nfolder1=%usermydoc%\n"}}, {}, "V5.txt:2:"},
        {"a profile root", {{L"V5.txt", "id=5\nfolder1=%userprofile%\\\n"}}, {}, "V5.txt:2:"},
        {"the Windows drive", {{L"V5.txt", "id=5\nfolder1=%windriver%\\\n"}}, {}, "V5.txt:2:"},
        {"an unknown macro", {{L"V5.txt", "id=5\nfile1=%nonesuch%\\a.exe\n"}}, {}, "V5.txt:2:"},
        {"a root key", {{L"V5.txt", "id=5\nregkey1=HKEY_LOCAL_MACHINE\n"}}, {}, "V5.txt:2:"},
        {"one key below a root", {{L"V5.txt", "id=5\nregkeyfile1=HKEY_CLASSES_ROOT\\.exe\n"}}, {}, "V5.txt:2:"},
        {"a short root name", {{L"V5.txt", "id=5\nregkey1=HKLM\\SOFTWARE\\Bad\\Toolbar\n"}}, {}, "V5.txt:2:"},
        {"the Run key whole", {{L"V5.txt", "id=5\nregkey1=HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\n"}}, {}, "V5.txt:2:"},
        {"a key holding Winlogon", {{L"V5.txt", "id=5\nchkkey1=hkey_local_machine\\SOFTWARE\\Microsoft\\Windows NT\n"}}, {}, "V5.txt:2:"},
        {"a user's Run key", {{L"V5.txt", "id=5\nregkey1=HKEY_USERS\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\n"}}, {}, "V5.txt:2:"},
        {"the classes CLSID key", {{L"V5.txt", "id=5\nregkey1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\n"}}, {}, "V5.txt:2:"},
        {"a value Windows needs", {{L"V5.txt", "id=5\nregvalue1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\userinit\n"}}, {}, "V5.txt:2:"},
        {"a start-page value, as a check", {{L"V5.txt", "id=5\nchkvalue1=HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main\\Start Page\n"}}, {}, "V5.txt:2:"},
        {"a Windows service", {{L"V5.txt", "id=5\nsrv1=rpcss\n"}}, {}, "V5.txt:2:"},
        {"a bad number", {{L"V5.txt", "id=5\nsafemode=yes\n"}}, {}, "V5.txt:2:"},
        {"a character outside 936", {{L"V5.txt", "id=5\nfile1=%programfiles%\\ªbad.exe\n"}}, {}, "V5.txt:2:"},
        {"a list character outside 936", {}, {{L"TROJAN", "ok.exe\n😀.exe\n"}}, "TROJAN.txt:2:"},
        {"bytes that are not UTF-8", {{L"V5.txt", "id=5\nname=\xC4\xE3\n"}}, {}, "V5.txt:2:"},
        {"a duplicate id", {{L"V5.txt", "id=5\n"}, {L"V5B.txt", "name=again\nid=5\n"}}, {}, "V5B.txt:2:"},
        {"an id differing from the name", {{L"V5.txt", "id=6\n"}}, {}, "V5.txt:1:"},
        {"no id", {{L"V5.txt", "name=x\n"}}, {}, "V5.txt:"},
        {"another .txt name", {{L"notes.txt", "id=5\n"}}, {}, "notes.txt:"},
    };
    for (const Refusal& refusal : cases) {
        SCOPED_TRACE(refusal.what);
        Files definitions = refusal.definitions;
        definitions[L"V9.txt"] = "id=9\nfile1=%programfiles%\\Fine\\fine.exe\n";  // a good one beside it
        const PackerData data(definitions, refusal.lists);
        const test::ProcessResult run = data.Pack();
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_NE(run.err.find("packer: " + refusal.where), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("V9.txt"), std::string::npos) << run.err;
        EXPECT_TRUE(Entries(data.Out()).empty()) << "wrote " << test::Narrow(Entries(data.Out()).front());
    }
}

TEST(Packer, RefusesAMissingList) {
    const PackerData data({});
    ASSERT_TRUE(DeleteFileW((data.Lists() + L"\\WTME.txt").c_str()));
    const test::ProcessResult run = data.Pack();
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.err.find("WTME.txt"), std::string::npos) << run.err;
    EXPECT_FALSE(test::PathExists(data.Out()));
}

}  // namespace
}  // namespace tidemark

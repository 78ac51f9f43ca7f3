// plugins scan / plugins clean, run as the shipped console program with the table it carries (and
// in-process, with the same table carried by the test).
#include <gtest/gtest.h>

#include "system/reg_view.h"

#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/json_writer.h"
#include "common/test_support.h"
#include "engine/sealed_text.h"
#include "engine/store_keys.h"
#include "removal/removal_service.h"
#include "system/file_ops.h"
#include "system/reg_text.h"

namespace tidemark {
namespace {

// On 64-bit Windows every plug-in names its registry view; these are all of the 64-bit one.
const std::string kViewField = SystemIs64Bit() ? ", \"view\": 64" : "";


std::wstring TreeText(HKEY root, const std::wstring& key) {
    std::wstring text;
    AppendRegKeyTree(root, key, text);
    return text;
}

const std::wstring kCli = test::ExeDir() + L"\\..\\..\\src\\cli\\tidemark-cli.exe";
const std::wstring kToolbar = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const std::wstring kBho = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\";
// "MyWebSearch 工具条", rated risky by the table the program carries.
const std::wstring kRisky = L"{07B18EA9-A523-4961-B6BB-170DE4475CCA}";
const std::wstring kNeighbour = L"{C1EA0010-0000-4A11-8B0B-00000000C1EA}";
// The risky plug-in's own key: its kind and its class.
const std::wstring kRiskyKey = L"toolbar:" + kRisky;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// The JSON line of the plug-in with that key; empty when there is none.
std::string LineOf(const std::string& out, const std::wstring& key) {
    for (const std::string& line : Lines(out)) {
        if (line.find("\"key\": " + cli::JsonString(key)) != std::string::npos) return line;
    }
    return {};
}

bool KeyThere(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ValueThere(HKEY root, const std::wstring& path, const std::wstring& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    const bool there = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return there;
}

void SetText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::string Entry(int kind, int state, const std::wstring& text, const wchar_t* outcome = nullptr) {
    cli::JsonObject entry;
    entry.Add("item_kind", kind).Add("state", state).Add("text", text);
    if (outcome) entry.Add("outcome", outcome);
    return entry.Render();
}

// A risky toolbar with its library, beside an unknown helper object with its own.
class Fixture {
public:
    Fixture() {
        SetText(HKEY_CLASSES_ROOT, L"CLSID\\" + kRisky, L"", L"My Web Search Bar");
        SetText(HKEY_CLASSES_ROOT, L"CLSID\\" + kRisky + L"\\InprocServer32", L"", library);
        SetText(HKEY_LOCAL_MACHINE, kToolbar, kRisky, L"");
        SetText(HKEY_CLASSES_ROOT, L"CLSID\\" + kNeighbour, L"", L"Neighbour");
        SetText(HKEY_CLASSES_ROOT, L"CLSID\\" + kNeighbour + L"\\InprocServer32", L"", neighbourLibrary);
        SetText(HKEY_LOCAL_MACHINE, kBho + kNeighbour, L"", L"");
        test::WriteFileText(library, "MZ");
        test::WriteFileText(besideLibrary, "MZ");
        test::WriteFileText(neighbourLibrary, "MZ");
    }
    ~Fixture() {
        for (const std::wstring& guid : {kRisky, kNeighbour}) {
            RegDeleteKeyW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guid + L"\\InprocServer32").c_str());
            RegDeleteKeyW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guid).c_str());
        }
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kBho + kNeighbour).c_str());
        HKEY toolbar = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kToolbar.c_str(), 0, KEY_SET_VALUE, &toolbar) == ERROR_SUCCESS) {
            RegDeleteValueW(toolbar, kRisky.c_str());
            RegCloseKey(toolbar);
        }
    }
    test::ScratchDir dir;
    const std::wstring library = dir / L"mwsbar.dll";
    const std::wstring besideLibrary = dir / L"mwsbar.ini";
    const std::wstring neighbourLibrary = dir / L"neighbour.dll";
};

TEST(CliPlugins, ScanListsAndCleanRemovesOnlyTheNamedPlugin) {
    Fixture f;
    const std::wstring classKey = L"HKEY_CLASSES_ROOT\\CLSID\\" + kRisky;
    const std::wstring value = L"HKEY_LOCAL_MACHINE\\" + kToolbar + L"\\" + kRisky;

    test::ProcessResult r = test::RunProcess(L"\"" + kCli + L"\" plugins scan --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_EQ(LineOf(r.out, kRiskyKey),
              "{\"kind\": 2, \"kind_name\": \"工具栏\", \"risk\": 3, \"risk_name\": \"风险\", \"name\": "
              "\"MyWebSearch 工具条\", \"key\": " + cli::JsonString(kRiskyKey) + ", \"entries\": [" +
                  Entry(3, 3, classKey) + ", " + Entry(2, 3, f.library) + ", " + Entry(4, 3, value) + "]" + kViewField + "}");
    EXPECT_NE(LineOf(r.out, L"bho:" + kNeighbour).find("\"risk\": 2, \"risk_name\": \"安全未知\", \"name\": \"Neighbour\""),
              std::string::npos)
        << r.out;
    const auto lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("{\"summary\": {\"plugins\": ", 0), 0u) << lines.back();

    // Keys as the user types them: no case needed. An unknown one stops everything.
    r = test::RunProcess(L"\"" + kCli + L"\" plugins clean {07b18ea9-a523-4961-b6bb-170de4475cca} {C1EA0099-0000-4A11-8B0B-00000000C1EA}");
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(test::PathExists(f.library));
    EXPECT_TRUE(ValueThere(HKEY_LOCAL_MACHINE, kToolbar, kRisky));

    // The preview lists what the clean will process, in its order (files first), and changes nothing.
    r = test::RunProcess(L"\"" + kCli + L"\" plugins clean --preview {07b18ea9-a523-4961-b6bb-170de4475cca} --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    const auto previewed = Lines(r.out);
    ASSERT_EQ(previewed.size(), 2u) << r.out;
    EXPECT_EQ(previewed[0], "{\"kind\": 2, \"kind_name\": \"工具栏\", \"risk\": 3, \"risk_name\": \"风险\", \"name\": "
                            "\"MyWebSearch 工具条\", \"key\": " + cli::JsonString(kRiskyKey) + ", \"entries\": [" +
                                Entry(2, 3, f.library, L"listed") + ", " + Entry(3, 3, classKey, L"listed") + ", " +
                                Entry(4, 3, value, L"listed") + "]" + kViewField + "}");
    EXPECT_EQ(previewed[1], "{\"summary\": {\"plugins\": 1, \"entries\": 3}}");
    EXPECT_TRUE(test::PathExists(f.library));
    EXPECT_TRUE(ValueThere(HKEY_LOCAL_MACHINE, kToolbar, kRisky));

    const std::string libraryBytes = ReadFileBytes(f.library);
    const std::wstring classBefore = TreeText(HKEY_CLASSES_ROOT, L"CLSID\\" + kRisky);
    r = test::RunProcess(L"\"" + kCli + L"\" plugins clean {07b18ea9-a523-4961-b6bb-170de4475cca} --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    const auto cleaned = Lines(r.out);
    ASSERT_EQ(cleaned.size(), 2u) << r.out;
    EXPECT_EQ(cleaned[0], "{\"kind\": 2, \"kind_name\": \"工具栏\", \"risk\": 3, \"risk_name\": \"风险\", \"name\": "
                          "\"MyWebSearch 工具条\", \"key\": " + cli::JsonString(kRiskyKey) + ", \"entries\": [" +
                              Entry(2, 2, f.library, L"deleted") + ", " + Entry(3, 2, classKey, L"deleted") + ", " +
                              Entry(4, 2, value, L"deleted") + "]" + kViewField + ", \"result\": true}");
    // What it removed went into the undo journal.
    const std::string summary = "{\"summary\": {\"plugins\": 1, \"cleaned\": 1, \"failed\": 0, \"needs_admin\": 0, \"boot\": \"not needed\", \"undo\": \"";
    ASSERT_EQ(cleaned[1].rfind(summary, 0), 0u) << cleaned[1];
    const std::string undo = cleaned[1].substr(summary.size(), cleaned[1].size() - summary.size() - 3);

    // Its registration, class and library are gone; nothing else is.
    EXPECT_FALSE(ValueThere(HKEY_LOCAL_MACHINE, kToolbar, kRisky));
    EXPECT_FALSE(KeyThere(HKEY_CLASSES_ROOT, L"CLSID\\" + kRisky));
    EXPECT_FALSE(test::PathExists(f.library));
    EXPECT_TRUE(test::PathExists(f.besideLibrary));
    EXPECT_TRUE(KeyThere(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar"));
    EXPECT_TRUE(KeyThere(HKEY_LOCAL_MACHINE, kBho + kNeighbour));
    EXPECT_TRUE(KeyThere(HKEY_CLASSES_ROOT, L"CLSID\\" + kNeighbour + L"\\InprocServer32"));
    EXPECT_TRUE(test::PathExists(f.neighbourLibrary));

    r = test::RunProcess(L"\"" + kCli + L"\" plugins scan --json");
    EXPECT_EQ(LineOf(r.out, kRiskyKey), "");
    r = test::RunProcess(L"\"" + kCli + L"\" plugins clean");
    EXPECT_EQ(r.exitCode, 2u);

    // The journal puts the plug-in back as it was: registration, class and library.
    r = test::RunProcess(L"\"" + kCli + L"\" undo restore " + test::Widen(undo) + L" --yes --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err << r.out;
    EXPECT_TRUE(ValueThere(HKEY_LOCAL_MACHINE, kToolbar, kRisky));
    EXPECT_EQ(TreeText(HKEY_CLASSES_ROOT, L"CLSID\\" + kRisky), classBefore);
    EXPECT_EQ(ReadFileBytes(f.library), libraryBytes);
    r = test::RunProcess(L"\"" + kCli + L"\" plugins scan --json");
    EXPECT_NE(LineOf(r.out, kRiskyKey), "");
}

// One class registered as a helper object beside the toolbar: two plug-ins, each with its own
// key. The class alone no longer names one of them and is refused; the kind and class name one.
TEST(CliPlugins, AClassThatIsTwoPluginsIsNamedByKindAndClass) {
    Fixture f;
    SetText(HKEY_LOCAL_MACHINE, kBho + kRisky, L"", L"");
    struct Cleanup {
        ~Cleanup() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kBho + kRisky).c_str()); }
    } cleanup;

    test::ProcessResult r = test::RunProcess(L"\"" + kCli + L"\" plugins scan --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_NE(LineOf(r.out, L"bho:" + kRisky), "") << r.out;
    EXPECT_NE(LineOf(r.out, kRiskyKey), "") << r.out;

    for (const wchar_t* mode : {L"--preview ", L""}) {
        r = test::RunProcess(L"\"" + kCli + L"\" plugins clean " + mode + kRisky + L" --json");
        EXPECT_EQ(r.exitCode, 2u) << test::Narrow(mode);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("names 2 plug-ins (bho:" + test::Narrow(kRisky) + ", toolbar:" + test::Narrow(kRisky) + ")"),
                  std::string::npos)
            << r.err;
    }
    EXPECT_TRUE(KeyThere(HKEY_LOCAL_MACHINE, kBho + kRisky));
    EXPECT_TRUE(ValueThere(HKEY_LOCAL_MACHINE, kToolbar, kRisky));

    // Either letter case; only the helper object's registration goes, the toolbar's stays.
    r = test::RunProcess(L"\"" + kCli + L"\" plugins clean BHO:" + kRisky + L" --json");
    ASSERT_LE(r.exitCode, 1u) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_EQ(lines[0].rfind("{\"kind\": 1, ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("\"key\": " + cli::JsonString(L"bho:" + kRisky)), std::string::npos) << lines[0];
    EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kBho + kRisky));
    EXPECT_TRUE(ValueThere(HKEY_LOCAL_MACHINE, kToolbar, kRisky));
}

// A copy of the console program whose definition set cannot load: no cleaner, exit 3.
TEST(CliPlugins, NoCleanerExitsThree) {
    test::ScratchDir dir;
    const std::wstring copy = dir / L"tidemark-cli.exe";
    ASSERT_TRUE(CopyFileW(kCli.c_str(), copy.c_str(), FALSE));
    HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    std::string bad = SealText("id=x\r\nname=x\r\n", DefinitionKey(L"V2", kDefinitionKeySource));
    ASSERT_TRUE(UpdateResourceW(update, L"V", L"V2", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), bad.data(),
                                static_cast<DWORD>(bad.size())));
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
    for (const wchar_t* command : {L" plugins scan --json", L" plugins clean {C1EA0010-0000-4A11-8B0B-00000000C1EA}"}) {
        const test::ProcessResult r = test::RunProcess(L"\"" + copy + L"\"" + command);
        EXPECT_EQ(r.exitCode, 3u);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("V2"), std::string::npos) << r.err;
    }
}

// Keys of HKEY_CLASSES_ROOT are refused every change, as a program without administrator
// rights finds them; everything else is the system's.
UniqueHKey OpenClassesForReadingOnly(HKEY root, const std::wstring& path, REGSAM access, LONG* error) {
    return root == HKEY_CLASSES_ROOT ? test::OpenKeyForReadingOnly(root, path, access, error)
                                     : OpenRegKey(root, path, access, error);
}
bool RefuseClassesRemoval(HKEY root, const std::wstring& key) {
    return root != HKEY_CLASSES_ROOT && SHDeleteKeyW(root, key.c_str()) == ERROR_SUCCESS;
}

// A plug-in whose class the system refuses to remove: without administrator rights the entry
// and the plug-in say why and the summary counts the plug-in; as administrator it is a plain
// failure. In-process, so the process's removal service can stand in for the refusing registry.
TEST(CliPlugins, APluginLeftForWantOfRightsSaysSoAndIsCounted) {
    struct RefusingClasses {
        RefusingClasses() { ProcessRemovalService().SetRegistryAccess(OpenClassesForReadingOnly, RefuseClassesRemoval); }
        ~RefusingClasses() { ProcessRemovalService().SetRegistryAccess(nullptr, nullptr); }
    } refusing;
    const std::wstring classKey = L"HKEY_CLASSES_ROOT\\CLSID\\" + kRisky;
    const std::wstring value = L"HKEY_LOCAL_MACHINE\\" + kToolbar + L"\\" + kRisky;
    for (const bool admin : {false, true}) {
        SCOPED_TRACE(admin ? "administrator" : "without rights");
        Fixture f;
        const test::ScopedAdminRights rights(admin);
        cli::BufferOutput output;
        EXPECT_EQ(cli::RunCli({L"plugins", L"clean", kRisky, L"--json"}, output), 1) << output.err;
        const auto lines = Lines(output.out);
        ASSERT_EQ(lines.size(), 2u) << output.out << output.err;
        std::string refused = Entry(3, 5, classKey, L"failed");
        if (!admin) refused.insert(refused.size() - 1, ", \"reason\": \"needs_admin\"");
        EXPECT_EQ(lines[0], "{\"kind\": 2, \"kind_name\": \"工具栏\", \"risk\": 3, \"risk_name\": \"风险\", \"name\": "
                            "\"MyWebSearch 工具条\", \"key\": " + cli::JsonString(kRiskyKey) + ", \"entries\": [" +
                                Entry(2, 2, f.library, L"deleted") + ", " + refused + ", " +
                                Entry(4, 2, value, L"deleted") + "]" + kViewField + ", \"result\": false" +
                                (admin ? "" : ", \"reason\": \"needs_admin\"") + "}");
        EXPECT_EQ(lines[1].rfind("{\"summary\": {\"plugins\": 1, \"cleaned\": 0, \"failed\": 1, \"needs_admin\": " +
                                     std::string(admin ? "0" : "1") + ", ",
                                 0),
                  0u)
            << lines[1];
        EXPECT_TRUE(KeyThere(HKEY_CLASSES_ROOT, L"CLSID\\" + kRisky));
    }
}

}  // namespace
}  // namespace tidemark

// The boot-time deletion tool's list work, run as an ordinary program against the real file
// system and registry of the prefix. A scratch folder stands in for the system folder.
#include "cleandos/cleandos_core.h"
#include "engine/boot_checksum.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/test_support.h"
#include "system/file_ops.h"

namespace tidemark::cleandos {
namespace {

using test::PathExists;
using test::ScratchDir;
using test::WriteFileText;

struct Collected : BootOutput {
    std::vector<std::wstring> lines;
    void Line(const wchar_t* text) override { lines.emplace_back(text); }
    bool Has(const std::wstring& part) const {
        for (const auto& line : lines)
            if (line.find(part) != std::wstring::npos) return true;
        return false;
    }
};

std::string Ansi(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr,
                        nullptr);
    return bytes;
}

std::wstring Decimal(std::uint32_t value) { return std::to_wstring(value); }

// The list as the program writes it: ANSI (936), every line ended by CR LF.
std::wstring WriteList(const ScratchDir& system, const std::vector<std::wstring>& lines) {
    std::string bytes;
    for (const auto& line : lines) bytes += Ansi(line) + "\r\n";
    EXPECT_TRUE(WriteFileText(system / L"cleandos.lst", bytes));
    return Decimal(BootListChecksum(lines));
}

BootListSummary RunList(const ScratchDir& system, const wchar_t* argument, Collected& out) {
    return RunBootList((L"\\??\\" + system.path()).c_str(), argument, out);
}

// A key under HKLM\SOFTWARE\TidemarkTests (or under HKCR), removed with its tree at scope end.
class MachineKey {
public:
    explicit MachineKey(const std::wstring& under = L"SOFTWARE\\TidemarkTests") {
        path_ = under + L"\\cleandos_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                std::to_wstring(++counter_);
        Create(L"");
    }
    ~MachineKey() { SHDeleteKeyW(HKEY_LOCAL_MACHINE, path_.c_str()); }
    MachineKey(const MachineKey&) = delete;
    MachineKey& operator=(const MachineKey&) = delete;

    std::wstring Full(const std::wstring& sub) const { return sub.empty() ? path_ : path_ + L"\\" + sub; }
    bool Create(const std::wstring& sub) const {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Full(sub).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    bool SetValue(const std::wstring& sub, const wchar_t* name, const std::wstring& data) const {
        return SHSetValueW(HKEY_LOCAL_MACHINE, Full(sub).c_str(), name, REG_SZ, data.c_str(),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    bool KeyExists(const std::wstring& sub) const {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Full(sub).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    bool ValueExists(const std::wstring& sub, const wchar_t* name) const {
        return SHGetValueW(HKEY_LOCAL_MACHINE, Full(sub).c_str(), name, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
    }

private:
    std::wstring path_;
    static inline int counter_ = 0;
};

TEST(CleandosTest, EveryTagRemovesItsTargetAndEmptiesTheList) {
    ScratchDir system, area;
    ASSERT_TRUE(WriteFileText(area / L"plain.dll", "x"));
    ASSERT_TRUE(WriteFileText(area / L"locked.dll", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(WriteFileText(area / L"tree\\top.txt", "x"));
    ASSERT_TRUE(WriteFileText(area / L"tree\\sub\\inner.txt", "x", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(test::MakeDirs(area / L"tree\\sub\\empty"));
    ASSERT_TRUE(WriteFileText(area / L"treeSibling\\stay.txt", "x"));

    MachineKey key;
    ASSERT_TRUE(key.Create(L"tree\\sub\\deeper"));
    ASSERT_TRUE(key.SetValue(L"tree\\sub", L"v", L"1"));
    ASSERT_TRUE(key.Create(L"treeSibling"));
    ASSERT_TRUE(key.SetValue(L"values", L"gone", L"1"));
    ASSERT_TRUE(key.SetValue(L"values", L"kept", L"1"));
    ASSERT_TRUE(key.SetValue(L"values", L"", L"default"));
    ASSERT_TRUE(key.SetValue(L"defaultOnly", L"", L"default"));
    ASSERT_TRUE(key.SetValue(L"defaultOnly", L"named", L"1"));
    MachineKey classes(L"SOFTWARE\\Classes");
    ASSERT_TRUE(classes.Create(L"shell\\open"));
    const std::wstring classesName = classes.Full(L"").substr(std::wstring(L"SOFTWARE\\Classes\\").size());

    const std::vector<std::wstring> lines = {
        L"F" + area / L"plain.dll",
        L"F" + area / L"locked.dll",
        L"D" + area / L"tree",
        L"KHKLM\\" + key.Full(L"tree"),
        L"VHKLM\\" + key.Full(L"values") + L"\\gone",
        L"VHKLM\\" + key.Full(L"defaultOnly") + L"\\",
        L"KHKCR\\" + classesName,
    };
    const std::wstring checksum = WriteList(system, lines);
    Collected out;
    const BootListSummary summary = RunList(system, checksum.c_str(), out);

    EXPECT_TRUE(summary.ran);
    EXPECT_EQ(summary.deleted, lines.size());
    EXPECT_EQ(summary.failed, 0u);
    EXPECT_FALSE(PathExists(area / L"plain.dll"));
    EXPECT_FALSE(PathExists(area / L"locked.dll"));
    EXPECT_FALSE(PathExists(area / L"tree"));
    EXPECT_TRUE(PathExists(area / L"treeSibling\\stay.txt"));
    EXPECT_FALSE(key.KeyExists(L"tree"));
    EXPECT_TRUE(key.KeyExists(L"treeSibling"));
    EXPECT_FALSE(key.ValueExists(L"values", L"gone"));
    EXPECT_TRUE(key.ValueExists(L"values", L"kept"));
    EXPECT_TRUE(key.ValueExists(L"values", L""));
    EXPECT_FALSE(key.ValueExists(L"defaultOnly", L""));
    EXPECT_TRUE(key.ValueExists(L"defaultOnly", L"named"));
    EXPECT_FALSE(classes.KeyExists(L""));
    EXPECT_TRUE(out.Has(L"cleandos: deleted file " + area / L"locked.dll"));
    EXPECT_TRUE(out.Has(L"cleandos: deleted folder " + area / L"tree"));
    EXPECT_EQ(ReadFileBytes(system / L"cleandos.lst"), "");

    // The emptied list is never worked through again, whatever the argument.
    ASSERT_TRUE(WriteFileText(area / L"plain.dll", "x"));
    Collected again;
    EXPECT_FALSE(RunList(system, checksum.c_str(), again).ran);
    EXPECT_TRUE(PathExists(area / L"plain.dll"));
}

TEST(CleandosTest, ChecksumExampleIsAccepted) {
    // A file that does not exist: the run is accepted and reports it as gone.
    ScratchDir system;
    ASSERT_TRUE(WriteFileText(system / L"cleandos.lst", "FC:\\a.dll\r\n"));
    Collected out;
    const BootListSummary summary = RunList(system, L"52", out);
    EXPECT_TRUE(summary.ran);
    EXPECT_EQ(summary.absent, 1u);
    EXPECT_TRUE(out.Has(L"cleandos: file C:\\a.dll is already gone"));
}

TEST(CleandosTest, MissingOrWrongChecksumDeletesNothing) {
    struct Case {
        const wchar_t* argument;
    } cases[] = {{nullptr}, {L""}, {L"53"}, {L"52x"}, {L"-52"}, {L" 52"}, {L"4294967348"}, {L"99999999999999"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument ? test::Narrow(c.argument) : "<none>");
        ScratchDir system, area;
        ASSERT_TRUE(WriteFileText(area / L"victim.dll", "x"));
        // 52 is the checksum of the line "FC:\a.dll"; pick a path of the same tag and length.
        std::wstring line = L"F" + area / L"victim.dll";
        const std::wstring right = WriteList(system, {line});
        const std::string before = ReadFileBytes(system / L"cleandos.lst");
        ASSERT_NE(right, L"53");  // the cases assume the real checksum differs from them
        Collected out;
        const BootListSummary summary = RunList(system, c.argument, out);
        EXPECT_FALSE(summary.ran);
        EXPECT_EQ(summary.deleted + summary.failed + summary.absent, 0u);
        EXPECT_TRUE(PathExists(area / L"victim.dll"));
        EXPECT_EQ(ReadFileBytes(system / L"cleandos.lst"), before);
        EXPECT_EQ(out.lines.size(), 1u);
    }
}

TEST(CleandosTest, AnsiListWithChinesePath) {
    ScratchDir system, area;
    const std::wstring folder = area / L"清理测试";
    ASSERT_TRUE(WriteFileText(folder + L"\\文件.txt", "x"));
    ASSERT_TRUE(WriteFileText(area / L"单个.dll", "x"));
    const std::vector<std::wstring> lines = {L"D" + folder, L"F" + area / L"单个.dll"};
    // The UTF-16 checksum differs from one over the ANSI bytes: this proves the conversion.
    const std::wstring checksum = WriteList(system, lines);
    Collected out;
    const BootListSummary summary = RunList(system, checksum.c_str(), out);
    EXPECT_TRUE(summary.ran);
    EXPECT_EQ(summary.deleted, 2u);
    EXPECT_FALSE(PathExists(folder));
    EXPECT_FALSE(PathExists(area / L"单个.dll"));
    EXPECT_TRUE(out.Has(L"cleandos: deleted folder " + folder));
}

TEST(CleandosTest, LineEndsAreNotPartOfTheLines) {
    ScratchDir system, area;
    for (const wchar_t* name : {L"a.dll", L"b.dll", L"c.dll", L"d.dll"})
        ASSERT_TRUE(WriteFileText(area / name, "x"));
    const std::vector<std::wstring> lines = {L"F" + area / L"a.dll", L"", L"F" + area / L"b.dll",
                                             L"F" + area / L"c.dll", L"F" + area / L"d.dll"};
    // CR LF, an empty line, a bare LF, a trailing CR with no LF, and a last line with no end.
    const std::string bytes = Ansi(lines[0]) + "\r\n\r\n" + Ansi(lines[2]) + "\n" + Ansi(lines[3]) +
                              "\r\n" + Ansi(lines[4]);
    ASSERT_TRUE(WriteFileText(system / L"cleandos.lst", bytes));
    Collected out;
    const BootListSummary summary = RunList(system, Decimal(BootListChecksum(lines)).c_str(), out);
    EXPECT_TRUE(summary.ran);
    EXPECT_EQ(summary.deleted, 4u);
    EXPECT_EQ(summary.failed, 0u);
    for (const wchar_t* name : {L"a.dll", L"b.dll", L"c.dll", L"d.dll"})
        EXPECT_FALSE(PathExists(area / name)) << test::Narrow(name);
}

TEST(CleandosTest, UnsafeOrUnreadableLinesAreRefusedAndTheRestGoesOn) {
    ScratchDir system, area;
    ASSERT_TRUE(WriteFileText(area / L"keep\\k.txt", "x"));
    ASSERT_TRUE(WriteFileText(area / L"last.dll", "x"));
    ASSERT_TRUE(WriteFileText(area / L"folder\\f.txt", "x"));
    // Registry names may hold control characters; the program never records one.
    MachineKey key;
    const std::wstring controlKey = std::wstring(L"ctl") + L'\x01' + L"key";
    ASSERT_TRUE(key.Create(controlKey));
    ASSERT_TRUE(key.Create(L"victim"));
    ASSERT_TRUE(key.SetValue(L"values", L"na\tme", L"1"));
    ASSERT_TRUE(key.SetValue(L"values", L"na\x7Fme", L"1"));
    const std::vector<std::wstring> bad = {
        L"Drelative\\folder",
        L"DC:\\",
        L"D" + area / L"sub\\..\\keep",
        L"D" + area / L".\\keep",
        L"D" + area / L"k*",
        L"D\\\\server\\share",
        L"F",
        L"Xsomething",
        L"KHKLM\\",
        L"KHKLM\\SOFTWARE\\\\x",
        L"KHKCU\\Software\\x",
        L"KHKCR\\",
        L"VHKLM\\value",
        L"F" + area / L"folder",  // a folder named on a file line
        L"KHKLM\\" + key.Full(controlKey),
        L"KHKLM\\" + key.Full(L"victim") + L"\r",  // a CR left over inside the line
        L"KHKLM\\" + key.Full(L"vic\rtim"),
        L"VHKLM\\" + key.Full(L"values") + L"\\na\tme",
        L"VHKLM\\" + key.Full(L"values") + L"\\na\x7Fme",
        L"F" + area / L"last.dll\r",
    };
    std::vector<std::wstring> lines = bad;
    lines.push_back(L"F" + area / L"last.dll");
    Collected out;
    const BootListSummary summary = RunList(system, WriteList(system, lines).c_str(), out);
    EXPECT_TRUE(summary.ran);
    EXPECT_EQ(summary.failed, bad.size());
    EXPECT_EQ(summary.deleted, 1u);
    EXPECT_TRUE(PathExists(area / L"keep\\k.txt"));
    EXPECT_TRUE(PathExists(area / L"folder\\f.txt"));
    EXPECT_FALSE(PathExists(area / L"last.dll"));
    EXPECT_TRUE(out.Has(L"cleandos: line 2 not understood: DC:\\"));
    EXPECT_TRUE(key.KeyExists(controlKey));
    EXPECT_TRUE(key.KeyExists(L"victim"));
    EXPECT_TRUE(key.ValueExists(L"values", L"na\tme"));
    EXPECT_TRUE(key.ValueExists(L"values", L"na\x7Fme"));
    // The boot screen sees control characters as '?'.
    EXPECT_TRUE(out.Has(L"not understood: KHKLM\\" + key.Full(L"victim") + L"?"));
}

TEST(CleandosTest, FolderLinksAreNeverFollowed) {
    const std::wstring base = L"C:\\tm-fixtures\\cleandos";
    if (!PathExists(base + L"\\outside\\keep.txt")) GTEST_SKIP() << "link fixtures not made";
    ScratchDir system;
    const std::vector<std::wstring> lines = {L"D" + base + L"\\tree", L"D" + base + L"\\toplink"};
    Collected out;
    const BootListSummary summary = RunList(system, WriteList(system, lines).c_str(), out);
    EXPECT_TRUE(summary.ran);
    // The links' target keeps its content whether or not the system let the links go.
    EXPECT_TRUE(PathExists(base + L"\\outside\\keep.txt"));
    EXPECT_EQ(summary.deleted + summary.failed, 2u);
    if (summary.failed) {
        // Wine resolves Unix links even when asked for the link: they stay and say so.
        EXPECT_TRUE(out.Has(L"the link opens as its target and is left") ||
                    out.Has(L"cleandos: deleting folder " + base + L"\\toplink failed"));
    }
}

TEST(CleandosTest, RegistryLinksInsideATreeAreNotFollowed) {
    MachineKey key;
    ASSERT_TRUE(key.Create(L"target\\child"));
    ASSERT_TRUE(key.Create(L"tree"));
    HKEY link = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.Full(L"tree\\link").c_str(), 0, nullptr,
                        REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr, &link,
                        nullptr) != ERROR_SUCCESS)
        GTEST_SKIP() << "registry links unavailable";
    const std::wstring target = L"\\Registry\\Machine\\" + key.Full(L"target");
    RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                   static_cast<DWORD>(target.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    ASSERT_TRUE(key.KeyExists(L"tree\\link\\child")) << "the link does not lead to its target";

    ScratchDir system;
    Collected out;
    const BootListSummary summary =
        RunList(system, WriteList(system, {L"KHKLM\\" + key.Full(L"tree")}).c_str(), out);
    EXPECT_EQ(summary.deleted, 1u);
    EXPECT_FALSE(key.KeyExists(L"tree"));
    EXPECT_TRUE(key.KeyExists(L"target\\child"));
}

TEST(CleandosTest, ArgumentFromNativeCommandLine) {
    struct Case {
        const wchar_t* commandLine;
        const wchar_t* argument;  // null: none
    } cases[] = {
        {L"cleandos 52", L"52"},
        {L"52", L"52"},
        {L"\\SystemRoot\\system32\\cleandos.exe   52  ", L"52"},
        {L"\"C:\\a b\\cleandos.exe\" 7", L"7"},
        {L"cleandos", nullptr},
        {L"  ", nullptr},
        {L"", nullptr},
        {L"cleandos 123456789012345678901234567890123", nullptr},  // longer than the buffer
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(test::Narrow(c.commandLine));
        wchar_t argument[32] = L"?";
        const std::wstring line = c.commandLine;
        const bool found = BootArgumentFromCommandLine(line.data(), static_cast<unsigned>(line.size()),
                                                       argument, 32);
        EXPECT_EQ(found, c.argument != nullptr);
        if (c.argument) {
            EXPECT_STREQ(argument, c.argument);
        }
    }
}

}  // namespace
}  // namespace tidemark::cleandos

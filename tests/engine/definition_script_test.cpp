#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/definition_script.h"

namespace tidemark {
namespace {

std::wstring Join(const std::vector<ScriptEntry>& entries) {
    std::wstring out;
    for (const ScriptEntry& e : entries) out += (out.empty() ? L"" : L"|") + e.Text;
    return out;
}

// Every field that differs from a fresh definition, in a fixed order, so one expected text
// shows both what a line set and that it set nothing else.
std::wstring Summary(const DefinitionScript& s, const ScriptFixRequests& fixes) {
    std::wstring out;
    auto add = [&out](const std::wstring& item) { out += (out.empty() ? L"" : L" ") + item; };
    if (s.Id != -1) add(L"Id=" + std::to_wstring(s.Id));
    if (!s.Name.empty()) add(L"Name=" + s.Name);
    if (!s.Main.empty()) add(L"Main=" + s.Main);
    if (!s.Hint.empty()) add(L"Hint=" + s.Hint);
    if (s.CancelShutdown) add(L"CancelShutdown");
    if (s.SafeMode) add(L"SafeMode");
    if (s.KillExplorer) add(L"KillExplorer");
    if (!s.Includes.empty()) {
        std::wstring numbers;
        for (auto n : s.Includes) numbers += (numbers.empty() ? L"" : L"|") + std::to_wstring(n);
        add(L"Includes=" + numbers);
    }
    const std::pair<const wchar_t*, const std::vector<ScriptEntry>*> lists[] = {
        {L"Files", &s.Files},           {L"RegKeys", &s.RegKeys},       {L"RegValues", &s.RegValues},
        {L"Services", &s.Services},     {L"Folders", &s.Folders},       {L"KeyFiles", &s.KeyFiles},
        {L"CheckFiles", &s.CheckFiles}, {L"CheckKeys", &s.CheckKeys},   {L"CheckValues", &s.CheckValues},
        {L"CheckTexts", &s.CheckTexts},
    };
    for (const auto& [name, list] : lists) {
        if (!list->empty()) add(std::wstring(name) + L"=" + Join(*list));
    }
    if (fixes.HostsFixWanted) add(L"HostsFix");
    if (fixes.NotifyFixWanted) add(L"NotifyFix");
    return out;
}

std::wstring SummaryOf(const std::vector<std::wstring>& lines) {
    ScriptFixRequests fixes;
    const DefinitionScriptRead read = ReadDefinitionScript(lines, fixes);
    if (!read.Ok()) return L"error at " + std::to_wstring(read.Error->Line) + L": " + read.Error->Text;
    return Summary(read.Script, fixes);
}

TEST(DefinitionScript, EachKeyInItsExactOrPrefixForm) {
    const struct { std::vector<std::wstring> lines; std::wstring expected; } cases[] = {
        // Scalars: exact keys only, any letter case, blanks around key and value.
        {{L"id=12"}, L"Id=12"},
        {{L"ID = 12"}, L"Id=12"},
        {{L"\t id \t=\t -7 \r"}, L"Id=-7"},
        {{L"id=+5"}, L"Id=5"},
        {{L"id=007"}, L"Id=7"},
        {{L"id1=5", L"ids=5"}, L""},
        {{L"Name= Toolbar  Helper "}, L"Name=Toolbar  Helper"},
        {{L"name=\u6076\u610f\u63d2\u4ef6"}, L"Name=\u6076\u610f\u63d2\u4ef6"},
        {{L"names=x", L"name1=x"}, L""},
        {{L"main=bar.exe"}, L"Main=bar.exe"},
        {{L"hint=Read Me"}, L"Hint=Read Me"},
        {{L"cancelshutdown=1"}, L"CancelShutdown"},
        {{L"safemode=2"}, L"SafeMode"},
        {{L"SafeMode=-1"}, L"SafeMode"},
        {{L"safemode=0"}, L""},
        {{L"killexplorer=1"}, L"KillExplorer"},
        {{L"killexplorers=1"}, L""},
        {{L"include=40"}, L"Includes=40"},
        {{L"include1=40", L"includes=40"}, L""},
        // Lists: prefix keys, values as written (no macro expansion, letter case kept).
        {{L"srv=BadSvc"}, L"Services=BadSvc"},
        {{L"SRV2=BadSvc", L"srvname=Other"}, L"Services=BadSvc|Other"},
        {{L"file=%windir%\\bad.txt"}, L"Files=%windir%\\bad.txt"},
        {{L"file1=C:\\a\\*.tmp", L"filelist=C:\\b.txt", L"File 3=C:\\c.txt"},
         L"Files=C:\\a\\*.tmp|C:\\b.txt|C:\\c.txt"},
        {{L"folder=%programfiles%\\Bad", L"folders=C:\\x\\"}, L"Folders=%programfiles%\\Bad|C:\\x\\"},
        {{L"regkeyfile=HKEY_CLASSES_ROOT\\CLSID\\{1}", L"regkeyfile1=HKCR\\x"},
         L"KeyFiles=HKEY_CLASSES_ROOT\\CLSID\\{1}|HKCR\\x"},
        {{L"regkey=HKEY_LOCAL_MACHINE\\Software\\My App", L"RegKeys9=HKCU\\k"},
         L"RegKeys=HKEY_LOCAL_MACHINE\\Software\\My App|HKCU\\k"},
        {{L"regvalue1=HKEY_CURRENT_USER\\Run\\bad"}, L"RegValues=HKEY_CURRENT_USER\\Run\\bad"},
        {{L"chkfile1=%system%\\bad.dll"}, L"CheckFiles=%system%\\bad.dll"},
        {{L"chkkey=HKLM\\Software\\Bad"}, L"CheckKeys=HKLM\\Software\\Bad"},
        {{L"chkvalue2=HKLM\\Run\\bad"}, L"CheckValues=HKLM\\Run\\bad"},
        {{L"chktext=HKLM\\Run,bad.exe"}, L"CheckTexts=HKLM\\Run,bad.exe"},
        // Prefixes shorter than a word, or words that only contain one, match nothing.
        {{L"fil=x", L"reg=x", L"chk=x", L"sr=x", L"myfile=x"}, L""},
        // The two fix requests: exact keys, the value "1" after trimming and nothing else.
        {{L"fixhosts=1"}, L"HostsFix"},
        {{L"fixhosts= 1 "}, L"HostsFix"},
        {{L"FIXNOTIFY=1"}, L"NotifyFix"},
        {{L"fixhosts=0", L"fixhosts=01", L"fixhosts=yes", L"fixhosts1=1", L"fixnotify=2"}, L""},
        {{L"unknown=1", L"version=3"}, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(SummaryOf(c.lines), c.expected) << c.lines.front();
}

TEST(DefinitionScript, LineShapesThatCarryNothing) {
    const struct { std::vector<std::wstring> lines; std::wstring expected; } cases[] = {
        {{}, L""},
        {{L"", L"   ", L"\t\r\n", std::wstring(5, L'\0')}, L""},
        {{L"[Soft]", L"  [id=5]", L"[id=5"}, L""},
        {{L"id 12", L"no equals sign at all"}, L""},
        {{L"=5", L" = 5", L"="}, L""},
        {{L"id=", L"id=   ", L"file= \t"}, L""},
        // The first "=" splits; later ones belong to the value.
        {{L"regvalue=HKCU\\K\\a=b"}, L"RegValues=HKCU\\K\\a=b"},
        {{L"name==x="}, L"Name==x="},
        // Control characters count as blanks at either end, not inside.
        {{std::wstring(L"\x01id=5\x1f", 6)}, L"Id=5"},
        {{std::wstring(L"name=a\0b\0", 9)}, std::wstring(L"Name=a\0b", 8)},
        // Only A to Z are lower-cased in a key.
        {{L"\u0130d=5"}, L""},
        // A script may mix all of it.
        {{L"[Soft]", L"ID=3", L"; a note", L"Name=Bar", L"", L"file1=C:\\bar.txt"},
         L"Id=3 Name=Bar Files=C:\\bar.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SummaryOf(c.lines), c.expected) << (c.lines.empty() ? L"(none)" : c.lines.front());
    }
}

TEST(DefinitionScript, ScalarsTakeTheLastOccurrenceAndListsEveryOne) {
    EXPECT_EQ(SummaryOf({L"id=1", L"name=A", L"id=2", L"name=B", L"hint=x", L"hint=y"}), L"Id=2 Name=B Hint=y");
    EXPECT_EQ(SummaryOf({L"safemode=1", L"safemode=0", L"killexplorer=0", L"killexplorer=3"}), L"KillExplorer");
    EXPECT_EQ(SummaryOf({L"include=2", L"include=1", L"include=2"}), L"Includes=2|1|2");
    EXPECT_EQ(SummaryOf({L"srv1=a", L"srv1=a", L"chktext=t", L"chktext2=t"}), L"Services=a|a CheckTexts=t|t");
}

TEST(DefinitionScript, EntriesKeepTheirLineNumbers) {
    ScriptFixRequests fixes;
    const auto read = ReadDefinitionScript({L"[Soft]", L"", L"folder=C:\\a", L"file=C:\\x.txt", L"file=C:\\y.exe"}, fixes);
    ASSERT_TRUE(read.Ok());
    EXPECT_EQ(read.Script.Folders, (std::vector<ScriptEntry>{{L"C:\\a", 3}}));
    EXPECT_EQ(read.Script.Files, (std::vector<ScriptEntry>{{L"C:\\y.exe", 5}, {L"C:\\x.txt", 4}}));
}

TEST(DefinitionScript, FilesAreOrderedExeThenDllThenTheRest) {
    EXPECT_EQ(SummaryOf({L"file=a.txt", L"file=a.dll", L"file=a.exe"}), L"Files=a.exe|a.dll|a.txt");
    EXPECT_EQ(SummaryOf({L"file1=C:\\p\\readme", L"file2=C:\\p\\B.Dll", L"file3=C:\\p\\one.EXE",
                         L"file4=C:\\p\\x.dll", L"file5=C:\\p\\two.exe", L"file6=C:\\p\\c.ini"}),
              L"Files=C:\\p\\one.EXE|C:\\p\\two.exe|C:\\p\\B.Dll|C:\\p\\x.dll|C:\\p\\readme|C:\\p\\c.ini");
    // The check list, and every other, stays in script order.
    EXPECT_EQ(SummaryOf({L"chkfile=a.txt", L"chkfile=a.exe"}), L"CheckFiles=a.txt|a.exe");

    // Only the extension of the last path component counts.
    const struct { const wchar_t* path; int group; } cases[] = {
        {L"C:\\bad.exe", 0},      {L"C:\\BAD.EXE", 0},       {L"C:\\d\\*.exe", 0},
        {L"bad.dll", 1},          {L"C:\\d\\x.DlL", 1},      {L"C:\\bad.exe.bak", 2},
        {L"C:\\dir.exe\\readme", 2}, {L"C:/dir.exe/readme", 2}, {L"C:\\bad.exe\\", 2},
        {L"C:.exe", 0},           {L"C:exe", 2},             {L"C:\\bad.exe ", 2},
        {L"C:\\bad.exee", 2},     {L"C:\\bad.ex", 2},        {L"exe", 2},
        {L".exe", 0},             {L"", 2},                  {L"C:\\bad.\u0435xe", 2},
    };
    for (const auto& c : cases) EXPECT_EQ(FileOrderGroup(c.path), c.group) << c.path;
}

TEST(DefinitionScript, CommaRuleNamesTheValueBeforeTheLastInnerComma) {
    const struct { const wchar_t* text; const wchar_t* path; } cases[] = {
        {L"HKEY_LOCAL_MACHINE\\Software\\X\\Run,evil", L"HKEY_LOCAL_MACHINE\\Software\\X\\Run"},
        {L"HKLM\\K\\V", L"HKLM\\K\\V"},
        {L"HKLM\\K\\a,b,c", L"HKLM\\K\\a,b"},
        {L"HKLM\\K\\V,", L"HKLM\\K\\V,"},
        {L"HKLM\\K\\V,,", L"HKLM\\K\\V"},
        {L",HKLM", L",HKLM"},
        {L"a,b", L"a"},
        {L"x,y,", L"x"},
        {L",,", L",,"},
        {L",", L","},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(std::wstring(CheckTextValuePath(c.text)), c.path) << c.text;
}

TEST(DefinitionScript, NumericKeyWithoutANumberFailsTheScript) {
    const wchar_t* bad[] = {
        L"id=12abc", L"id=1 2", L"id=0x10", L"id=$10", L"id=+", L"id=-", L"id=--1", L"id=1.0",
        L"id=2147483648", L"id=-2147483649", L"id=99999999999999999999", L"id=\uff11",
        L"cancelshutdown=yes", L"safemode=true", L"killexplorer=on", L"include=3,4", L"ID==5",
    };
    for (const wchar_t* line : bad) {
        ScriptFixRequests fixes;
        const auto read = ReadDefinitionScript({L"[Soft]", L"fixhosts=1", L"file=a.exe", std::wstring(L"  ") + line + L" "}, fixes);
        ASSERT_FALSE(read.Ok()) << line;
        EXPECT_EQ(read.Error->Line, 4u) << line;
        EXPECT_EQ(read.Error->Text, line);
        // A script that fails asks for nothing, even what it asked before the bad line.
        EXPECT_FALSE(fixes.HostsFixWanted) << line;
    }
    EXPECT_EQ(SummaryOf({L"id=2147483647"}), L"Id=2147483647");
    EXPECT_EQ(SummaryOf({L"id=-2147483648"}), L"Id=-2147483648");
    // Text keys and unknown keys take anything.
    EXPECT_EQ(SummaryOf({L"name=12abc", L"idx=abc", L"fixhosts=abc"}), L"Name=12abc");
}

TEST(DefinitionScript, FixRequestsOnlyEverGetSet) {
    ScriptFixRequests fixes;
    ASSERT_TRUE(ReadDefinitionScript({L"fixhosts=1"}, fixes).Ok());
    ASSERT_TRUE(ReadDefinitionScript({L"fixhosts=0", L"fixnotify=0"}, fixes).Ok());
    EXPECT_TRUE(fixes.HostsFixWanted);
    EXPECT_FALSE(fixes.NotifyFixWanted);
    ASSERT_TRUE(ReadDefinitionScript({L"fixnotify=1"}, fixes).Ok());
    EXPECT_TRUE(fixes.HostsFixWanted);
    EXPECT_TRUE(fixes.NotifyFixWanted);
}

}  // namespace
}  // namespace tidemark

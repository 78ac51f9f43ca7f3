// junk scan / junk clean, run as the shipped console program over a fixture tree.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "cli/json_writer.h"
#include "common/junk_literal_walk.h"
#include "common/test_support.h"
#include "junk/junk_scan.h"
#include "settings/settings_store.h"

namespace tidemark {
namespace {

const std::wstring kCli = test::ExeDir() + L"\\..\\..\\src\\cli\\tidemark-cli.exe";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

bool Has(const std::string& line, const char* field, const std::wstring& value) {
    return line.find("\"" + std::string(field) + "\": " + cli::JsonString(value)) != std::string::npos;
}

// A tree with a name of every built-in type, near misses, vetoed names, nested folders, an
// excluded folder and names whose 8.3 form alone would match.
std::vector<std::wstring> FixtureNames() {
    std::vector<std::wstring> names = {
        L"a.~tm",         L"b.---",          L"c.^zz",          L"d.ab~",          L"e.ab$",        L"f.tmp",
        L"g._mp",         L"h.%%%",          L"i.@@@",          L"j.$$$",          L"mscreate.dir", L"file0001.chk",
        L"checklist.ms",  L"file1234._dd",   L"01234567.nch",   L"k.gid",          L"l.fts",        L"m.ftg",
        L"n.old",         L"o.bak",          L"p.prv",          L"q.wbk",          L"r.xlk",        L"NOTEPAD.EXE-12AB34CD.pf",
        L"s.pch",         L"t.dmp",          L"u.diz",          L"Thumbs.db",      L"v.err",        L"errorlog.txt",
        L"w.temp",        L"x.___",          L"y.~mp",          L"z.a~b",          L"zz.chk",       L"imagedb.aid",
        L"aa.syd",        L"bb.#Res",        L"cc.cdr_",        L"UPPER.TMP",      L"keep.txt",     L"desktop.ini",
        L"setup.inf.tmp", L"longname1234.chkx", L"file0longname.chk.x", L"tmp",     L"noext.",       L"two.tmp.old",
    };
    std::vector<std::wstring> all = names;
    for (const std::wstring& n : names) all.push_back(L"sub\\" + n);
    for (const wchar_t* n : {L"f.tmp", L"n.old", L"y.~mp"}) all.push_back(std::wstring(L"sub\\deeper\\") + n);
    all.push_back(L"Application Data\\f.tmp");
    all.push_back(L"z2\\file0002.chk");
    return all;
}

TEST(CliJunk, ScanListsWhatTheLiteralWalkLists) {
    test::ScratchDir dir;
    for (const std::wstring& name : FixtureNames()) ASSERT_TRUE(test::WriteFileText(dir / name, "data")) << test::Narrow(name);
    const test::ProcessResult r = test::RunProcess(L"\"" + kCli + L"\" junk scan --root \"" + dir.path() + L"\" --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_EQ(r.err, "");  // no progress line into a pipe

    // The rule set the program used: the stored one (the scan stored the default states).
    ASSERT_GE(ReadSettingText(kFileExtEnabled).size(), kBuiltInTypeCount);
    const JunkRuleSet rules = BuildJunkRuleSet(GetSystemDefaultLangID());
    const auto expected = test::LiteralJunkWalk(rules, SystemAppDataFolders()).Walk({dir.path()});
    ASSERT_GT(expected.size(), 60u);

    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), expected.size() + 1);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(Has(lines[i], "group", expected[i].first) && Has(lines[i], "path", expected[i].second))
            << "row " << i << ": " << lines[i] << "\nexpected " << test::Narrow(expected[i].second);
        EXPECT_NE(lines[i].find("\"size\": 4, \"size_kb\": 0}"), std::string::npos) << lines[i];
    }
    EXPECT_EQ(lines.back().rfind("{\"summary\": {\"files\": " + std::to_string(expected.size()) + ", ", 0), 0u)
        << lines.back();
    EXPECT_NE(lines.back().find("\"elapsed\": \"00:00:"), std::string::npos) << lines.back();
}

// size is the file's bytes; size_kb the KB the page shows, rounded to hundredths (half to even).
TEST(CliJunk, EachFileCarriesItsBytesBesideItsKb) {
    test::ScratchDir dir;
    const struct { const wchar_t* name; std::size_t bytes; const char* fields; } cases[] = {
        {L"a.tmp", 0, "\"size\": 0, \"size_kb\": 0}"},
        {L"b.tmp", 5, "\"size\": 5, \"size_kb\": 0}"},          // 0.0049 KB: shown as 0, still 5 bytes
        {L"c.tmp", 1536, "\"size\": 1536, \"size_kb\": 1.5}"},
        {L"d.tmp", 1034, "\"size\": 1034, \"size_kb\": 1.01}"},  // 1.00977 KB
        {L"e.tmp", 1048576, "\"size\": 1048576, \"size_kb\": 1024}"},
    };
    for (const auto& c : cases) ASSERT_TRUE(test::WriteFileText(dir / c.name, std::string(c.bytes, 'x')));
    const test::ProcessResult r = test::RunProcess(L"\"" + kCli + L"\" junk scan --root \"" + dir.path() + L"\" --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& l : Lines(r.out))
            if (Has(l, "path", dir / c.name)) line = l;
        EXPECT_NE(line.find(c.fields), std::string::npos) << test::Narrow(c.name) << ": " << line;
    }
}

TEST(CliJunk, CleanRemovesWhatTheScanListsAndReportsEachFile) {
    test::ScratchDir dir;
    for (const std::wstring& name : FixtureNames()) ASSERT_TRUE(test::WriteFileText(dir / name, "data")) << test::Narrow(name);
    const test::ProcessResult scan = test::RunProcess(L"\"" + kCli + L"\" junk scan --root \"" + dir.path() + L"\" --json");
    const std::size_t listed = Lines(scan.out).size() - 1;

    const test::ProcessResult bad = test::RunProcess(L"\"" + kCli + L"\" junk clean --root \"" + dir.path() + L"\" --method shred");
    EXPECT_EQ(bad.exitCode, 2u);
    EXPECT_TRUE(test::PathExists(dir / L"f.tmp"));

    const test::ProcessResult r =
        test::RunProcess(L"\"" + kCli + L"\" junk clean --root \"" + dir.path() + L"\" --method direct --json");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), listed + 1);
    for (std::size_t i = 0; i < listed; ++i) EXPECT_NE(lines[i].find("\"result\": \"deleted\""), std::string::npos) << lines[i];
    EXPECT_NE(lines.back().find("\"cleaned\": " + std::to_string(listed) + ", \"reboot\": 0"), std::string::npos)
        << lines.back();
    // What no rule lists stays; the listed ones are gone.
    EXPECT_FALSE(test::PathExists(dir / L"f.tmp"));
    EXPECT_FALSE(test::PathExists(dir / L"sub\\deeper\\y.~mp"));
    EXPECT_TRUE(test::PathExists(dir / L"keep.txt"));
    EXPECT_TRUE(test::PathExists(dir / L"Thumbs.db"));
    EXPECT_TRUE(test::PathExists(dir / L"setup.inf.tmp"));
    EXPECT_TRUE(test::PathExists(dir / L"Application Data\\f.tmp"));

    const test::ProcessResult again = test::RunProcess(L"\"" + kCli + L"\" junk scan --root \"" + dir.path() + L"\"");
    EXPECT_EQ(Lines(again.out).size(), 1u) << again.out;
}

TEST(CliJunk, ARootThatIsNoFolderIsAUsageError) {
    test::ScratchDir dir;
    ASSERT_TRUE(test::WriteFileText(dir / L"file.tmp", "x"));
    const std::wstring missing = dir / L"no such folder";
    const struct { const wchar_t* command; std::wstring root; } cases[] = {
        {L"junk scan", missing},
        {L"junk clean", missing},
        {L"junk clean --preview", missing},
        {L"junk scan", dir / L"file.tmp"},
        {L"junk clean", dir / L"file.tmp"},
    };
    for (const auto& c : cases) {
        const test::ProcessResult r =
            test::RunProcess(L"\"" + kCli + L"\" " + c.command + L" --root \"" + dir.path() + L"\" --root \"" + c.root + L"\" --json");
        EXPECT_EQ(r.exitCode, 2u) << test::Narrow(c.command) << " " << test::Narrow(c.root);
        EXPECT_EQ(r.out, "") << test::Narrow(c.command);  // nothing scanned, nothing cleaned
        EXPECT_NE(r.err.find(test::Narrow(c.root)), std::string::npos) << r.err;
    }
    EXPECT_TRUE(test::PathExists(dir / L"file.tmp"));
}

TEST(CliJunk, PreviewListsWhatTheCleanProcessesInItsOrder) {
    test::ScratchDir dir;
    for (const std::wstring& name : FixtureNames()) ASSERT_TRUE(test::WriteFileText(dir / name, "data")) << test::Narrow(name);
    const std::wstring root = L" --root \"" + dir.path() + L"\" --method direct --json";
    const test::ProcessResult preview = test::RunProcess(L"\"" + kCli + L"\" junk clean --preview" + root);
    ASSERT_EQ(preview.exitCode, 0u) << preview.err;
    const std::vector<std::string> listed = Lines(preview.out);
    ASSERT_GT(listed.size(), 60u);
    // Nothing changed.
    EXPECT_TRUE(test::PathExists(dir / L"f.tmp"));
    EXPECT_TRUE(test::PathExists(dir / L"sub\\deeper\\y.~mp"));
    EXPECT_NE(listed.back().find("\"listed\": " + std::to_string(listed.size() - 1)), std::string::npos) << listed.back();

    const test::ProcessResult clean = test::RunProcess(L"\"" + kCli + L"\" junk clean" + root);
    ASSERT_EQ(clean.exitCode, 0u) << clean.err;
    const std::vector<std::string> cleaned = Lines(clean.out);
    ASSERT_EQ(cleaned.size(), listed.size());
    // The same objects in the same order; only the result differs.
    for (std::size_t i = 0; i + 1 < listed.size(); ++i) {
        const std::size_t at = listed[i].find("\"result\": \"listed\"");
        ASSERT_NE(at, std::string::npos) << listed[i];
        std::string expected = listed[i];
        expected.replace(at, std::string("\"result\": \"listed\"").size(), "\"result\": \"deleted\"");
        EXPECT_EQ(cleaned[i], expected) << i;
    }
    EXPECT_FALSE(test::PathExists(dir / L"f.tmp"));
}

}  // namespace
}  // namespace tidemark

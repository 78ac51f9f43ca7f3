#include "junk/wildcard.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "system/handles.h"

namespace tidemark {
namespace {

using test::Narrow;

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The dialect of the file search these tests run against.
WildcardDialect SystemDialect() {
    return UnderWine() ? WildcardDialect::Wine : WildcardDialect::Windows;
}

std::string Quoted(const std::wstring& text) { return "\"" + Narrow(text) + "\""; }

// Each row says what each system's search does with the pattern for an entry of that name.
// The Wine column is what Wine 8 was seen to return (the fixture test below checks it against
// the live search); the Windows column follows the DOS rules Windows documents.
TEST(Wildcard, WindowsAndWineReadPatternsTheirOwnWay) {
    const std::wstring longA(70, L'a');
    const struct {
        std::wstring pattern, name, alias;
        bool windows, wine;
    } cases[] = {
        // Built-in junk patterns.
        {L"*.~*", L"abc.~de", L"", true, true},
        {L"*.~*", L"abc.~", L"", true, true},
        {L"*.~*", L"a.~b.c", L"", true, true},
        {L"*.~*", L"abc.d~", L"", false, false},
        {L"*.^*", L"pic.^jp", L"", true, true},
        {L"*.??~", L"abc.de~", L"", true, true},
        {L"*.??~", L"x.ab~", L"", true, true},
        {L"*.??~", L"abc.d~", L"", false, false},
        {L"*.??~", L"abc.def~", L"", false, false},
        {L"*.??$", L"abc.de$", L"", true, true},
        {L"*.??$", L"abc.d$", L"", false, false},
        {L"*.?~?", L"abc.d~e", L"", true, true},
        {L"*.?~?", L"abc.d~", L"", true, false},      // a last '?' may match nothing on Windows
        {L"*.?~?", L"x.a~b.c~d", L"", true, false},   // Wine does not retry after "a~b"
        {L"file????._dd", L"file1234._dd", L"", true, true},
        {L"file????._dd", L"file1._dd", L"", true, false},  // '?' before a dot: nothing or one
        {L"file????._dd", L"file._dd", L"", true, false},
        {L"file????._dd", L"file12345._dd", L"", false, false},
        {L"file????._dd", L"file12345._dd", L"FILE12~1._DD", true, true},
        {L"0???????.nch", L"01234567.nch", L"", true, true},
        {L"0???????.nch", L"0.nch", L"", true, false},
        {L"0???????.nch", L"012345678.nch", L"", false, false},
        {L"file0*.chk", L"FILE0abc.CHK", L"", true, true},
        {L"file0*.chk", L"file0.chk", L"", true, true},
        {L"file0*.chk", L"file.chk", L"", false, false},
        {L"checklist.m*", L"checklist.m", L"", true, true},
        {L"checklist.m*", L"checklist", L"", false, false},
        {L"*exe-*.pf", L"NOTEPAD.EXE-0123ABCD.pf", L"", true, true},
        {L"*exe-*.pf", L"exe.pf", L"", false, false},
        {L"Thumbs.db", L"thumbs.DB", L"", true, true},
        {L"Thumbs.db", L"Thumbs.db.bak", L"", false, false},
        // User-style patterns.
        {L"*.*", L"readme", L"", true, true},
        {L"*.*", L".hidden", L"", true, true},
        {L"*.", L"readme", L"", true, true},
        {L"*.", L"report.tmp", L"", false, true},  // Wine's search sees "*"
        {L"*.", L".hidden", L"", false, true},
        {L"abc.", L"abc", L"", true, true},
        {L"abc.", L"abc.txt", L"", false, false},
        {L"??.*", L"ab.c.d", L"", true, true},
        {L"??.*", L".x", L"", true, true},
        {L"??.*", L"a", L"", true, false},
        {L"??.*", L"abc", L"", false, false},
        {L"a?", L"a", L"", true, false},
        {L"*.?", L"abc", L"", true, false},
        {L"*.?", L"a.b.c", L"", true, false},
        {L"*.?", L"abc.de", L"", false, false},
        {L"*.tmp", L"a.b.tmp", L"", true, true},
        {L"*.tmp", L"b.tmp.bak", L"", false, false},
        {L"*.tmp", L"data.tmpx", L"", false, false},
        {L"*.tmp", L"data.tmpx", L"DATA~1.TMP", true, true},
        {L"*.htm", L"foo.html", L"FOO~1.HTM", true, true},
        {L"*.TMP", L"Data.Tmp", L"", true, true},
        {L"*.t?p", L"a.t1p", L"", true, true},
        {L"*.t?p", L"a.tp", L"", false, false},
        {L"*~", L"a.b~", L"", true, true},
        {L"*~", L"a~.b", L"", false, false},
        {L"*aa", L"aaa", L"", true, false},  // Wine's star does not step back into its match
        {L"*?", L"abc", L"", true, false},   // Wine looks for a literal '?' after a star
        {L"*.tmp.", L"x.tmp", L"", true, true},
        {L"*.tmp ", L"x.tmp", L"", true, true},
        // Typed DOS wildcards are the file systems' own on Windows; Wine reads '>' as '?' and
        // the others as characters no name has.
        {L"<.tmp", L"a.b.tmp", L"", true, false},
        {L"a>", L"a", L"", true, false},
        {L"a>", L"ab", L"", true, true},
        {L"a\"b", L"a.b", L"", true, false},
        {std::wstring(L"*.tmp\0.x", 8), L"a.tmp", L"", true, true},  // read as a C string
        // The system's upper-casing, not the full Unicode one.
        {L"É*", L"été.txt", L"", true, true},
        {L"Д*.LOG", L"дневник.log", L"", true, true},
        {L"ＡＢＣ.*", L"ａｂｃ.txt", L"", true, true},
        {L"Ǆ.TXT", L"ǆ.txt", L"", true, true},
        {L"ΣΣ.*", L"σς.txt", L"", false, false},
        {L"I.TXT", L"ı.txt", L"", false, false},
        // Nothing in the folder: the folder itself, its parent, another folder.
        {L"", L"x", L"", false, false},
        {L".", L"x", L"", false, false},
        {L"..", L"x", L"", false, false},
        {L"sub\\*.tmp", L"x.tmp", L"", false, false},
        {L"*/x", L"x", L"", false, false},
        // Patterns too long for the one-word state set.
        {longA + L"*.t?p", longA + L"bc.tmp", L"", true, true},
        {longA + L"*.t?p", longA + L"bc.tp", L"", false, false},
        {std::wstring(70, L'?') + L".x", L"ab.x", L"", true, false},
        {L"<" + longA + L".x", L"y.z." + longA + L".x", L"", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Quoted(c.pattern) + " / " + Quoted(c.name) + " / " + Quoted(c.alias));
        EXPECT_EQ(WildcardMatches(c.pattern, c.name, c.alias, WildcardDialect::Windows), c.windows);
        EXPECT_EQ(WildcardMatches(c.pattern, c.name, c.alias, WildcardDialect::Wine), c.wine);
        // The compiled form answers the same when reused.
        const WildcardPattern windows(c.pattern, WildcardDialect::Windows);
        EXPECT_EQ(windows.Matches(c.name, c.alias), c.windows);
        EXPECT_EQ(windows.Matches(c.name, c.alias), c.windows);
    }
}

// The name comparison's upper-casing: every character of the blocks that have case since the
// first Unicode versions, and under Wine every character of the BMP.
TEST(Wildcard, UpcaseAgreesWithSystem) {
    using Upcase = WCHAR(NTAPI*)(WCHAR);
    const auto systemUpcase = reinterpret_cast<Upcase>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlUpcaseUnicodeChar")));
    ASSERT_NE(systemUpcase, nullptr);
    const struct { unsigned first, last; } blocks[] = {
        {0x0000, 0x017F},  // ASCII, Latin-1, Latin Extended-A
        {0x0370, 0x03FF},  // Greek
        {0x0400, 0x04FF},  // Cyrillic
        {0xFF00, 0xFFEF},  // fullwidth forms
        {0x4E00, 0x4FFF},  // CJK: no case
    };
    std::vector<std::pair<unsigned, unsigned>> ranges;
    if (UnderWine()) ranges.push_back({0x0000, 0xFFFF});
    else for (const auto& b : blocks) ranges.push_back({b.first, b.last});
    int differences = 0;
    for (const auto& [first, last] : ranges) {
        for (unsigned code = first; code <= last; ++code) {
            const auto c = static_cast<wchar_t>(code);
            if (UpcaseNameChar(c) != systemUpcase(c) && ++differences <= 20) {
                ADD_FAILURE() << std::hex << "U+" << code << ": ours U+"
                              << static_cast<unsigned>(UpcaseNameChar(c)) << ", system's U+"
                              << static_cast<unsigned>(systemUpcase(c));
            }
        }
    }
    EXPECT_EQ(differences, 0);
}

struct Entry {
    std::wstring name;
    std::wstring alias;
};

// The folder as the junk scan's walk sees it.
std::vector<Entry> Walk(const std::wstring& folder) {
    std::vector<Entry> entries;
    WIN32_FIND_DATAW data{};
    UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return entries;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") entries.push_back({name, data.cAlternateFileName});
    } while (FindNextFileW(find.get(), &data));
    return entries;
}

std::set<std::wstring> Search(const std::wstring& folder, const std::wstring& pattern) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data{};
    UniqueFindHandle find(FindFirstFileW((folder + L"\\" + pattern).c_str(), &data));
    if (!find) return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.insert(name);
    } while (FindNextFileW(find.get(), &data));
    return names;
}

std::string Listed(const std::set<std::wstring>& names, std::size_t limit = 1000) {
    std::string text;
    std::size_t shown = 0;
    for (const auto& name : names) {
        if (shown++ == limit) return text + " and " + std::to_string(names.size() - limit) + " more";
        text += " " + Quoted(name);
    }
    return text.empty() ? " (none)" : text;
}

// Files made and removed through "\\?\", so names the path rules would change (a trailing
// dot) stay as given and still go away before their scratch folder does.
class RawFiles {
public:
    RawFiles() = default;
    RawFiles(const RawFiles&) = delete;
    RawFiles& operator=(const RawFiles&) = delete;
    ~RawFiles() {
        for (const auto& path : paths_) DeleteFileW(path.c_str());
    }
    bool Make(const std::wstring& folder, const std::wstring& name) {
        const std::wstring path = L"\\\\?\\" + folder + L"\\" + name;
        UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) paths_.push_back(path);
        return file.valid();
    }

private:
    std::vector<std::wstring> paths_;
};

// For every pattern the scan can meet, the entries the matcher accepts from a plain walk of
// the folder are exactly the entries the system's own search for the pattern returns.
TEST(Wildcard, SameEntriesAsSystemSearch) {
    const std::vector<std::wstring> names = {
        L".hidden", L"..dots", L"readme", L"LICENSE", L"a", L"ab", L"aaa", L"a~",
        L"a.b.tmp~", L"abc.d~", L"abc.de~", L"abc.def~", L"abc.~de", L"abc.~", L"x.ab~",
        L"x.a~b.c~d", L"abc.d~e", L"abc.d$", L"abc.de$", L"abc.def$", L"pic.^jp", L"a.^",
        L"file0001.chk", L"FILE0abc.CHK", L"file0.chk", L"file.chk", L"checklist.ms",
        L"checklist.m", L"checklist.chk", L"Thumbs.db", L"errorlog.txt", L"imagedb.aid",
        L"mscreate.dir", L"file._dd", L"file1._dd", L"file1234._dd", L"file12345._dd",
        L"0.nch", L"01234567.nch", L"012345678.nch", L"0abc.NCH", L"setup.exe-1A2B3C4D.pf",
        L"NOTEPAD.EXE-0123ABCD.pf", L"report.tmp", L"REPORT2.TMP", L"Data.Tmp", L"data.tmpx",
        L"longfilename.tmp", L"a.t1p", L"b.tmp.bak", L"my file.tmp", L" lead.tmp", L"foo.html",
        L"中文文件.tmp", L"中文", L"临时.log", L"дневник.LOG", L"été.txt", L"ａｂｃ.ｔｍｐ",
        L"σς.txt", L"x.log", L"y.#Res", L"z.cdr_", L"ends.with.dot.", L"dots..inside",
        L"x.y.z",
    };
    const std::vector<std::wstring> patterns = {
        // Built in.
        L"*.~*", L"*.^*", L"*.??~", L"*.??$", L"mscreate.dir", L"file0*.chk", L"checklist.m*",
        L"file????._dd", L"0???????.nch", L"*exe-*.pf", L"Thumbs.db", L"errorlog.txt",
        L"*.?~?", L"imagedb.aid",
        // What users add.
        L"*.tmp", L"*.TMP", L"*.t?p", L"a*", L"*.", L"*.*", L"*", L"??.*", L"*~", L"*.log",
        L"*.#Res", L"*.cdr_",
        // Shapes where the rules of the systems part.
        L"*.?", L"?", L"a?", L"*.htm", L"*.tmp.", L"*aa", L"*?", L"É*", L"ＡＢＣ*", L"Д*.LOG",
        L"ΣΣ.*", L"*.ｔｍｐ",
    };

    // Two folders, since "Thumbs.db" and "thumbs.DB" cannot share one.
    test::ScratchDir first, second;
    RawFiles files;
    for (const auto& name : names) ASSERT_TRUE(files.Make(first.path(), name)) << Quoted(name);
    ASSERT_TRUE(files.Make(second.path(), L"thumbs.DB"));
    ASSERT_TRUE(files.Make(second.path(), L"Thumbs.db.old"));

    const WildcardDialect dialect = SystemDialect();
    const WildcardDialect other =
        dialect == WildcardDialect::Wine ? WildcardDialect::Windows : WildcardDialect::Wine;
    std::printf("file search read as the %s dialect\n", UnderWine() ? "Wine" : "Windows");
    for (const auto* folder : {&first, &second}) {
        const std::vector<Entry> entries = Walk(folder->path());
        ASSERT_EQ(entries.size(), folder == &first ? names.size() : 2u);
        for (const auto& pattern : patterns) {
            const WildcardPattern compiled(pattern, dialect);
            const WildcardPattern otherCompiled(pattern, other);
            std::set<std::wstring> matched, byAlias, otherMatched;
            for (const auto& e : entries) {
                if (compiled.Matches(e.name, e.alias)) {
                    matched.insert(e.name);
                    if (!compiled.Matches(e.name)) byAlias.insert(e.name + L" (" + e.alias + L")");
                }
                if (otherCompiled.Matches(e.name, e.alias)) otherMatched.insert(e.name);
            }
            const std::set<std::wstring> searched = Search(folder->path(), pattern);
            if (matched != searched) {
                std::set<std::wstring> onlySearch, onlyMatcher;
                for (const auto& n : searched) if (!matched.count(n)) onlySearch.insert(n);
                for (const auto& n : matched) if (!searched.count(n)) onlyMatcher.insert(n);
                ADD_FAILURE() << "pattern " << Quoted(pattern) << "\n  only the search:"
                              << Listed(onlySearch) << "\n  only the matcher:" << Listed(onlyMatcher);
            }
            if (!byAlias.empty()) {
                std::printf("%-14s through the 8.3 alias only:%s\n", Quoted(pattern).c_str(),
                            Listed(byAlias).c_str());
            }
            if (otherMatched != searched) {
                std::set<std::wstring> gained, lost;
                for (const auto& n : otherMatched) if (!searched.count(n)) gained.insert(n);
                for (const auto& n : searched) if (!otherMatched.count(n)) lost.insert(n);
                std::printf("%-14s the other dialect would add%s and drop%s\n",
                            Quoted(pattern).c_str(), Listed(gained, 8).c_str(),
                            Listed(lost, 8).c_str());
            }
        }
    }
}

}  // namespace
}  // namespace tidemark

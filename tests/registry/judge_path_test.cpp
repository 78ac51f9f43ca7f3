// The path judgement and the root names, over a file system that answers from a table.
#include <gtest/gtest.h>

#include <map>

#include "registry/judge_path.h"
#include "registry/registry_scan.h"

namespace tidemark {
namespace {

class TableProbe final : public PathProbe {
public:
    std::map<std::wstring, PathState> answers;
    std::vector<std::wstring> asked;
    PathState Probe(const std::wstring& path) override {
        asked.push_back(path);
        const auto it = answers.find(path);
        return it == answers.end() ? PathState::Missing : it->second;
    }
};

TEST(JudgePath, Shapes) {
    struct Case {
        const wchar_t* text;
        int verdict;
    } const cases[] = {
        {L"C:\\gone\\app.exe", PathMissing},
        {L"C:\\there\\app.exe", PathExists},
        {L"\"C:\\gone\\app.exe\" /start now", PathMissing},         // the quoted part is judged
        {L"\"C:\\there\\app.exe\" -x", PathExists},
        {L"\"C:\\Program Files\\gone.exe\" -x", PathMissing},       // blanks inside quotes are fine
        {L"C:\\Program Files\\gone.exe -x", PathUndecided},         // where does the name end?
        {L"C:\\gone\\app.exe /s", PathUndecided},
        {L"rundll32.exe C:\\gone\\lib.dll,Entry", PathUndecided},   // the path is not at the start
        {L"C:\\gone\\noextension", PathUndecided},
        {L"C:\\there\\folder.d", PathUndecided},                     // a folder is not a file
        {L"\"C:\\there\\folder.d\" x", PathExists},                  // ... but it exists
        {L"C:\\gone\\a;b.exe", PathUndecided},
        {L"C:\\gone\\a#b.exe", PathUndecided},
        {L"C:\\gone\\app.exe,1", PathUndecided},                    // "," is undecidable
        {L"C:\\gone\\app.exe\"", PathMissing},                       // cut at the quote
        {L"C:\\gone\\app.exe|C:\\other.exe", PathUndecided},        // two drive paths
        {L"Q:\\app.exe", PathUndecided},                             // a drive that is not there
        {L"\"Q:\\app.exe\" x", PathUndecided},
        {L"?:\\app.exe", PathUndecided},
        {L"\"\":\\app.exe\" x", PathUndecided},                      // no drive letter in the quotes
        {L"\"C:\\a\\\\b.exe\" x", PathUndecided},                    // doubled backslash
        {L"\"C:\\gone\\app.exe\"", PathMissing},                     // nothing after the closing quote
        {L"\"C:\\there\\app.exe\"", PathExists},
        {L"\"C:\\Program Files\\App\\gone.exe\"", PathMissing},
        {L"\"C:\\gone\\app.exe\"x", PathMissing},
        {L"\"C:\\gone\\app.exe", PathUndecided},                      // never closed
        {L"no path at all.exe", PathUndecided},
        {L"", PathUndecided},
        {L":\\", PathUndecided},
        {L"C:\\", PathUndecided},
    };
    for (const Case& c : cases) {
        TableProbe probe;
        probe.answers = {{L"C:\\there\\app.exe", PathState::File},
                         {L"C:\\there\\folder.d", PathState::Folder},
                         {L"Q:\\app.exe", PathState::Unknown}};
        EXPECT_EQ(JudgePath(c.text, probe), c.verdict) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST(JudgePath, WholeTextNamingAFileExists) {
    TableProbe probe;
    probe.answers = {{L"C:\\odd name, with #.exe", PathState::File}};
    EXPECT_EQ(JudgePath(L"C:\\odd name, with #.exe", probe), PathExists);
}

TEST(RootNames, ParseKeepsTheRestInItsCase) {
    std::wstring rest = L"unchanged";
    EXPECT_EQ(ParseRootName(L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", rest),
              HKEY_CURRENT_USER);
    EXPECT_EQ(rest, L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_EQ(ParseRootName(L"hkey_local_machine\\Software\\MixedCase", rest), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(rest, L"\\Software\\MixedCase");
    rest = L"unchanged";
    EXPECT_EQ(ParseRootName(L"Software", rest), nullptr);
    EXPECT_EQ(rest, L"unchanged");
    EXPECT_EQ(RootOfName(L"HKEY_USERS\\.DEFAULT"), HKEY_USERS);
    EXPECT_EQ(RootOfName(L"HKCU\\Software"), nullptr);
    EXPECT_EQ(RootName(HKEY_CLASSES_ROOT), L"HKEY_CLASSES_ROOT");
    EXPECT_EQ(RootName(HKEY_CURRENT_CONFIG), L"HKEY_CURRENT_CONFIG");
    EXPECT_EQ(RootName(nullptr), L"");
    EXPECT_EQ(SystemKeyPath(L"\\Software\\X"), L"Software\\X");
    EXPECT_EQ(SystemKeyPath(L"Software\\X"), L"Software\\X");
}

}  // namespace
}  // namespace tidemark

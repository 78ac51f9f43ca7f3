// The real program in processes of its own: single instance, usage records, hidden start, and
// outside libraries that fault, and the rights each program asks for.
#include <gtest/gtest.h>

#include <cstring>

#include "common/test_support.h"
#include "system/handles.h"

namespace tidemark {
namespace {

constexpr wchar_t kMainClass[] = L"{C9A5B730-1E5F-49A2-AAD5-025BBD1F43F0}";
constexpr DWORD kTimeout = 20000;

struct Logged {
    std::uint32_t type;
    std::wstring code;
};

std::vector<Logged> ReadLog(const std::wstring& path) {
    std::vector<Logged> entries;
    for (const test::LoggedRecord& r : test::ReadUsageLog(path)) entries.push_back({r.type, r.Code()});
    return entries;
}

template <typename Done>
bool WaitFor(Done done, DWORD timeout = kTimeout) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeout) return false;
        Sleep(25);
    }
    return true;
}

std::wstring WorkFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"brim";
}

std::wstring FixtureFolder() { return test::ExeDir() + L"\\..\\fixtures"; }

// The full-window-drag setting as a fresh process sees it (0, 1, or -1 when unreadable): Wine
// keeps the value a process first read, so this process cannot watch the program change it.
int DragSetting() {
    const test::ProcessResult result = test::RunProcess(L"\"" + FixtureFolder() + L"\\tm_wintool.exe\" drag");
    return result.exitCode == 0 && !result.out.empty() ? result.out[0] - '0' : -1;
}

bool SetDragSetting(bool on) {
    return test::RunProcess(L"\"" + FixtureFolder() + L"\\tm_wintool.exe\" drag " + (on ? L"1" : L"0")).exitCode == 0;
}

enum Libraries { NoLibrary = 0, LogLibrary = 1, Win7Library = 2 };

// A copy of the program in a folder of its own, with the stand-ins of the maker's libraries it
// is given. The logging library records into log.bin, the identity library into appid.txt.
class ProgramCopy {
public:
    explicit ProgramCopy(int libraries) {
        const std::wstring build = test::ExeDir() + L"\\..\\..";
        exe_ = dir_ / L"Tidemark.exe";
        log_ = dir_ / L"log.bin";
        appId_ = dir_ / L"appid.txt";
        EXPECT_TRUE(CopyFileW((build + L"\\src\\app\\Tidemark.exe").c_str(), exe_.c_str(), FALSE));
        if (libraries & LogLibrary) {
            EXPECT_TRUE(CopyFileW((FixtureFolder() + L"\\qklog.dll").c_str(), (dir_ / L"qklog.dll").c_str(), FALSE));
        }
        if (libraries & Win7Library) {
            EXPECT_TRUE(CopyFileW((test::ExeDir() + L"\\qkWin7.dll").c_str(), (dir_ / L"qkWin7.dll").c_str(), FALSE));
        }
    }
    std::wstring Command(const std::wstring& args = L"") const {
        return L"\"" + exe_ + L"\"" + (args.empty() ? L"" : L" " + args);
    }
    // extra: more "NAME=value" lines, e.g. a fault for a stand-in library.
    std::wstring Environment(const wchar_t* addLogResult = L"1", const std::wstring& extra = L"") const {
        return L"TM_QKLOG_OUT=" + log_ + L"\nTM_QKLOG_RESULT=" + addLogResult + L"\nTM_QKWIN7_OUT=" + appId_ +
               (extra.empty() ? L"" : L"\n" + extra);
    }
    std::vector<Logged> Log() const { return ReadLog(log_); }
    bool IdentityGiven() const { return test::PathExists(appId_); }

private:
    test::ScratchDir dir_;
    std::wstring exe_, log_, appId_;
};

HWND WaitForMainWindow(const test::ChildProcess& process) {
    HWND window = nullptr;
    WaitFor([&] {
        const auto found = test::WindowsOfClass(kMainClass, process.Id());
        window = found.empty() ? nullptr : found[0];
        return window != nullptr;
    });
    return window;
}

// True once the program's window thread has finished starting and waits in its message loop.
bool WaitForStartUp(const test::ChildProcess& process) {
    UniqueHandle handle(OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, process.Id()));
    return handle && WaitForInputIdle(handle.get(), kTimeout) == 0;
}

void CloseAndWait(HWND window, test::ChildProcess& process) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(process.WaitExit(kTimeout)) << "the program did not end after WM_CLOSE";
}

// The records of a whole run, once the program has ended: the start record and the first tab's
// event (the start thread may come second), then the close record, and nothing else.
void ExpectStartTabAndCloseRecords(std::vector<Logged> log) {
    ASSERT_EQ(log.size(), 3u);
    if (log[0].type != 4) std::swap(log[0], log[1]);
    EXPECT_EQ(log[0].type, 4u);
    EXPECT_EQ(log[0].code, L"");
    EXPECT_EQ(log[1].type, 6u);
    EXPECT_EQ(log[1].code, L"12.H.CLE");
    EXPECT_EQ(log[2].type, 5u);
    EXPECT_EQ(log[2].code, L"");
}

TEST(ProgramProcess, StartAndCloseRecordsWithAndWithoutTheLibrary) {
    const struct { const char* name; bool library; const wchar_t* addLogResult; } cases[] = {
        {"with the library", true, L"1"},
        {"AddLog reporting failure", true, L"0"},
        {"without the library", false, L"1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramCopy copy(c.library ? LogLibrary : NoLibrary);
        test::ChildProcess program;
        ASSERT_TRUE(program.Start(copy.Command(), copy.Environment(c.addLogResult)));
        HWND window = WaitForMainWindow(program);
        ASSERT_TRUE(window);
        EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; }));
        if (c.library) {
            EXPECT_TRUE(WaitFor([&] { return copy.Log().size() >= 2; }));
        }
        EXPECT_TRUE(test::PathExists(WorkFolder()));

        CloseAndWait(window, program);
        EXPECT_EQ(program.ExitCode(), 0u);
        EXPECT_FALSE(test::PathExists(WorkFolder()));
        if (c.library) {
            ExpectStartTabAndCloseRecords(copy.Log());
        } else {
            EXPECT_TRUE(copy.Log().empty());
        }
    }
}

TEST(ProgramProcess, SecondCopyLeavesAtOnceAndTheFirstRunsOn) {
    ProgramCopy copy(LogLibrary);
    test::ChildProcess first;
    ASSERT_TRUE(first.Start(copy.Command(), copy.Environment()));
    HWND window = WaitForMainWindow(first);
    ASSERT_TRUE(window);
    ASSERT_TRUE(WaitFor([&] { return copy.Log().size() >= 2; }));

    test::ChildProcess second;
    ASSERT_TRUE(second.Start(copy.Command(L"/clearreg"), copy.Environment()));
    ASSERT_TRUE(second.WaitExit(kTimeout));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(test::WindowsOfClass(kMainClass).size(), 1u);
    EXPECT_TRUE(IsWindowVisible(window));

    CloseAndWait(window, first);
    ExpectStartTabAndCloseRecords(copy.Log());  // the second copy sent nothing
}

TEST(ProgramProcess, HiddenStartShowsNothingAndKeepsTheWorkFolder) {
    ProgramCopy copy(LogLibrary);
    test::ChildProcess program;
    ASSERT_TRUE(program.Start(copy.Command(L"/qkgui"), copy.Environment()));
    HWND window = WaitForMainWindow(program);
    ASSERT_TRUE(window);
    // A window that is shown is shown before the message loop starts.
    ASSERT_TRUE(WaitForStartUp(program));
    EXPECT_FALSE(IsWindowVisible(window));
    ASSERT_TRUE(test::PathExists(WorkFolder()));
    test::WriteFileText(WorkFolder() + L"\\kept.txt", "x");

    CloseAndWait(window, program);
    EXPECT_TRUE(test::PathExists(WorkFolder() + L"\\kept.txt"));
    ExpectStartTabAndCloseRecords(copy.Log());
    DeleteFileW((WorkFolder() + L"\\kept.txt").c_str());
}

TEST(ProgramProcess, UnwritableTemporaryFolderStillGivesAWorkingWindow) {
    // The temporary folder names a path below a file: no work folder, no pictures written.
    ProgramCopy copy(NoLibrary);
    test::ScratchDir dir;
    ASSERT_TRUE(test::WriteFileText(dir / L"blocker", "x"));
    const std::wstring temp = dir / L"blocker\\temp";
    test::ChildProcess program;
    ASSERT_TRUE(program.Start(copy.Command(), L"TMP=" + temp + L"\nTEMP=" + temp));
    HWND window = WaitForMainWindow(program);
    ASSERT_TRUE(window);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; }));
    EXPECT_TRUE(WaitForStartUp(program));
    EXPECT_TRUE(program.Running());
    CloseAndWait(window, program);
    EXPECT_EQ(program.ExitCode(), 0u);
}

// The stand-ins fault where TM_QKLOG_FAULT / TM_QKWIN7_FAULT say: in AddLog on the start thread,
// for the first tab's event and for the close record; in Win7_SetAppID (the test prefix reports
// Windows 7); or in a library's DllMain. Every time the window comes up, and closing restores
// the drag setting, deletes the work folder and ends the program normally.
TEST(ProgramProcess, OutsideLibrariesThatFaultCannotTakeTheProgramDown) {
    const struct {
        const char* name;
        const wchar_t* fault;
        bool recorded;       // AddLog got as far as writing its records
        bool identityGiven;  // Win7_SetAppID got as far as writing its file
    } cases[] = {
        {"AddLog faults", L"TM_QKLOG_FAULT=addlog", true, true},
        {"qklog.dll faults while loading", L"TM_QKLOG_FAULT=attach", false, true},
        {"qklog.dll faults while unloading", L"TM_QKLOG_FAULT=detach", true, true},
        {"Win7_SetAppID faults", L"TM_QKWIN7_FAULT=setappid", true, true},
        {"qkWin7.dll faults while loading", L"TM_QKWIN7_FAULT=attach", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SetDragSetting(true));
        ProgramCopy copy(LogLibrary | Win7Library);
        test::ChildProcess program;
        ASSERT_TRUE(program.Start(copy.Command(), copy.Environment(L"1", c.fault)));
        HWND window = WaitForMainWindow(program);
        ASSERT_TRUE(window);
        EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; }));
        EXPECT_TRUE(WaitFor([] { return DragSetting() == 0; })) << "the program did not turn drag off";
        EXPECT_TRUE(test::PathExists(WorkFolder()));
        EXPECT_EQ(copy.IdentityGiven(), c.identityGiven);

        CloseAndWait(window, program);
        EXPECT_EQ(program.ExitCode(), 0u);
        EXPECT_EQ(DragSetting(), 1);
        EXPECT_FALSE(test::PathExists(WorkFolder()));
        if (c.recorded) {
            ExpectStartTabAndCloseRecords(copy.Log());
        } else {
            EXPECT_TRUE(copy.Log().empty());
        }
    }
}

// The level each program asks for in its embedded manifest: the window program the highest
// rights its user has (an administrator is asked to elevate), the console program those it was
// started with.
TEST(ProgramManifests, TheWindowAsksForTheHighestRightsTheConsoleForNoMore) {
    const std::wstring build = test::ExeDir() + L"\\..\\..";
    const struct {
        const wchar_t* exe;
        const char* level;
    } cases[] = {
        {L"\\src\\app\\Tidemark.exe", "highestAvailable"},
        {L"\\src\\cli\\tidemark-cli.exe", "asInvoker"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(test::Narrow(c.exe));
        const UniqueLibrary module(LoadLibraryExW((build + c.exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module);
        HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
        ASSERT_TRUE(found);
        const void* data = LockResource(LoadResource(module.get(), found));
        ASSERT_TRUE(data);
        const std::string manifest(static_cast<const char*>(data), SizeofResource(module.get(), found));
        const std::string key = "<requestedExecutionLevel level=\"";
        const std::size_t at = manifest.find(key);
        ASSERT_NE(at, std::string::npos) << manifest;
        const std::size_t from = at + key.size();
        EXPECT_EQ(manifest.substr(from, manifest.find('"', from) - from), c.level);
        EXPECT_EQ(manifest.find(key, from), std::string::npos) << "one level only";
    }
}

}  // namespace
}  // namespace tidemark

// The real program in processes of its own: single instance, usage records, hidden start.
#include <gtest/gtest.h>

#include <cstring>

#include "common/test_support.h"

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

// A copy of the program in a folder of its own, with or without the logging library.
class ProgramCopy {
public:
    explicit ProgramCopy(bool withLibrary) {
        const std::wstring build = test::ExeDir() + L"\\..\\..";
        exe_ = dir_ / L"Tidemark.exe";
        log_ = dir_ / L"log.bin";
        EXPECT_TRUE(CopyFileW((build + L"\\src\\app\\Tidemark.exe").c_str(), exe_.c_str(), FALSE));
        if (withLibrary)
            EXPECT_TRUE(CopyFileW((build + L"\\tests\\fixtures\\qklog.dll").c_str(),
                                  (dir_ / L"qklog.dll").c_str(), FALSE));
    }
    std::wstring Command(const std::wstring& args = L"") const {
        return L"\"" + exe_ + L"\"" + (args.empty() ? L"" : L" " + args);
    }
    std::wstring Environment(const wchar_t* addLogResult = L"1") const {
        return L"TM_QKLOG_OUT=" + log_ + L"\nTM_QKLOG_RESULT=" + addLogResult;
    }
    std::vector<Logged> Log() const { return ReadLog(log_); }

private:
    test::ScratchDir dir_;
    std::wstring exe_, log_;
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

void CloseAndWait(HWND window, test::ChildProcess& process) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(process.WaitExit(kTimeout)) << "the program did not end after WM_CLOSE";
}

TEST(ProgramProcess, StartAndCloseRecordsWithAndWithoutTheLibrary) {
    const struct { const char* name; bool library; const wchar_t* addLogResult; } cases[] = {
        {"with the library", true, L"1"},
        {"AddLog reporting failure", true, L"0"},
        {"without the library", false, L"1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramCopy copy(c.library);
        test::ChildProcess program;
        ASSERT_TRUE(program.Start(copy.Command(), copy.Environment(c.addLogResult)));
        HWND window = WaitForMainWindow(program);
        ASSERT_TRUE(window);
        EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; }));

        if (c.library) {
            ASSERT_TRUE(WaitFor([&] { return copy.Log().size() >= 2; }));
            Sleep(300);  // nothing more arrives
            auto log = copy.Log();
            ASSERT_EQ(log.size(), 2u);
            if (log[0].type != 4) std::swap(log[0], log[1]);  // the start thread may come second
            EXPECT_EQ(log[0].type, 4u);
            EXPECT_EQ(log[0].code, L"");
            EXPECT_EQ(log[1].type, 6u);
            EXPECT_EQ(log[1].code, L"12.H.CLE");
        }
        EXPECT_TRUE(test::PathExists(WorkFolder()));

        CloseAndWait(window, program);
        EXPECT_EQ(program.ExitCode(), 0u);
        EXPECT_FALSE(test::PathExists(WorkFolder()));
        const auto log = copy.Log();
        if (c.library) {
            ASSERT_EQ(log.size(), 3u);
            EXPECT_EQ(log[2].type, 5u);
            EXPECT_EQ(log[2].code, L"");
        } else {
            EXPECT_TRUE(log.empty());
        }
    }
}

TEST(ProgramProcess, SecondCopyLeavesAtOnceAndTheFirstRunsOn) {
    ProgramCopy copy(true);
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
    EXPECT_EQ(copy.Log().size(), 2u);  // the second copy sent nothing

    CloseAndWait(window, first);
}

TEST(ProgramProcess, HiddenStartShowsNothingAndKeepsTheWorkFolder) {
    ProgramCopy copy(true);
    test::ChildProcess program;
    ASSERT_TRUE(program.Start(copy.Command(L"/qkgui"), copy.Environment()));
    HWND window = WaitForMainWindow(program);
    ASSERT_TRUE(window);
    ASSERT_TRUE(WaitFor([&] { return copy.Log().size() >= 2; }));
    Sleep(300);
    EXPECT_FALSE(IsWindowVisible(window));
    ASSERT_TRUE(test::PathExists(WorkFolder()));
    test::WriteFileText(WorkFolder() + L"\\kept.txt", "x");

    CloseAndWait(window, program);
    EXPECT_TRUE(test::PathExists(WorkFolder() + L"\\kept.txt"));
    EXPECT_EQ(copy.Log().size(), 3u);
    DeleteFileW((WorkFolder() + L"\\kept.txt").c_str());
}

TEST(ProgramProcess, UnwritableTemporaryFolderStillGivesAWorkingWindow) {
    // The temporary folder names a path below a file: no work folder, no pictures written.
    ProgramCopy copy(false);
    test::ScratchDir dir;
    ASSERT_TRUE(test::WriteFileText(dir / L"blocker", "x"));
    const std::wstring temp = dir / L"blocker\\temp";
    test::ChildProcess program;
    ASSERT_TRUE(program.Start(copy.Command(), L"TMP=" + temp + L"\nTEMP=" + temp));
    HWND window = WaitForMainWindow(program);
    ASSERT_TRUE(window);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; }));
    Sleep(300);
    EXPECT_TRUE(program.Running());
    CloseAndWait(window, program);
    EXPECT_EQ(program.ExitCode(), 0u);
}

}  // namespace
}  // namespace tidemark

// The main window created in-process (never shown) and driven through its handlers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/views/junk_view.h"
#include "app/views/view.h"
#include "common/test_support.h"
#include "settings/settings_store.h"
#include "support/usage_log.h"
#include "system/reg_ops.h"
#include "system/rule_macros.h"

namespace tidemark {
namespace {

std::wstring TextOf(HWND control) {
    wchar_t text[256] = {};
    GetWindowTextW(control, text, 256);
    return text;
}

// The stored caption, without asking the window (it answers only while painting).
std::wstring StoredTextOf(HWND window) {
    wchar_t text[256] = {};
    InternalGetWindowText(window, text, 256);
    return text;
}

std::wstring ItemOf(HWND combo, int index) {
    wchar_t text[256] = {};
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

bool DragFullWindows() {
    BOOL on = FALSE;
    SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &on, 0);
    return on != FALSE;
}

bool FolderExists(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        App() = AppState{};
        DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
    }
    void TearDown() override { DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM"); }

    std::unique_ptr<TFBrimMain> Start(std::vector<std::wstring> args = {}) {
        auto window = TFBrimMain::Create(args, false);
        EXPECT_TRUE(window);
        return window;
    }
};

TEST(StartSwitches, OnlyTheExactFirstArgumentCounts) {
    const struct { std::vector<std::wstring> args; StartSwitch expected; } cases[] = {
        {{}, StartSwitch::None},
        {{L"/qkgui"}, StartSwitch::QkGui},
        {{L"/clearfile"}, StartSwitch::ClearFile},
        {{L"/clearreg", L"x"}, StartSwitch::ClearReg},
        {{L"/CLEARREG"}, StartSwitch::None},
        {{L"x", L"/clearreg"}, StartSwitch::None},
        {{L"/clearreg "}, StartSwitch::None},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseStartSwitch(c.args), c.expected) << testing::PrintToString(c.args);
    EXPECT_EQ(CodePageIndexOf(936), 0);
    EXPECT_EQ(CodePageIndexOf(950), 1);
    EXPECT_EQ(CodePageIndexOf(1252), 2);
}

TEST_F(MainWindowTest, StartUpValues) {
    auto window = Start();
    const AppState& app = App();
    EXPECT_EQ(app.AppFolder, test::ExeDir() + L"\\");
    EXPECT_EQ(app.AppDir, test::ExeDir());
    EXPECT_EQ(app.LogLibraryPath, test::ExeDir() + L"\\qklog.dll");
    EXPECT_EQ(app.OsVersionCode, 13);
    EXPECT_EQ(app.CodePageIndex, 0);
    EXPECT_EQ(app.UiLanguageId, 2052u);
    EXPECT_EQ(app.ApplicationTitle, L"Tidemark 1.29");
    EXPECT_EQ(StoredTextOf(window->hwnd()), L"Tidemark1.31");
    EXPECT_EQ(TextOf(window->hwnd()), L"");  // asked outside painting: nothing
    EXPECT_TRUE(app.UiIdle);
    EXPECT_EQ(app.CurrentView, 1);  // the trace view is selected at start
    EXPECT_EQ(app.FixedDriveRoots, std::vector<std::wstring>{L"C:\\"});
    EXPECT_EQ(app.FixedDriveCount, 1);

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    EXPECT_EQ(app.WorkFolder, UpperCased(temp) + L"brim");
    EXPECT_TRUE(FolderExists(app.WorkFolder));
    for (const auto& folder : SpecialFolders) EXPECT_EQ(folder, UpperCased(folder));

    RECT r;
    GetWindowRect(window->hwnd(), &r);
    EXPECT_EQ(r.right - r.left, 800);
    EXPECT_EQ(r.bottom - r.top, 630);
    EXPECT_NE(GetWindowLongW(window->hwnd(), GWL_STYLE) & WS_CAPTION, WS_CAPTION);  // no caption bar

    // The first-run panel's texts, from the simplified table.
    EXPECT_EQ(TextOf(window->Control(L"Lab_initClear")), L"选择清理方式");
    EXPECT_EQ(TextOf(window->Control(L"CbxInitNext")), L"下次不再询问");
    HWND combo = window->Control(L"Cbx_initClear");
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(ItemOf(combo, 0), L"直接删除,不经过回收站");
    EXPECT_EQ(ItemOf(combo, 1), L"将文件移动到回收站");
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
}

// The test carries the program's own definition set; every definition of it is loaded.
TEST_F(MainWindowTest, TheWholeDefinitionSetLoadsAtStartUp) {
    auto window = Start();
    const std::size_t carried = DefinitionResourceNames(nullptr).size();
    ASSERT_GT(carried, 0u);
    ASSERT_NE(window->Definitions(), nullptr);
    EXPECT_EQ(window->Definitions()->Count(), carried);
}

TEST_F(MainWindowTest, Windows7IdentityLibraryIsCalledAndUnloaded) {
    // qkWin7.dll lies beside this test; the default test prefix reports Windows 7.
    test::ScratchDir dir;
    const std::wstring out = dir / L"appid.txt";
    SetEnvironmentVariableW(L"TM_QKWIN7_OUT", out.c_str());
    auto window = Start();
    SetEnvironmentVariableW(L"TM_QKWIN7_OUT", nullptr);
    char text[128] = {};
    if (FILE* f = _wfopen(out.c_str(), L"r")) {
        fgets(text, sizeof text, f);
        fclose(f);
    }
    EXPECT_EQ(std::string(text),
              std::to_string(reinterpret_cast<ULONG_PTR>(window->hwnd())) + " CorvaneAppId\n");
    EXPECT_EQ(GetModuleHandleW(L"qkWin7.dll"), nullptr);
}

TEST_F(MainWindowTest, SwitchesSelectTheirView) {
    EXPECT_EQ((Start({L"/clearfile"}), App().CurrentView), 2);
    EXPECT_EQ((Start({L"/clearreg"}), App().CurrentView), 4);
    EXPECT_EQ((Start({L"/ClearFile"}), App().CurrentView), 1);
    EXPECT_EQ((Start({L"/qkgui"}), App().HiddenStartMode), true);
}

TEST_F(MainWindowTest, FirstRunQuestionStoresTheChoice) {
    auto window = Start();
    HWND panel = window->Control(L"FirstRunPrompt");
    EXPECT_FALSE(IsWindowVisible(panel));
    window->FirstRunTimerFired();  // InitSet missing: the question is asked
    EXPECT_TRUE(GetWindowLongW(panel, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(App().UiIdle);
    window->SelectTopTab(2);  // ignored while the question is open
    EXPECT_EQ(App().CurrentView, 1);

    SendMessageW(window->Control(L"Cbx_initClear"), CB_SETCURSEL, 1, 0);
    SendMessageW(window->Control(L"CbxInitNext"), BM_SETCHECK, BST_UNCHECKED, 0);
    window->BBtn_InitOkClick();
    EXPECT_EQ(ReadRegIntDefault(kSettingsRoot, kSettingsKey, kDirectDel, -1), 1);
    EXPECT_EQ(ReadRegIntDefault(kSettingsRoot, kSettingsKey, kInitSet, -1), 0);
    EXPECT_TRUE(App().UiIdle);
    EXPECT_FALSE(GetWindowLongW(panel, GWL_STYLE) & WS_VISIBLE);

    // Asked again next time (the box was cleared); ticked, it is not asked after that.
    window = Start();
    window->FirstRunTimerFired();
    EXPECT_TRUE(GetWindowLongW(window->Control(L"FirstRunPrompt"), GWL_STYLE) & WS_VISIBLE);
    window->BBtn_InitOkClick();  // defaults: direct deletion, don't ask again
    EXPECT_EQ(ReadRegIntDefault(kSettingsRoot, kSettingsKey, kDirectDel, -1), 0);
    EXPECT_EQ(ReadRegIntDefault(kSettingsRoot, kSettingsKey, kInitSet, -1), 1);
    window = Start();
    window->FirstRunTimerFired();
    EXPECT_FALSE(GetWindowLongW(window->Control(L"FirstRunPrompt"), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(App().UiIdle);
}

TEST_F(MainWindowTest, TimersFireOnceTheMessageLoopRuns) {
    auto window = Start();
    MSG msg;
    for (int i = 0; i < 50 && !App().DragSettingSaved; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
    EXPECT_TRUE(App().DragSettingSaved);
    EXPECT_FALSE(App().UiIdle);  // the first-run question is up
}

TEST_F(MainWindowTest, CloseRestoresDragAndRemovesTheWorkFolder) {
    SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
    auto window = Start();
    window->DragTimerFired();
    EXPECT_FALSE(DragFullWindows());
    EXPECT_EQ(App().SavedDragFullWindows, 1);
    const std::wstring work = App().WorkFolder;
    ASSERT_TRUE(test::WriteFileText(work + L"\\picture.bmp", "x"));
    window->Close();
    EXPECT_TRUE(window->Destroyed());
    EXPECT_TRUE(DragFullWindows());
    EXPECT_TRUE(App().Stop.Requested());
    EXPECT_FALSE(FolderExists(work));
}

// The program's own window: closing runs the close sequence and ends the message loop; the
// window goes with the process. It is hidden at once only when the close has a record to send
// through the log library, which may take its time.
TEST_F(MainWindowTest, TheProgramsWindowClosesIntoTheEndOfTheMessageLoop) {
    for (const bool withLog : {false, true}) {
        App() = AppState{};
        auto window = TFBrimMain::Create({}, true);
        ASSERT_TRUE(window);
        ShowWindow(window->hwnd(), SW_SHOWNORMAL);
        const std::wstring work = App().WorkFolder;
        ASSERT_TRUE(test::WriteFileText(work + L"\\picture.bmp", "x"));
        // A stand-in that is no library: the record is not sent, and nothing else changes.
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring library = std::wstring(temp) + L"tm-closing-qklog.dll";
        const std::wstring previous = LogLibraryPath();
        if (withLog) {
            ASSERT_TRUE(test::WriteFileText(library, "not a library"));
            SetLogLibraryPath(library);
        }
        window->Close();
        SetLogLibraryPath(previous);
        DeleteFileW(library.c_str());
        EXPECT_TRUE(window->Closed());
        EXPECT_FALSE(window->Destroyed());
        EXPECT_EQ(IsWindowVisible(window->hwnd()) != FALSE, !withLog) << withLog;
        EXPECT_FALSE(FolderExists(work));
        // A window still shown keeps asking to be painted: the loop dispatches until the quit.
        MSG msg;
        bool quit = false;
        while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) quit = true;
            else DispatchMessageW(&msg);
        }
        EXPECT_TRUE(quit);
        window->Close();  // a second request does nothing more
    }
}

// One owner of the running operation: while any view's scope is held, nothing else starts and a
// close only requests the stop; the window closes when the outermost scope has unwound.
TEST_F(MainWindowTest, CloseDuringAnyViewsOperationWaitsForItAndNothingElseStarts) {
    auto window = Start();
    window->BBtn_InitOkClick();
    const std::wstring work = App().WorkFolder;
    int depth = 0;
    {
        BusyScope operation(*window, depth);
        EXPECT_FALSE(window->CanStartOperation());
        EXPECT_FALSE(App().UiIdle);
        // A cancel or close requests the stop; only a new operation's start may reset it.
        window->Close();
        EXPECT_TRUE(window->ClosePending());
        EXPECT_FALSE(window->Destroyed());
        EXPECT_TRUE(App().Stop.Requested());
        window->Junk().BBtn_ScanClick();  // refused: the stop stays requested
        EXPECT_TRUE(App().Stop.Requested());
        EXPECT_FALSE(window->Junk().Busy());
        {
            BusyScope nested(*window, depth);  // a panel inside the operation
        }
        EXPECT_FALSE(window->Destroyed());
        EXPECT_TRUE(FolderExists(work));
    }
    EXPECT_TRUE(window->Destroyed());
    EXPECT_FALSE(FolderExists(work));
}

TEST_F(MainWindowTest, HiddenStartLeavesDragAndWorkFolderAlone) {
    SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
    auto window = Start({L"/qkgui"});
    window->DragTimerFired();
    EXPECT_TRUE(DragFullWindows());
    EXPECT_FALSE(App().DragSettingSaved);
    const std::wstring work = App().WorkFolder;
    window->Close();
    EXPECT_TRUE(FolderExists(work));
    EXPECT_FALSE(App().Stop.Requested());
}

}  // namespace
}  // namespace tidemark

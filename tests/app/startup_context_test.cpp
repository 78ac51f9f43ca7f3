// The window and the console program build the same start-up context, and the window's pump
// runs the queue by time, not per item.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/message_pump.h"
#include "common/test_support.h"
#include "system/reg_ops.h"

namespace tidemark {
namespace {

std::string Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

// A path as JSON writes it (backslashes doubled; nothing else in a folder needs escaping).
std::string JsonPath(const std::wstring& path) {
    std::string out = "\"";
    for (char c : Utf8(path)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

TEST(StartupContext, ConsoleAndWindowExpandEveryRuleMacroToTheSameRealFolder) {
    App() = AppState{};
    auto window = TFBrimMain::Create({}, false);
    ASSERT_TRUE(window);
    const StartupContext& context = window->Context();

    const std::wstring cli = test::ExeDir() + L"\\..\\..\\src\\cli\\tidemark-cli.exe";
    const test::ProcessResult info = test::RunProcess(L"\"" + cli + L"\" info --json");
    ASSERT_EQ(info.exitCode, 0u) << info.err;
    const std::size_t folders = info.out.find("\"folders\": {");
    ASSERT_NE(folders, std::string::npos) << info.out;
    for (int i = 0; i < kRuleMacroCount; ++i) {
        const std::wstring& folder = context.Folders[i];
        SCOPED_TRACE(Utf8(RuleMacroNames[i]));
        EXPECT_FALSE(folder.empty());
        // Every folder but the drive itself is a folder that exists.
        if (i > 0) {
            EXPECT_NE(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES) << Utf8(folder);
        }
        const std::string pair = JsonPath(RuleMacroNames[i]) + ": " + JsonPath(folder);
        EXPECT_NE(info.out.find(pair, folders), std::string::npos) << pair << "\n" << info.out;
    }
    // The window's own values come from the same context.
    EXPECT_EQ(App().WorkFolder, context.Folders[8] + L"brim");
    EXPECT_EQ(App().FixedDriveRoots, context.Drives.Roots);
    EXPECT_EQ(App().LogLibraryPath, App().AppFolder + L"qklog.dll");
    EXPECT_NE(context.BootDelete, nullptr);
}

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) {
        ++*reinterpret_cast<int*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

TEST(MessagePump, RunsTheQueueOncePerIntervalNotPerItem) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TidemarkPumpTest";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(hwnd);
    int handled = 0;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&handled));

    MessagePump pump(60000);  // an interval no test run reaches
    PostMessageW(hwnd, WM_APP, 0, 0);
    for (int i = 0; i < 100000; ++i) pump.Poll();
    EXPECT_EQ(handled, 0) << "polled items must not run the queue before the interval";
    EXPECT_EQ(pump.Drains(), 0u);
    pump.Drain();
    EXPECT_EQ(handled, 1);

    // Once the interval has passed, the next poll runs the queue.
    MessagePump quick(1);
    PostMessageW(hwnd, WM_APP, 0, 0);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 2) {
    }
    quick.Poll();
    EXPECT_EQ(handled, 2);
    DestroyWindow(hwnd);
}

// A close while an operation pumps ends the outer loop, not the operation's pump.
TEST(MessagePump, LeavesTheQuitMessageToTheOuterLoop) {
    MessagePump pump;
    PostQuitMessage(3);
    pump.Drain();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

}  // namespace
}  // namespace tidemark

// Tidemark: the window program.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/registry_jump.h"
#include "system/handles.h"

namespace {

std::vector<std::wstring> Arguments() {
    std::vector<std::wstring> args;
    int count = 0;
    if (wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
        LocalFree(argv);
    }
    return args;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    // One copy at a time. The mutex is held, never released, until the process ends; a second
    // copy leaves at once without a word to the first.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"FBrimMain");
    const DWORD created = GetLastError();
    tidemark::UniqueHandle instanceMutex(mutex);
    if (created == ERROR_ALREADY_EXISTS) return 0;

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    const std::vector<std::wstring> args = Arguments();
    auto window = tidemark::TFBrimMain::Create(args, true);
    if (!window) return 1;
    if (!args.empty() && args[0] == L"/qkgui") {
        // Hidden start: the window is simply never shown.
    } else {
        ShowWindow(window->hwnd(), show == SW_HIDE ? SW_SHOWNORMAL : show);
        UpdateWindow(window->hwnd());
    }

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // Module clean-up: the registry-jump library is unloaded and its file deleted.
    tidemark::ReleaseRegistryJump();
    // The close sequence has run; the window and its widgets end with the process (nothing they
    // hold outlives it), which is much faster than tearing them down one by one.
    if (window->Closed()) (void)window.release();
    return 0;
}

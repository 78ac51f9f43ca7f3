// Tidemark: the window program. Until the skinned main window arrives this shows a plain
// window with the program's identity.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "system/handles.h"

namespace {

constexpr wchar_t kMainClass[] = L"{C9A5B730-1E5F-49A2-AAD5-025BBD1F43F0}";
constexpr wchar_t kCaption[] = L"Tidemark1.31";

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    RECT title = client;
    title.bottom = 104;
    // Title area: the blue gradient, drawn as bands.
    for (int y = 0; y < title.bottom; y += 4) {
        const int r = 0x2B + (0x1C - 0x2B) * y / title.bottom;
        const int g = 0x7B + (0x5F - 0x7B) * y / title.bottom;
        const int b = 0xD6 + (0xB0 - 0xD6) * y / title.bottom;
        tidemark::UniqueGdiObject band(CreateSolidBrush(RGB(r, g, b)));
        RECT row{0, y, client.right, y + 4};
        FillRect(dc, &row, static_cast<HBRUSH>(band.get()));
    }
    tidemark::UniqueGdiObject font(CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                               CLEARTYPE_QUALITY, 0, L"宋体"));
    HGDIOBJ old = SelectObject(dc, font.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT text{24, 0, client.right, title.bottom};
    DrawTextW(dc, L"Corvane Tidemark 1.31", -1, &text, DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: Paint(hwnd); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kMainClass;
    if (!RegisterClassExW(&wc)) return 1;

    const int width = 800, height = 630;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND hwnd = CreateWindowExW(0, kMainClass, kCaption, WS_OVERLAPPEDWINDOW, x, y, width, height,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

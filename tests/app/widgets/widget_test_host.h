// A hidden top-level window to put a widget in, and the widget's client area as pixels
// (painted through WM_PRINTCLIENT, so no screen or window manager is involved).
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/widgets/paint_support.h"
#include "system/handles.h"

namespace tidemark::widgets::test {

class HostWindow {
public:
    HostWindow() {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        if (!GetClassInfoExW(instance, kClass, &wc)) {
            wc = WNDCLASSEXW{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = instance;
            wc.lpszClassName = kClass;
            RegisterClassExW(&wc);
        }
        hwnd_ = CreateWindowExW(0, kClass, L"widget test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                                0, 640, 480, nullptr, nullptr, instance, nullptr);
    }
    ~HostWindow() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND hwnd() const { return hwnd_; }

private:
    static constexpr wchar_t kClass[] = L"TidemarkWidgetTestHost";
    HWND hwnd_ = nullptr;
};

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;  // top-down rows

    COLORREF At(int x, int y) const {
        const std::uint32_t p = argb[static_cast<std::size_t>(y) * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // Pixels in rect (clipped to the picture) for which pred(COLORREF) holds.
    template <typename Pred>
    int Count(RECT r, Pred pred) const {
        int n = 0;
        for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, height); ++y)
            for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, width); ++x)
                n += pred(At(x, y)) ? 1 : 0;
        return n;
    }
};

inline Pixels PrintClient(HWND hwnd) {
    Pixels pixels;
    RECT client{};
    GetClientRect(hwnd, &client);
    pixels.width = client.right;
    pixels.height = client.bottom;
    if (pixels.width <= 0 || pixels.height <= 0) return pixels;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
    if (!bitmap || !dc || !bits) return pixels;
    {
        SelectedObject select(dc.get(), bitmap.get());
        SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
        GdiFlush();
    }
    const auto* p = static_cast<const std::uint32_t*>(bits);
    pixels.argb.assign(p, p + static_cast<std::size_t>(pixels.width) * pixels.height);
    return pixels;
}

inline LPARAM ClientPoint(POINT pt) { return MAKELPARAM(pt.x, pt.y); }

inline POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace tidemark::widgets::test

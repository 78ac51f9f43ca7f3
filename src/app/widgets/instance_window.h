// The window procedure shared by classes whose objects own one window each: the object given
// at creation (lpCreateParams) is stored with the window and every message goes to its
// Handle member. No exception escapes into Windows, and the object forgets its window when the
// window is gone. A class grants access with
//   template <typename T> friend LRESULT CALLBACK InstanceWindowProc(HWND, UINT, WPARAM, LPARAM);
#pragma once

#include <windows.h>

namespace tidemark::widgets {

template <typename T>
LRESULT CALLBACK InstanceWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    try {
        return self->Handle(msg, wp, lp);
    } catch (...) {
        // The message counts as handled.
        return 0;
    }
}

// Registers a window class of this module once; true when it is (or already was) registered.
inline bool RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style = 0) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (GetClassInfoExW(instance, name, &wc)) return true;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

// For an owner's destructor: the window goes without calling back into the owner.
inline void DestroyOwnedWindow(HWND& hwnd) {
    if (!hwnd) return;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
    hwnd = nullptr;
}

}  // namespace tidemark::widgets

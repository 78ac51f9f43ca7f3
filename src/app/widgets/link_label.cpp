#include "app/widgets/link_label.h"

#include <windowsx.h>

#include "app/widgets/paint_util.h"

namespace tidemark::widgets {
namespace {

constexpr wchar_t kClassName[] = L"TidemarkLinkLabel";

}  // namespace

std::unique_ptr<LinkLabel> LinkLabel::Create(HWND parent, const RECT& rect, const std::wstring& text,
                                             COLORREF background) {
    if (!RegisterWindowClass(kClassName, InstanceWindowProc<LinkLabel>)) return nullptr;
    std::unique_ptr<LinkLabel> label(new LinkLabel);
    label->background_ = background;
    CreateWindowExW(0, kClassName, text.c_str(), WS_CHILD | WS_VISIBLE, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                    GetModuleHandleW(nullptr), label.get());
    if (!label->hwnd_) return nullptr;
    return label;
}

LinkLabel::~LinkLabel() { DestroyOwnedWindow(hwnd_); }

void LinkLabel::Click() {
    if (hwnd_ && IsWindowEnabled(hwnd_) && onClick_) onClick_();
}

void LinkLabel::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    FillSolid(dc, client, background_);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(GetParent(hwnd_), WM_GETFONT, 0, 0));
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (hot_ && !underlined_) {
        LOGFONTW lf{};
        GetObjectW(font, sizeof lf, &lf);
        lf.lfUnderline = TRUE;
        underlined_.reset(CreateFontIndirectW(&lf));
    }
    SelectedObject selectFont(dc, hot_ && underlined_ ? underlined_.get() : font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsWindowEnabled(hwnd_) ? (hot_ ? skin::AccentPressed : skin::Accent) : skin::AccentDisabled);
    wchar_t text[256] = {};
    InternalGetWindowText(hwnd_, text, 256);
    DrawTextW(dc, text, -1, &client, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    EndPaint(hwnd_, &ps);
}

LRESULT LinkLabel::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcW(hwnd_, msg, wp, lp);
        InvalidateRect(hwnd_, nullptr, FALSE);
        return result;
    }
    case WM_MOUSEMOVE:
        if (!hot_) {
            hot_ = true;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd_, 0};
            TrackMouseEvent(&track);
            InvalidateRect(hwnd_, nullptr, FALSE);
        }
        return 0;
    case WM_MOUSELEAVE:
        hot_ = false;
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP:
        Click();
        return 0;
    default:
        return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

}  // namespace tidemark::widgets

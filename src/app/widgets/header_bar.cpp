#include "app/widgets/header_bar.h"

#include <windowsx.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <utility>

#include "app/widgets/gdiplus_session.h"
#include "system/file_ops.h"

namespace tidemark::widgets {
namespace {

constexpr COLORREF kTitleColor = RGB(0x00, 0x00, 0x00);
constexpr int kDefaultWidth = 100;

void FillGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom) {
    const int height = rect.bottom - rect.top;
    for (int y = 0; y < height; ++y) {
        // One line per pixel row: the bar is a couple of dozen pixels high.
        const int span = std::max(height - 1, 1);
        auto mix = [&](int a, int b) { return a + (b - a) * y / span; };
        const COLORREF color = RGB(mix(GetRValue(top), GetRValue(bottom)),
                                   mix(GetGValue(top), GetGValue(bottom)),
                                   mix(GetBValue(top), GetBValue(bottom)));
        FillSolid(dc, RECT{rect.left, rect.top + y, rect.right, rect.top + y + 1}, color);
    }
}

// Loads a picture file into a GDI bitmap; transparent parts take the gradient's top colour.
HBITMAP LoadPicture(const std::wstring& path, SIZE& size) {
    using namespace Gdiplus;
    if (!EnsureGdiplus()) return nullptr;
    GpBitmap* bitmap = nullptr;
    if (DllExports::GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Ok || !bitmap)
        return nullptr;
    HBITMAP result = nullptr;
    UINT width = 0, height = 0;
    if (DllExports::GdipGetImageWidth(bitmap, &width) == Ok &&
        DllExports::GdipGetImageHeight(bitmap, &height) == Ok && width > 0 && height > 0) {
        const ARGB background = 0xFF000000u | (GetRValue(HeaderBar::kGradientTop) << 16) |
                                (GetGValue(HeaderBar::kGradientTop) << 8) |
                                GetBValue(HeaderBar::kGradientTop);
        if (DllExports::GdipCreateHBITMAPFromBitmap(bitmap, &result, background) != Ok)
            result = nullptr;
        size = SIZE{static_cast<LONG>(width), static_cast<LONG>(height)};
    }
    // Disposing at once releases the file, which GDI+ otherwise keeps open.
    DllExports::GdipDisposeImage(bitmap);
    return result;
}

}  // namespace

std::unique_ptr<HeaderBar> HeaderBar::Create(HWND parent, int controlId, const RECT& bounds) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(kClassName, InstanceWindowProc<HeaderBar>)) return nullptr;
    std::unique_ptr<HeaderBar> bar(new HeaderBar);
    CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, bounds.left,
                    bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, bar.get());
    if (!bar->hwnd_) return nullptr;
    bar->font_ = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0));
    RECT client{};
    GetClientRect(bar->hwnd_, &client);
    bar->clientWidth_ = client.right;
    bar->clientHeight_ = client.bottom;
    return bar;
}

HeaderBar::~HeaderBar() { DestroyOwnedWindow(hwnd_); }

void HeaderBar::SetSections(std::vector<std::wstring> titles, std::vector<int> widths) {
    if (dragIndex_ >= 0 && GetCapture() == hwnd_) ReleaseCapture();
    dragIndex_ = -1;
    sections_.clear();
    sections_.reserve(titles.size());
    for (std::size_t i = 0; i < titles.size(); ++i)
        sections_.push_back(
            Section{std::move(titles[i]), i < widths.size() ? std::max(widths[i], 0) : kDefaultWidth});
    Repaint(hwnd_);
}

std::wstring HeaderBar::SectionTitle(int index) const {
    return index >= 0 && index < SectionCount() ? sections_[index].title : std::wstring();
}

void HeaderBar::SetSectionTitle(int index, std::wstring title) {
    if (index < 0 || index >= SectionCount()) return;
    sections_[index].title = std::move(title);
    Repaint(hwnd_);
}

int HeaderBar::SectionWidth(int index) const {
    return index >= 0 && index < SectionCount() ? sections_[index].width : 0;
}

void HeaderBar::SetSectionWidth(int index, int width) {
    if (index < 0 || index >= SectionCount()) return;
    sections_[index].width = std::max(width, 0);
    Repaint(hwnd_);
}

bool HeaderBar::SetBackgroundPictureWhenShown(const std::wstring& path, std::function<bool()> prepare) {
    if (path.empty() || (!prepare && !IsPlainFile(path))) return false;
    pendingPicture_ = path;
    preparePicture_ = std::move(prepare);
    Repaint(hwnd_);
    return true;
}

bool HeaderBar::SetBackgroundPicture(const std::wstring& path) {
    pendingPicture_.clear();
    preparePicture_ = nullptr;
    SIZE size{0, 0};
    picture_.reset(path.empty() ? nullptr : LoadPicture(path, size));
    pictureSize_ = picture_ ? size : SIZE{0, 0};
    Repaint(hwnd_);
    return static_cast<bool>(picture_);
}

void HeaderBar::SetScrollOffset(int x) {
    if (x == scrollX_) return;
    scrollX_ = x;
    Repaint(hwnd_);
}

int HeaderBar::SectionLeft(int index) const {
    int left = 0;
    for (int i = 0; i < index && i < SectionCount(); ++i) left += sections_[i].width;
    return left;
}

int HeaderBar::EdgeAt(int x) const {
    const int listX = x + scrollX_;
    int found = -1;
    int edge = 0;
    for (int i = 0; i < SectionCount(); ++i) {
        edge += sections_[i].width;
        if (listX >= edge - kGrip && listX <= edge + kGrip) found = i;
    }
    return found;
}

void HeaderBar::DragTo(int x) {
    if (dragIndex_ < 0 || dragIndex_ >= SectionCount()) return;
    const int width = std::max(0, x + scrollX_ - dragGrabOffset_ - SectionLeft(dragIndex_));
    if (width == sections_[dragIndex_].width) return;
    sections_[dragIndex_].width = width;
    Repaint(hwnd_);
    if (OnSectionResized) OnSectionResized(dragIndex_, width);
}

void HeaderBar::Paint(HDC dc) {
    if (!pendingPicture_.empty()) {
        // The picture set to be loaded when first shown.
        SIZE size{0, 0};
        const bool ready = !preparePicture_ || preparePicture_();
        preparePicture_ = nullptr;
        picture_.reset(ready ? LoadPicture(pendingPicture_, size) : nullptr);
        pictureSize_ = picture_ ? size : SIZE{0, 0};
        pendingPicture_.clear();
    }
    const RECT client{0, 0, clientWidth_, clientHeight_};
    if (picture_) {
        UniqueMemoryDC source(CreateCompatibleDC(dc));
        if (source) {
            SelectedObject picture(source.get(), picture_.get());
            SetStretchBltMode(dc, HALFTONE);
            SetBrushOrgEx(dc, 0, 0, nullptr);
            StretchBlt(dc, 0, 0, clientWidth_, clientHeight_, source.get(), 0, 0, pictureSize_.cx,
                       pictureSize_.cy, SRCCOPY);
        }
    } else {
        FillGradient(dc, RECT{0, 0, clientWidth_, clientHeight_ - 1}, kGradientTop, kGradientBottom);
        FillSolid(dc, RECT{0, clientHeight_ - 1, clientWidth_, clientHeight_}, kLineColor);
    }

    SelectedObject font(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTitleColor);
    int left = -scrollX_;
    for (int i = 0; i < SectionCount(); ++i) {
        const int right = left + sections_[i].width;
        if (right > 0 && left < clientWidth_) {
            DrawCellText(dc, sections_[i].title,
                         RECT{left + kTitlePadding, 0, right - kTitlePadding, client.bottom - 1},
                         false);
            if (i + 1 < SectionCount() && right >= 1)
                FillSolid(dc, RECT{right - 1, 3, right, std::max(3, clientHeight_ - 4)}, kLineColor);
        }
        left = right;
    }
}

LRESULT HeaderBar::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        if (HDC buffer = buffer_.Begin(dc, clientWidth_, clientHeight_)) {
            Paint(buffer);
            buffer_.End(dc, ps.rcPaint);
        } else {
            Paint(dc);
        }
        EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wp));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        clientWidth_ = LOWORD(lp);
        clientHeight_ = HIWORD(lp);
        Repaint(hwnd_);
        return 0;
    case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wp);
        if (LOWORD(lp)) Repaint(hwnd_);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_SETCURSOR:
        if (LOWORD(lp) == HTCLIENT) {
            POINT pt{};
            GetCursorPos(&pt);
            ScreenToClient(hwnd_, &pt);
            if (dragIndex_ >= 0 || EdgeAt(pt.x) >= 0) {
                SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
                return TRUE;
            }
        }
        return DefWindowProcW(hwnd_, msg, wp, lp);
    case WM_LBUTTONDOWN: {
        const int x = GET_X_LPARAM(lp);
        const int index = EdgeAt(x);
        if (index < 0) return 0;
        SetCapture(hwnd_);  // before the drag starts: it may end one (WM_CAPTURECHANGED)
        dragIndex_ = index;
        dragGrabOffset_ = x + scrollX_ - (SectionLeft(index) + sections_[index].width);
        SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
        return 0;
    }
    case WM_MOUSEMOVE:
        if (dragIndex_ >= 0) DragTo(GET_X_LPARAM(lp));
        return 0;
    case WM_LBUTTONUP:
        if (dragIndex_ >= 0) {
            DragTo(GET_X_LPARAM(lp));
            dragIndex_ = -1;
            if (GetCapture() == hwnd_) ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        dragIndex_ = -1;
        return 0;
    default:
        return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

}  // namespace tidemark::widgets

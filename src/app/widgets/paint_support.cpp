#include "app/widgets/paint_support.h"

#include <algorithm>


namespace tidemark::widgets {

HBITMAP CreateDibBitmap(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

HDC PaintBuffer::Begin(HDC target, int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (!bitmap_ || size_.cx < width || size_.cy < height) {
        bitmap_.reset(CreateDibBitmap(std::max<LONG>(width, size_.cx), std::max<LONG>(height, size_.cy)));
        size_ = bitmap_ ? SIZE{std::max<LONG>(width, size_.cx), std::max<LONG>(height, size_.cy)}
                        : SIZE{0, 0};
    }
    if (!bitmap_) return nullptr;
    dc_.reset(CreateCompatibleDC(target));
    if (!dc_) return nullptr;
    previous_ = SelectObject(dc_.get(), bitmap_.get());
    return dc_.get();
}

void PaintBuffer::End(HDC target, const RECT& area) {
    if (!dc_) return;
    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, dc_.get(),
           area.left, area.top, SRCCOPY);
    if (previous_) SelectObject(dc_.get(), previous_);
    previous_ = nullptr;
    dc_.reset();
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
    // ExtTextOut with an opaque rectangle fills without creating a brush.
    const COLORREF old = SetBkColor(dc, color);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    SetBkColor(dc, old);
}

std::wstring EllipsisText(HDC dc, const std::wstring& text, int maxWidth) {
    SIZE size{};
    const int length = static_cast<int>(text.size());
    if (GetTextExtentPoint32W(dc, text.c_str(), length, &size) && size.cx <= maxWidth) return text;
    static constexpr wchar_t kEllipsis[] = L"\u2026";
    SIZE dots{};
    GetTextExtentPoint32W(dc, kEllipsis, 1, &dots);
    int fit = 0;
    if (maxWidth > dots.cx)
        GetTextExtentExPointW(dc, text.c_str(), length, maxWidth - dots.cx, &fit, nullptr, &size);
    fit = std::clamp(fit, 0, length);
    // Never end on the first half of a surrogate pair.
    if (fit > 0 && IS_HIGH_SURROGATE(text[fit - 1])) --fit;
    return text.substr(0, fit) + kEllipsis;
}

void DrawCellText(HDC dc, const std::wstring& text, const RECT& cell, bool rightAligned) {
    const int width = cell.right - cell.left;
    if (text.empty() || width <= 0) return;
    const std::wstring shown = EllipsisText(dc, text, width);
    SIZE size{};
    GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
    const int x = rightAligned ? std::max<int>(cell.left, cell.right - size.cx) : cell.left;
    const int y = cell.top + (cell.bottom - cell.top - size.cy) / 2;
    ExtTextOutW(dc, x, y, ETO_CLIPPED, &cell, shown.c_str(), static_cast<UINT>(shown.size()),
                nullptr);
}

}  // namespace tidemark::widgets

// Drawing helpers the custom-drawn widgets share: an off-screen buffer (one blit per paint, so
// nothing flickers and the screen is touched once) and end-ellipsised text.
#pragma once

#include <windows.h>

#include <string>

#include "system/handles.h"

namespace tidemark::widgets {

// An off-screen bitmap the size of the area painted, kept between paints and grown as needed.
class PaintBuffer {
public:
    // A memory DC with the buffer selected, at least width x height; null when GDI refuses.
    HDC Begin(HDC target, int width, int height);
    // Copies the buffer's area to the target and releases the DC.
    void End(HDC target, const RECT& area);

private:
    UniqueGdiObject bitmap_;
    SIZE size_{0, 0};
    UniqueMemoryDC dc_;
    HGDIOBJ previous_ = nullptr;
};

void FillSolid(HDC dc, const RECT& rect, COLORREF color);

// A 32-bit top-down device-independent bitmap for faces and paint buffers: drawing into it
// stays in the process (under Wine a screen-compatible bitmap is an X pixmap and every fill a
// request to the display server; the faces of forty buttons cost a quarter of a second so).
HBITMAP CreateDibBitmap(int width, int height);

// Invalidates all of a window for its next paint; nothing once the window is gone (a null
// window would mean every window on the desktop).
inline void Repaint(HWND hwnd) {
    if (hwnd) InvalidateRect(hwnd, nullptr, FALSE);
}

// Draws one line of text inside cell (left- or right-aligned, vertically centred), cut at the
// end with "…" when it does not fit and never painting outside the cell.
void DrawCellText(HDC dc, const std::wstring& text, const RECT& cell, bool rightAligned);

// The prefix of text that fits maxWidth pixels with "…" appended, or text itself when it fits.
std::wstring EllipsisText(HDC dc, const std::wstring& text, int maxWidth);

}  // namespace tidemark::widgets

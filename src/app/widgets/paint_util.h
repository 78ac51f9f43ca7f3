// Small drawing helpers shared by the widgets: the skin's colours and flat shapes.
#pragma once

#include <windows.h>

#include "app/widgets/paint_support.h"  // FillSolid

namespace tidemark::widgets {

// No colour (commctrl.h has the same value).
constexpr COLORREF NoColor = 0xFFFFFFFF;

namespace skin {
constexpr COLORREF TitleTop = RGB(0x2B, 0x7B, 0xD6);
constexpr COLORREF TitleBottom = RGB(0x1C, 0x5F, 0xB0);
constexpr COLORREF Strip = RGB(0xEA, 0xF3, 0xFC);
constexpr COLORREF Separator = RGB(0xC9, 0xDD, 0xF2);
constexpr COLORREF Accent = RGB(0x2F, 0x8A, 0xE5);
constexpr COLORREF AccentHot = RGB(0x4A, 0xA0, 0xF0);
constexpr COLORREF AccentPressed = RGB(0x1F, 0x6F, 0xC4);
constexpr COLORREF AccentDisabled = RGB(0xB9, 0xC6, 0xD3);
constexpr COLORREF Warning = RGB(0xD9, 0x34, 0x2B);
constexpr COLORREF Success = RGB(0x2E, 0x9E, 0x4F);
constexpr COLORREF SecondaryText = RGB(0x5B, 0x6B, 0x7B);
constexpr COLORREF Selection = RGB(0xDC, 0xEB, 0xFB);
constexpr int TitleHeight = 104;
}  // namespace skin

// a + (b - a) * t, per channel.
COLORREF Mix(COLORREF a, COLORREF b, double t);
// The title gradient's colour at row y (0 .. TitleHeight).
COLORREF TitleColorAt(int y);
// Fills rect with the title gradient as it runs at rows top .. top + height of the title area.
void FillTitleGradient(HDC dc, const RECT& rect, int titleTop);
// A rounded rectangle; border NoColor for none.
void FillRounded(HDC dc, const RECT& rect, int radius, COLORREF fill, COLORREF border);

// A bitmap to draw faces into (CreateDibBitmap).
HBITMAP CreateFaceBitmap(int width, int height);

}  // namespace tidemark::widgets

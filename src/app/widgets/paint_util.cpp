#include "app/widgets/paint_util.h"

#include "app/widgets/paint_support.h"

#include <algorithm>

#include "system/handles.h"

namespace tidemark::widgets {

COLORREF Mix(COLORREF a, COLORREF b, double t) {
    auto channel = [t](int x, int y) { return static_cast<BYTE>(x + (y - x) * t + 0.5); };
    return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
               channel(GetBValue(a), GetBValue(b)));
}

COLORREF TitleColorAt(int y) {
    const double t = std::clamp(y, 0, skin::TitleHeight) / static_cast<double>(skin::TitleHeight);
    return Mix(skin::TitleTop, skin::TitleBottom, t);
}

void FillTitleGradient(HDC dc, const RECT& rect, int titleTop) {
    for (int y = rect.top; y < rect.bottom; ++y) {
        RECT row{rect.left, y, rect.right, y + 1};
        FillSolid(dc, row, TitleColorAt(titleTop + (y - rect.top)));
    }
}

void FillRounded(HDC dc, const RECT& rect, int radius, COLORREF fill, COLORREF border) {
    UniqueGdiObject brush(CreateSolidBrush(fill));
    UniqueGdiObject pen(border == NoColor ? nullptr : CreatePen(PS_SOLID, 1, border));
    SelectedObject selectBrush(dc, brush.get());
    SelectedObject selectPen(dc, pen ? pen.get() : GetStockObject(NULL_PEN));
    // Without a pen the shape ends one pixel short on the right and bottom.
    const int grow = pen ? 0 : 1;
    RoundRect(dc, rect.left, rect.top, rect.right + grow, rect.bottom + grow, radius * 2, radius * 2);
}

HBITMAP CreateFaceBitmap(int width, int height) { return CreateDibBitmap(width, height); }

}  // namespace tidemark::widgets

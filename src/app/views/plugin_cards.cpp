#include "app/views/plugin_cards.h"

#include <commctrl.h>

#include <algorithm>

#include "engine/plugin_clean.h"

namespace tidemark {

namespace {

constexpr UINT_PTR kSubclassId = 0x504C4743;  // "PLGC"
constexpr int kFirstId = 1000;
constexpr int kCheckSize = 15;
constexpr int kLeft = 42;
constexpr int kLinkLeft = 700;
constexpr COLORREF kAccent = RGB(0x2F, 0x8A, 0xE5);
constexpr COLORREF kBoxBorder = RGB(0x5B, 0x6B, 0x7B);
constexpr COLORREF kSeparator = RGB(0xC9, 0xDD, 0xF2);

struct PartPlace {
    int left, top;
};
// Where each part stands inside its card.
constexpr PartPlace kPlaces[PluginCards::kParts] = {
    {kLeft, 11}, {kLeft, 30}, {kLeft, 48}, {kLeft, 66}, {8, 10}, {4, 85}, {kLinkLeft, 66},
};

SIZE TextSize(HWND window, HFONT font, const std::wstring& text) {
    SIZE size{0, 0};
    HDC dc = GetDC(window);
    HGDIOBJ previous = SelectObject(dc, font);
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return size;
}

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    SetDCBrushColor(dc, colour);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

}  // namespace

PluginCards::PluginCards(HWND box, HFONT font) : box_(box), font_(font) {
    if (!box_) return;
    LOGFONTW lf{};
    if (font_ && GetObjectW(font_, sizeof lf, &lf)) {
        lf.lfWeight = FW_BOLD;
        bold_.reset(CreateFontIndirectW(&lf));
    }
    SetWindowLongPtrW(box_, GWL_STYLE, GetWindowLongPtrW(box_, GWL_STYLE) | WS_VSCROLL);
    SetWindowSubclass(box_, BoxProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetWindowPos(box_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    UpdateScrollBar();
}

PluginCards::~PluginCards() {
    if (!box_) return;
    Clear();
    RemoveWindowSubclass(box_, BoxProc, kSubclassId);
}

void PluginCards::Clear() {
    for (Card& card : cards_)
        for (HWND part : card.parts)
            if (part) DestroyWindow(part);
    cards_.clear();
}

HWND PluginCards::Control(int index, Part part) const {
    if (index < 0 || index >= Count() || part < 0 || part >= kParts) return nullptr;
    return cards_[static_cast<std::size_t>(index)].parts[part];
}

void PluginCards::Build(const std::vector<PluginCard>& cards) {
    if (!box_) return;
    SendMessageW(box_, WM_SETREDRAW, FALSE, 0);
    Clear();
    scroll_ = 0;
    RECT client;
    GetClientRect(box_, &client);
    RECT outer;
    GetWindowRect(box_, &outer);
    const int boxWidth = outer.right - outer.left;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const HFONT bold = bold_ ? static_cast<HFONT>(bold_.get()) : font_;
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const PluginCard& data = cards[i];
        Card card;
        card.ticked = data.Ticked;
        const int top = static_cast<int>(i) * kCardHeight;
        auto make = [&](Part part, DWORD style, const std::wstring& text, int width, int height, HFONT font) {
            HWND control = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX | style,
                                           kPlaces[part].left, top + kPlaces[part].top, width, height, box_,
                                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + i * kParts + part)),
                                           instance, nullptr);
            SetWindowLongPtrW(control, GWLP_USERDATA, static_cast<LONG_PTR>(i));  // the card's index
            if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            card.parts[part] = control;
        };
        // Labels take the width of their text; the file path and company stop short of what
        // stands right of them (the path shortened in its middle).
        const int textRight = std::max<int>(kLeft + 40, client.right - 12);
        auto labelWidth = [&](const std::wstring& text, HFONT font, int right) {
            return std::min<int>(TextSize(box_, font, text).cx + 2, right - kLeft);
        };
        const int lineHeight = std::max<int>(16, TextSize(box_, font_, L"名").cy + 2);
        make(Name, SS_ENDELLIPSIS, data.Name, labelWidth(data.Name, bold, kLinkLeft - 8), lineHeight, bold);
        make(Type, SS_ENDELLIPSIS, data.Type, labelWidth(data.Type, font_, textRight), lineHeight, font_);
        make(File, SS_PATHELLIPSIS, data.File, labelWidth(data.File, font_, textRight), lineHeight, font_);
        make(Company, SS_ENDELLIPSIS, data.Company, labelWidth(data.Company, font_, kLinkLeft - 8), lineHeight, font_);
        make(Check, SS_OWNERDRAW | SS_NOTIFY, L"", kCheckSize, kCheckSize, nullptr);
        make(Separator, SS_OWNERDRAW, L"", std::max(0, boxWidth - 25), 1, nullptr);
        make(Details, SS_NOTIFY, L"查询详情", TextSize(box_, font_, L"查询详情").cx + 2, lineHeight, font_);
        cards_.push_back(card);
    }
    UpdateScrollBar();
    SendMessageW(box_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(box_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void PluginCards::SetTicked(int index, bool ticked) {
    if (index < 0 || index >= Count()) return;
    Card& card = cards_[static_cast<std::size_t>(index)];
    card.ticked = ticked;
    InvalidateRect(card.parts[Check], nullptr, FALSE);
}

bool PluginCards::Ticked(int index) const {
    return index >= 0 && index < Count() && cards_[static_cast<std::size_t>(index)].ticked;
}

void PluginCards::UpdateScrollBar() {
    RECT client;
    GetClientRect(box_, &client);
    SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    info.nMax = std::max(0, ContentHeight() - 1);
    info.nPage = static_cast<UINT>(std::max<LONG>(0, client.bottom));
    info.nPos = scroll_;
    SetScrollInfo(box_, SB_VERT, &info, TRUE);
}

void PluginCards::ScrollBy(int pixels) {
    RECT client;
    GetClientRect(box_, &client);
    const int limit = std::max(0, ContentHeight() - static_cast<int>(client.bottom));
    const int target = std::clamp(scroll_ + pixels, 0, limit);
    if (target == scroll_) return;
    scroll_ = target;
    Layout();
    UpdateScrollBar();
}

void PluginCards::Layout() {
    RECT outer;
    GetWindowRect(box_, &outer);
    const int boxWidth = outer.right - outer.left;
    HDWP batch = BeginDeferWindowPos(Count() * kParts);
    for (std::size_t i = 0; i < cards_.size(); ++i)
        for (int part = 0; part < kParts; ++part) {
            HWND control = cards_[i].parts[part];
            if (!control || !batch) continue;
            RECT r;
            GetWindowRect(control, &r);
            const int width = part == Separator ? std::max(0, boxWidth - 25) : r.right - r.left;
            batch = DeferWindowPos(batch, control, nullptr, kPlaces[part].left,
                                   static_cast<int>(i) * kCardHeight + kPlaces[part].top - scroll_, width,
                                   r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    if (batch) EndDeferWindowPos(batch);
    InvalidateRect(box_, nullptr, TRUE);
}

void PluginCards::DrawPart(const DRAWITEMSTRUCT& item) {
    const int id = static_cast<int>(item.CtlID) - kFirstId;
    if (id < 0) return;
    const int index = id / kParts, part = id % kParts;
    RECT r = item.rcItem;
    if (part == Separator) {
        Fill(item.hDC, r, kSeparator);
        return;
    }
    if (part != Check) return;
    Fill(item.hDC, r, RGB(255, 255, 255));
    const bool ticked = Ticked(index);
    if (ticked) {
        Fill(item.hDC, r, kAccent);
    } else {
        FrameRect(item.hDC, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        SetDCBrushColor(item.hDC, kBoxBorder);
        FrameRect(item.hDC, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        return;
    }
    // The tick: two white strokes, two pixels wide.
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 255, 255));
    HGDIOBJ previous = SelectObject(item.hDC, pen);
    const POINT tick[] = {{r.left + 3, r.top + 7}, {r.left + 6, r.top + 10}, {r.left + 12, r.top + 4}};
    Polyline(item.hDC, tick, 3);
    SelectObject(item.hDC, previous);
    DeleteObject(pen);
}

LRESULT PluginCards::Handle(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    handled = true;
    switch (msg) {
    case WM_COMMAND: {
        const int code = HIWORD(wp);
        const int id = static_cast<int>(LOWORD(wp)) - kFirstId;
        if (id < 0 || (code != STN_CLICKED && code != STN_DBLCLK)) break;
        const int index = id / kParts, part = id % kParts;
        if (part == Check && OnCheckClick) OnCheckClick(index);
        else if (part == Details && code == STN_CLICKED && OnDetailsClick) OnDetailsClick(index);
        return 0;
    }
    case WM_DRAWITEM:
        DrawPart(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, kTextColour);
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    case WM_SETCURSOR: {
        const HWND over = reinterpret_cast<HWND>(wp);
        for (const Card& card : cards_)
            if (over == card.parts[Details] || over == card.parts[Check]) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
        break;
    }
    case WM_LBUTTONDOWN:
        SetFocus(box_);
        return 0;
    case WM_MOUSEWHEEL:
        // One line per wheel step, whatever its size.
        ScrollBy(GET_WHEEL_DELTA_WPARAM(wp) > 0 ? -kWheelLine : kWheelLine);
        return 0;
    case WM_VSCROLL: {
        RECT client;
        GetClientRect(box_, &client);
        SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
        GetScrollInfo(box_, SB_VERT, &info);
        switch (LOWORD(wp)) {
        case SB_LINEUP: ScrollBy(-kWheelLine); break;
        case SB_LINEDOWN: ScrollBy(kWheelLine); break;
        case SB_PAGEUP: ScrollBy(-client.bottom); break;
        case SB_PAGEDOWN: ScrollBy(client.bottom); break;
        case SB_TOP: ScrollBy(-scroll_); break;
        case SB_BOTTOM: ScrollBy(ContentHeight()); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: ScrollBy(info.nTrackPos - scroll_); break;
        default: break;
        }
        return 0;
    }
    case WM_SIZE: {
        RECT client;
        GetClientRect(box_, &client);
        scroll_ = std::clamp(scroll_, 0, std::max(0, ContentHeight() - static_cast<int>(client.bottom)));
        Layout();
        UpdateScrollBar();
        handled = false;  // the panel's own handling goes on
        return 0;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(box_, BoxProc, kSubclassId);
        for (Card& card : cards_)
            for (HWND& part : card.parts) part = nullptr;
        box_ = nullptr;
        handled = false;
        return 0;
    default: break;
    }
    handled = false;
    return 0;
}

LRESULT CALLBACK PluginCards::BoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
    try {
        bool handled = false;
        const LRESULT result = reinterpret_cast<PluginCards*>(self)->Handle(msg, wp, lp, handled);
        if (handled) return result;
    } catch (...) {
        // Nothing may cross into Windows from here; the error is told to a debugger.
        const std::wstring line = L"Tidemark: plug-in cards: " + CurrentExceptionReason() + L"\n";
        OutputDebugStringW(line.c_str());
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace tidemark

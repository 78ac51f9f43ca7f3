#include "app/widgets/tree_list.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>

namespace tidemark::widgets {
namespace {

constexpr COLORREF kWindowColor = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kTextColor = RGB(0x00, 0x00, 0x00);
constexpr COLORREF kGlyphBorder = RGB(0x8E, 0x9F, 0xB3);
constexpr COLORREF kGlyphSign = RGB(0x2B, 0x3A, 0x4F);
constexpr COLORREF kBoxBorder = RGB(0x6F, 0x8B, 0xA8);
constexpr COLORREF kBoxMark = RGB(0x1E, 0x4E, 0x8C);
constexpr COLORREF kBoxMixed = RGB(0x4D, 0x7F, 0xB8);
constexpr int kLineScroll = 16;  // pixels per horizontal scroll-bar arrow click

RECT EmptyRect() { return RECT{0, 0, 0, 0}; }

SCROLLINFO ScrollInfo(UINT mask) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = mask;
    return si;
}

void FrameBox(HDC dc, const RECT& box, COLORREF border, COLORREF fill) {
    FillSolid(dc, box, border);
    const RECT inner{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
    FillSolid(dc, inner, fill);
}

}  // namespace

std::unique_ptr<TreeList> TreeList::Create(HWND parent, int controlId, const RECT& bounds) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(kClassName, InstanceWindowProc<TreeList>, CS_DBLCLKS)) return nullptr;
    std::unique_ptr<TreeList> list(new TreeList);
    UINT lines = 3;
    if (SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) list->wheelLines_ = lines;
    CreateWindowExW(0, kClassName, L"",
                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | WS_CLIPSIBLINGS,
                    bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                    parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance,
                    list.get());
    if (!list->hwnd_) return nullptr;
    list->font_ = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0));
    // Both bars start hidden; the first layout shows what the model needs.
    ShowScrollBar(list->hwnd_, SB_BOTH, FALSE);
    RECT client{};
    GetClientRect(list->hwnd_, &client);
    list->clientWidth_ = client.right;
    list->clientHeight_ = client.bottom;
    return list;
}

TreeList::~TreeList() {
    if (model_) model_->SetObserver(nullptr);
    DestroyOwnedWindow(hwnd_);
}

// --- Model and layout ---------------------------------------------------------------------------

void TreeList::SetModel(TreeListModel* model) {
    if (model == model_) return;
    if (model_) model_->SetObserver(nullptr);
    model_ = model;
    if (model_) model_->SetObserver([this](ModelChange change) { ModelChanged(change); });
    topRow_ = 0;
    layoutDirty_ = true;
    RequestPaint();
}

void TreeList::ModelChanged(ModelChange change) {
    if (change == ModelChange::Detached) model_ = nullptr;
    if (change != ModelChange::Content) layoutDirty_ = true;
    RequestPaint();
}

void TreeList::RequestPaint() {
    // One invalidation per paint, however many changes a batch makes: every call into the
    // window system is a round trip to the Wine server.
    if (!hwnd_ || paintRequested_) return;
    paintRequested_ = true;
    Repaint(hwnd_);
}

void TreeList::SetColumnWidths(std::vector<int> widths) {
    for (int& w : widths) w = std::max(w, 0);
    widths_ = std::move(widths);
    rightAligned_.resize(widths_.size(), false);
    layoutDirty_ = true;
    RequestPaint();
}

void TreeList::SetColumnWidth(int column, int width) {
    if (column < 0 || static_cast<std::size_t>(column) >= widths_.size()) return;
    widths_[column] = std::max(width, 0);
    layoutDirty_ = true;
    RequestPaint();
}

void TreeList::SetColumnRightAligned(int column, bool rightAligned) {
    if (column < 0) return;
    if (static_cast<std::size_t>(column) >= rightAligned_.size())
        rightAligned_.resize(column + 1, false);
    rightAligned_[column] = rightAligned;
    RequestPaint();
}

std::size_t TreeList::RowCount() const { return model_ ? model_->VisibleRowCount() : 0; }

int TreeList::PageRows() const { return std::max(1, clientHeight_ / kRowHeight); }

std::size_t TreeList::MaxTopRow() const {
    const std::size_t rows = RowCount();
    const std::size_t page = static_cast<std::size_t>(PageRows());
    return rows > page ? rows - page : 0;
}

int TreeList::TotalWidth() const {
    int total = 0;
    for (int w : widths_) total += w;
    return total;
}

int TreeList::MaxScrollX() const { return std::max(0, TotalWidth() - clientWidth_); }

int TreeList::Column0Content(NodeId node) const {
    return kLeftMargin + (model_ ? model_->Level(node) : 0) * kIndent;
}

void TreeList::SyncLayout() const {
    if (!hwnd_) return;
    // Showing or hiding a bar resizes the client area (WM_SIZE marks the layout dirty again),
    // so a few passes settle it.
    for (int pass = 0; layoutDirty_ && pass < 4; ++pass) {
        layoutDirty_ = false;
        const std::size_t rows = RowCount();
        topRow_ = std::min(topRow_, MaxTopRow());
        const int oldScrollX = scrollX_;
        scrollX_ = std::min(scrollX_, MaxScrollX());

        SCROLLINFO si = ScrollInfo(SIF_RANGE | SIF_PAGE | SIF_POS);
        si.nMin = 0;
        si.nMax = rows > 0 ? static_cast<int>(std::min<std::size_t>(rows - 1, INT_MAX)) : 0;
        si.nPage = rows > 0 ? static_cast<UINT>(PageRows()) : 1;
        si.nPos = static_cast<int>(topRow_);
        SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);

        const int total = TotalWidth();
        si.nMax = std::max(total - 1, 0);
        si.nPage = static_cast<UINT>(std::max(clientWidth_, 1));
        si.nPos = scrollX_;
        SetScrollInfo(hwnd_, SB_HORZ, &si, TRUE);
        if (scrollX_ != oldScrollX && OnHorizontalScroll) OnHorizontalScroll(scrollX_);
    }
}

std::size_t TreeList::TopRow() const {
    SyncLayout();
    return topRow_;
}

void TreeList::SetTopRow(std::size_t row) {
    SyncLayout();
    row = std::min(row, MaxTopRow());
    if (row == topRow_) return;
    topRow_ = row;
    SCROLLINFO si = ScrollInfo(SIF_POS);
    si.nPos = static_cast<int>(row);
    SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
    Repaint(hwnd_);
}

void TreeList::ScrollToRow(std::size_t row) { SetTopRow(row); }

int TreeList::ScrollX() const {
    SyncLayout();
    return scrollX_;
}

void TreeList::SetScrollX(int x) {
    SyncLayout();
    x = std::clamp(x, 0, MaxScrollX());
    if (x == scrollX_) return;
    scrollX_ = x;
    SCROLLINFO si = ScrollInfo(SIF_POS);
    si.nPos = x;
    SetScrollInfo(hwnd_, SB_HORZ, &si, TRUE);
    Repaint(hwnd_);
    if (OnHorizontalScroll) OnHorizontalScroll(scrollX_);
}

// --- Operations ---------------------------------------------------------------------------------

bool TreeList::Expand(NodeId node) {
    if (!model_ || !model_->IsValid(node) || !model_->HasChildren(node)) return false;
    // Open already, with rows to show. (Open without rows happens when code expanded a lazy row:
    // it still gets its chance to add them.)
    if (model_->IsExpanded(node) && model_->ChildCount(node) > 0) return false;
    if (OnExpanding) {
        OnExpanding(node);
        // The callback may have replaced or emptied the model.
        if (!model_ || !model_->IsValid(node)) return false;
    }
    if (model_->ChildCount(node) == 0) {
        model_->BeginUpdate();
        model_->SetMayHaveChildren(node, false);
        model_->SetExpanded(node, false);
        model_->EndUpdate();
        return false;
    }
    model_->SetExpanded(node, true);
    return true;
}

bool TreeList::Collapse(NodeId node) {
    return model_ && model_->SetExpanded(node, false);
}

void TreeList::EnsureVisible(NodeId node) {
    if (!model_ || !model_->IsValid(node)) return;
    model_->BeginUpdate();
    for (NodeId a = model_->Parent(node); a != kRoot; a = model_->Parent(a))
        model_->SetExpanded(a, true);
    model_->EndUpdate();
    const std::size_t row = model_->VisibleRowOf(node);
    if (row == kNoRow) return;
    SyncLayout();
    const std::size_t page = static_cast<std::size_t>(PageRows());
    if (row < topRow_) SetTopRow(row);
    else if (row >= topRow_ + page) SetTopRow(row - page + 1);
}

void TreeList::Select(NodeId node) {
    if (!model_) return;
    if (node != kNoNode && !model_->IsValid(node)) return;
    model_->Select(node);
    if (node != kNoNode) EnsureVisible(node);
}

// --- Geometry -----------------------------------------------------------------------------------

TreeList::HitInfo TreeList::HitTest(POINT pt) const {
    HitInfo hit;
    if (!model_ || pt.x < 0 || pt.y < 0 || pt.x >= clientWidth_ || pt.y >= clientHeight_)
        return hit;
    SyncLayout();
    hit.node = model_->NodeAtVisibleRow(topRow_ + static_cast<std::size_t>(pt.y / kRowHeight));
    if (hit.node == kNoNode) return hit;
    hit.part = Part::Cell;
    const int x = pt.x + scrollX_;
    int left = 0;
    for (std::size_t c = 0; c < widths_.size(); ++c) {
        if (x < left + widths_[c]) {
            hit.column = static_cast<int>(c);
            break;
        }
        left += widths_[c];
    }
    if (hit.column != 0) return hit;
    const int col0Right = widths_.empty() ? 0 : widths_[0];
    int cell = Column0Content(hit.node);
    if (model_->IsTree()) {
        if (model_->HasChildren(hit.node) && x >= cell && x < cell + kIndent &&
            cell + kIndent <= col0Right)
            hit.part = Part::Glyph;
        cell += kIndent;
    }
    if (model_->GetCheckKind(hit.node) != CheckKind::None && x >= cell && x < cell + kCheckCell &&
        cell + kCheckCell <= col0Right)
        hit.part = Part::CheckBox;
    return hit;
}

RECT TreeList::RowRect(NodeId node) const {
    if (!model_) return EmptyRect();
    SyncLayout();
    const std::size_t row = model_->VisibleRowOf(node);
    if (row == kNoRow || row < topRow_) return EmptyRect();
    const std::size_t offset = row - topRow_;
    if (offset * kRowHeight >= static_cast<std::size_t>(std::max(clientHeight_, 0)))
        return EmptyRect();
    const int top = static_cast<int>(offset) * kRowHeight;
    return RECT{0, top, clientWidth_, top + kRowHeight};
}

RECT TreeList::GlyphRect(NodeId node) const {
    const RECT row = RowRect(node);
    if (IsRectEmpty(&row) || !model_->IsTree() || !model_->HasChildren(node)) return EmptyRect();
    const int cell = Column0Content(node);
    if (widths_.empty() || cell + kIndent > widths_[0]) return EmptyRect();
    const int left = cell - scrollX_ + (kIndent - kGlyphBox) / 2;
    const int top = row.top + (kRowHeight - kGlyphBox) / 2;
    return RECT{left, top, left + kGlyphBox, top + kGlyphBox};
}

RECT TreeList::CheckBoxRect(NodeId node) const {
    const RECT row = RowRect(node);
    if (IsRectEmpty(&row) || model_->GetCheckKind(node) == CheckKind::None) return EmptyRect();
    const int cell = Column0Content(node) + (model_->IsTree() ? kIndent : 0);
    if (widths_.empty() || cell + kCheckCell > widths_[0]) return EmptyRect();
    const int left = cell - scrollX_ + 1;
    const int top = row.top + (kRowHeight - kCheckBox) / 2;
    return RECT{left, top, left + kCheckBox, top + kCheckBox};
}

// --- Painting -----------------------------------------------------------------------------------

HFONT TreeList::Font() const {
    return font_ ? font_ : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HFONT TreeList::BoldFont() {
    if (!boldFont_) {
        LOGFONTW lf{};
        if (GetObjectW(Font(), sizeof lf, &lf)) {
            lf.lfWeight = FW_BOLD;
            boldFont_.reset(CreateFontIndirectW(&lf));
        }
    }
    return boldFont_ ? static_cast<HFONT>(boldFont_.get()) : Font();
}

void TreeList::Paint(HDC dc) {
    SyncLayout();
    const int width = clientWidth_;
    const int height = clientHeight_;
    SelectedObject font(dc, Font());
    SetBkMode(dc, TRANSPARENT);
    int top = 0;
    if (model_) {
        for (std::size_t row = topRow_; top < height; ++row, top += kRowHeight) {
            const NodeId node = model_->NodeAtVisibleRow(row);
            if (node == kNoNode) break;
            PaintRow(dc, node, top, width);
        }
    }
    if (top < height) FillSolid(dc, RECT{0, top, width, height}, kWindowColor);
}

void TreeList::PaintRow(HDC dc, NodeId node, int top, int width) {
    const RowStyle style = model_->Style(node);
    COLORREF back = style.backColor != CLR_DEFAULT ? style.backColor : kWindowColor;
    if (model_->Selected() == node) back = kSelectionColor;
    FillSolid(dc, RECT{0, top, width, top + kRowHeight}, back);
    SetTextColor(dc, style.textColor != CLR_DEFAULT ? style.textColor : kTextColor);
    std::optional<SelectedObject> bold;
    if (style.bold) bold.emplace(dc, BoldFont());

    // A row with text in its first column only (a group heading) writes it across every column.
    bool firstOnly = widths_.size() > 1;
    for (std::size_t c = 1; c < widths_.size() && firstOnly; ++c) firstOnly = model_->Text(node, static_cast<int>(c)).empty();
    int spanRight = -scrollX_;
    for (const int w : widths_) spanRight += w;

    int left = -scrollX_;
    for (std::size_t c = 0; c < widths_.size(); ++c) {
        const int right = left + widths_[c];
        if (right > 0 && left < width && widths_[c] > 0) {
            int textLeft = left + kTextPadding;
            if (c == 0) {
                int cell = left + Column0Content(node);
                if (model_->IsTree()) {
                    if (model_->HasChildren(node) && cell + kIndent <= right) {
                        const int gx = cell + (kIndent - kGlyphBox) / 2;
                        const int gy = top + (kRowHeight - kGlyphBox) / 2;
                        DrawGlyph(dc, RECT{gx, gy, gx + kGlyphBox, gy + kGlyphBox},
                                  model_->IsExpanded(node) && model_->ChildCount(node) > 0);
                    }
                    cell += kIndent;
                }
                if (model_->GetCheckKind(node) != CheckKind::None) {
                    if (cell + kCheckCell <= right) {
                        const int bx = cell + 1;
                        const int by = top + (kRowHeight - kCheckBox) / 2;
                        DrawCheckBox(dc, RECT{bx, by, bx + kCheckBox, by + kCheckBox},
                                     model_->GetCheck(node));
                    }
                    cell += kCheckCell;
                }
                textLeft = std::max(textLeft, cell + 2);
            }
            const bool rightAligned = c < rightAligned_.size() && rightAligned_[c];
            const int textRight = c == 0 && firstOnly ? spanRight : right;
            DrawCellText(dc, model_->Text(node, static_cast<int>(c)),
                         RECT{textLeft, top, textRight - kTextPadding, top + kRowHeight}, rightAligned);
        }
        left = right;
    }
}

void TreeList::DrawGlyph(HDC dc, const RECT& box, bool expanded) {
    FrameBox(dc, box, kGlyphBorder, kWindowColor);
    const int cx = box.left + kGlyphBox / 2;
    const int cy = box.top + kGlyphBox / 2;
    FillSolid(dc, RECT{box.left + 2, cy, box.right - 2, cy + 1}, kGlyphSign);
    if (!expanded) FillSolid(dc, RECT{cx, box.top + 2, cx + 1, box.bottom - 2}, kGlyphSign);
}

void TreeList::DrawCheckBox(HDC dc, const RECT& box, CheckState state) {
    FrameBox(dc, box, kBoxBorder, kWindowColor);
    const int x = box.left + 3;
    const int y = box.top + 3;
    if (state == CheckState::Checked) {
        // The classic 7-pixel tick, three pixels thick, one column at a time.
        static constexpr int kTickTop[7] = {2, 3, 4, 3, 2, 1, 0};
        for (int i = 0; i < 7; ++i)
            FillSolid(dc, RECT{x + i, y + kTickTop[i], x + i + 1, y + kTickTop[i] + 3}, kBoxMark);
    } else if (state == CheckState::Mixed) {
        FillSolid(dc, RECT{x, y, x + 7, y + 7}, kBoxMixed);
    }
}

// --- Input --------------------------------------------------------------------------------------

void TreeList::UserSelect(NodeId node) {
    if (!model_ || node == kNoNode) return;
    const bool changed = model_->Select(node);
    EnsureVisible(node);
    if (changed && OnSelectionChanged) OnSelectionChanged(node);
}

void TreeList::UserToggleCheck(NodeId node) {
    if (!model_ || model_->GetCheckKind(node) == CheckKind::None) return;
    model_->ToggleCheck(node);
    if (OnCheckChanged) OnCheckChanged(node);
}

void TreeList::ToggleExpansion(NodeId node) {
    if (!model_) return;
    if (model_->IsExpanded(node) && model_->ChildCount(node) > 0) {
        const NodeId before = model_->Selected();
        Collapse(node);
        if (model_->Selected() != before && OnSelectionChanged) OnSelectionChanged(node);
        return;
    }
    if (!Expand(node) || !model_) return;
    // Show as many of the new rows as fit without pushing the opened row out at the top.
    NodeId last = model_->FirstChild(node);
    for (NodeId c = last; c != kNoNode; c = model_->NextSibling(c)) last = c;
    EnsureVisible(last);
    EnsureVisible(node);
}

void TreeList::OnButtonDown(POINT pt, bool doubleClick) {
    if (GetFocus() != hwnd_) SetFocus(hwnd_);
    const HitInfo hit = HitTest(pt);
    if (hit.node == kNoNode) return;
    switch (hit.part) {
    case Part::Glyph: ToggleExpansion(hit.node); break;
    case Part::CheckBox: UserToggleCheck(hit.node); break;
    default:
        UserSelect(hit.node);
        if (doubleClick && model_) {
            if (model_->HasChildren(hit.node)) ToggleExpansion(hit.node);
            if (OnDoubleClick) OnDoubleClick(hit.node);
        }
        break;
    }
}

void TreeList::OnRightButton(POINT pt, bool down) {
    if (down) {
        if (GetFocus() != hwnd_) SetFocus(hwnd_);
        UserSelect(HitTest(pt).node);
        return;
    }
    const NodeId node = HitTest(pt).node;
    POINT screen = pt;
    ClientToScreen(hwnd_, &screen);
    if (OnRightClick) OnRightClick(node, screen);
}

void TreeList::OnKey(UINT key) {
    if (!model_) return;
    const std::size_t rows = model_->VisibleRowCount();
    if (rows == 0) return;
    const NodeId selected = model_->Selected();
    const std::size_t current = model_->VisibleRowOf(selected);
    const std::size_t page = static_cast<std::size_t>(std::max(1, PageRows() - 1));
    std::size_t target = current;
    switch (key) {
    case VK_UP: target = current == kNoRow ? 0 : (current > 0 ? current - 1 : 0); break;
    case VK_DOWN: target = current == kNoRow ? 0 : std::min(current + 1, rows - 1); break;
    case VK_PRIOR: target = current == kNoRow ? 0 : (current > page ? current - page : 0); break;
    case VK_NEXT: target = current == kNoRow ? 0 : std::min(current + page, rows - 1); break;
    case VK_HOME: target = 0; break;
    case VK_END: target = rows - 1; break;
    case VK_LEFT:
        if (current == kNoRow) return;
        if (model_->IsExpanded(selected) && model_->ChildCount(selected) > 0) {
            Collapse(selected);
            return;
        }
        if (model_->Parent(selected) == kRoot) return;
        target = model_->VisibleRowOf(model_->Parent(selected));
        break;
    case VK_RIGHT:
        if (current == kNoRow) return;
        if (!model_->IsExpanded(selected) || model_->ChildCount(selected) == 0) {
            ToggleExpansion(selected);
            return;
        }
        target = model_->VisibleRowOf(model_->FirstChild(selected));
        break;
    case VK_SPACE:
        if (current != kNoRow) UserToggleCheck(selected);
        return;
    default: return;
    }
    if (target != kNoRow) UserSelect(model_->NodeAtVisibleRow(target));
}

void TreeList::OnScroll(int bar, int code) {
    SyncLayout();
    if (bar == SB_VERT) {
        const std::size_t page = static_cast<std::size_t>(PageRows());
        std::size_t row = topRow_;
        switch (code) {
        case SB_LINEUP: row = row > 0 ? row - 1 : 0; break;
        case SB_LINEDOWN: ++row; break;
        case SB_PAGEUP: row = row > page ? row - page : 0; break;
        case SB_PAGEDOWN: row += page; break;
        case SB_TOP: row = 0; break;
        case SB_BOTTOM: row = MaxTopRow(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            // The message's position has only 16 bits; the bar's own has 32.
            SCROLLINFO si = ScrollInfo(SIF_TRACKPOS);
            if (GetScrollInfo(hwnd_, SB_VERT, &si)) row = static_cast<std::size_t>(std::max(si.nTrackPos, 0));
            break;
        }
        default: return;
        }
        SetTopRow(row);
        return;
    }
    int x = scrollX_;
    switch (code) {
    case SB_LINELEFT: x -= kLineScroll; break;
    case SB_LINERIGHT: x += kLineScroll; break;
    case SB_PAGELEFT: x -= clientWidth_; break;
    case SB_PAGERIGHT: x += clientWidth_; break;
    case SB_LEFT: x = 0; break;
    case SB_RIGHT: x = MaxScrollX(); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si = ScrollInfo(SIF_TRACKPOS);
        if (GetScrollInfo(hwnd_, SB_HORZ, &si)) x = si.nTrackPos;
        break;
    }
    default: return;
    }
    SetScrollX(x);
}

void TreeList::OnWheel(int delta) {
    wheelRemainder_ += delta;
    const int notches = wheelRemainder_ / WHEEL_DELTA;
    if (notches == 0) return;
    wheelRemainder_ -= notches * WHEEL_DELTA;
    const long long lines = wheelLines_ == static_cast<int>(WHEEL_PAGESCROLL)
                                ? static_cast<long long>(PageRows())
                                : static_cast<long long>(std::max(wheelLines_, 1));
    const long long target = static_cast<long long>(TopRow()) - notches * lines;
    SetTopRow(static_cast<std::size_t>(std::max(target, 0LL)));
}

// --- Window procedure ---------------------------------------------------------------------------

LRESULT TreeList::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        paintRequested_ = false;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        try {
            if (HDC buffer = buffer_.Begin(dc, clientWidth_, clientHeight_)) {
                Paint(buffer);
                buffer_.End(dc, ps.rcPaint);
            } else {
                Paint(dc);
            }
        } catch (...) {
            // A text provider that throws costs this paint; BeginPaint still gets its EndPaint.
        }
        EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wp));
        return 0;
    case WM_ERASEBKGND:
        return 1;  // every pixel is painted
    case WM_SIZE:
        clientWidth_ = LOWORD(lp);
        clientHeight_ = HIWORD(lp);
        layoutDirty_ = true;
        Repaint(hwnd_);
        return 0;
    case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wp);
        boldFont_.reset();
        if (LOWORD(lp)) Repaint(hwnd_);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnButtonDown(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}, msg == WM_LBUTTONDBLCLK);
        return 0;
    case WM_RBUTTONDOWN:
        OnRightButton(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}, true);
        return 0;
    case WM_RBUTTONUP:
        // Handled here rather than through WM_CONTEXTMENU, which would report it twice.
        OnRightButton(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}, false);
        return 0;
    case WM_CONTEXTMENU:
        // From the keyboard (menu key, Shift+F10): the selected row, at its lower left corner.
        if (lp == -1 && model_ && OnRightClick) {
            const NodeId node = model_->Selected();
            EnsureVisible(node);
            const RECT row = RowRect(node);
            POINT screen{row.left + kRowHeight, row.bottom};
            ClientToScreen(hwnd_, &screen);
            OnRightClick(node, screen);
        }
        return 0;
    case WM_KEYDOWN:
        OnKey(static_cast<UINT>(wp));
        return 0;
    case WM_CHAR:
        if (IncrementalSearch && model_ && wp >= L' ') {
            const DWORD now = GetTickCount();
            if (now - lastTyped_ > 1000) typed_.clear();
            lastTyped_ = now;
            typed_ += static_cast<wchar_t>(wp);
            // The same word goes on from the selected row; a new one looks further on first.
            NodeId from = model_->Selected();
            if (typed_.size() == 1 && from != kNoNode) {
                const std::size_t row = model_->VisibleRowOf(from);
                if (row != kNoRow) from = model_->NodeAtVisibleRow((row + 1) % model_->VisibleRowCount());
            }
            const NodeId found = model_->FindTypedRow(typed_, from);
            if (found != kNoNode) Select(found);
            return 0;
        }
        return DefWindowProcW(hwnd_, msg, wp, lp);
    case WM_VSCROLL:
        OnScroll(SB_VERT, LOWORD(wp));
        return 0;
    case WM_HSCROLL:
        OnScroll(SB_HORZ, LOWORD(wp));
        return 0;
    case WM_MOUSEWHEEL:
        OnWheel(GET_WHEEL_DELTA_WPARAM(wp));
        return 0;
    default:
        return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

}  // namespace tidemark::widgets

// TreeList: a custom-drawn list of rows in a tree with columns and check boxes. It shows a
// TreeListModel the view owns and paints only the rows in sight, so a model of hundreds of
// thousands of rows costs nothing until it is looked at.
//
// Changes made to the model (by the view or by the list) repaint the list once per batch on
// their own: the model tells the list, and the list invalidates itself at most once before the
// next paint. The callbacks report the user's actions only, never changes made from code;
// OnExpanding is the exception, as a lazy tree needs it however a row comes to open.
#pragma once

#include <windows.h>

#include "app/widgets/instance_window.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/widgets/paint_support.h"
#include "app/widgets/tree_list_model.h"
#include "system/handles.h"

namespace tidemark::widgets {

class TreeList {
public:
    static constexpr wchar_t kClassName[] = L"TidemarkTreeList";
    // Layout, in pixels (tests compute click positions from these).
    static constexpr int kRowHeight = 20;
    static constexpr int kIndent = 16;      // per level, and the width of the glyph cell
    static constexpr int kLeftMargin = 2;   // before the first cell of column 0
    static constexpr int kCheckCell = 16;   // the check box's cell; the box is kCheckBox square
    static constexpr int kCheckBox = 13;
    static constexpr int kGlyphBox = 9;
    static constexpr int kTextPadding = 4;  // inside a column, left and right
    static constexpr COLORREF kSelectionColor = RGB(0xDC, 0xEB, 0xFB);

    // A child window of parent at bounds (parent's client coordinates); null on failure.
    static std::unique_ptr<TreeList> Create(HWND parent, int controlId, const RECT& bounds);
    ~TreeList();
    TreeList(const TreeList&) = delete;
    TreeList& operator=(const TreeList&) = delete;

    HWND hwnd() const { return hwnd_; }

    // The rows shown, not owned. Either may go first: a model destroyed before the list
    // leaves it empty. A model shows in one list at a time; a second list takes it over.
    void SetModel(TreeListModel* model);
    TreeListModel* Model() const { return model_; }

    // Column widths in pixels; the glyph, indent and check box live in column 0.
    void SetColumnWidths(std::vector<int> widths);
    void SetColumnWidth(int column, int width);
    const std::vector<int>& ColumnWidths() const { return widths_; }
    void SetColumnRightAligned(int column, bool rightAligned);

    // User actions.
    std::function<void(NodeId)> OnCheckChanged;      // the row whose box was clicked
    std::function<void(NodeId)> OnSelectionChanged;
    std::function<void(NodeId)> OnDoubleClick;
    std::function<void(NodeId, POINT screen)> OnRightClick;  // kNoNode below the last row
    // Before a row opens: a lazy tree adds the row's children here. A row still without
    // children afterwards loses its glyph and stays closed.
    std::function<void(NodeId)> OnExpanding;
    std::function<void(int offset)> OnHorizontalScroll;  // for a header bar above the list
    // Typing selects the next row whose first column starts with what was typed (a pause of a
    // second starts a new word).
    bool IncrementalSearch = false;

    // Opening through the list asks OnExpanding first (the model's SetExpanded does not).
    bool Expand(NodeId node);
    bool Collapse(NodeId node);
    // Selects the row, opening its ancestors and scrolling it into sight.
    void Select(NodeId node);
    void EnsureVisible(NodeId node);

    std::size_t TopRow() const;
    void ScrollToRow(std::size_t row);
    int ScrollX() const;  // pixels the columns are scrolled to the left
    int PageRows() const;  // rows that fit the client area whole (at least 1)

    enum class Part { None, Glyph, CheckBox, Cell };
    struct HitInfo {
        NodeId node = kNoNode;
        Part part = Part::None;
        int column = -1;
    };
    HitInfo HitTest(POINT client) const;
    // Client rectangles of a row and of its glyph and check box; empty when the row or the
    // part is not on screen.
    RECT RowRect(NodeId node) const;
    RECT GlyphRect(NodeId node) const;
    RECT CheckBoxRect(NodeId node) const;

private:
    TreeList() = default;
    template <typename T>
    friend LRESULT CALLBACK InstanceWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

    void ModelChanged(ModelChange change);
    void RequestPaint();
    void SyncLayout() const;  // rebuilds rows and scroll bars after a change, when needed
    std::size_t RowCount() const;
    std::size_t MaxTopRow() const;
    int MaxScrollX() const;
    int TotalWidth() const;
    int Column0Content(NodeId node) const;  // x of the glyph cell (or check box), unscrolled

    void Paint(HDC dc);  // the whole client area
    void PaintRow(HDC dc, NodeId node, int top, int width);
    void DrawGlyph(HDC dc, const RECT& box, bool expanded);
    void DrawCheckBox(HDC dc, const RECT& box, CheckState state);
    HFONT Font() const;
    HFONT BoldFont();

    void OnButtonDown(POINT pt, bool doubleClick);
    void OnRightButton(POINT pt, bool down);
    void OnKey(UINT key);
    void OnScroll(int bar, int code);
    void OnWheel(int delta);
    void ToggleExpansion(NodeId node);
    void UserSelect(NodeId node);
    void UserToggleCheck(NodeId node);
    void SetTopRow(std::size_t row);
    void SetScrollX(int x);

    HWND hwnd_ = nullptr;
    std::wstring typed_;       // the word typed so far, for the incremental search
    DWORD lastTyped_ = 0;
    TreeListModel* model_ = nullptr;
    std::vector<int> widths_;
    std::vector<bool> rightAligned_;
    HFONT font_ = nullptr;  // the parent's, not owned
    UniqueGdiObject boldFont_;
    PaintBuffer buffer_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int wheelLines_ = 3;
    int wheelRemainder_ = 0;
    bool paintRequested_ = false;

    // Scroll state is brought up to date lazily (SyncLayout), from const queries as well.
    mutable std::size_t topRow_ = 0;
    mutable int scrollX_ = 0;
    mutable bool layoutDirty_ = true;
};

}  // namespace tidemark::widgets

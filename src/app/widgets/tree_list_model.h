// TreeListModel: the rows a TreeList shows, owned by the view that fills it. Plain data, no
// window: the tree, check marks with the tri-state rule, expansion, selection and the list of
// rows currently visible (the tree flattened by expansion, rebuilt only when asked for after a
// structural change).
#pragma once

#include <windows.h>
#include <commctrl.h>  // CLR_DEFAULT

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tidemark::widgets {

// Rows are numbered from 1 in the order they were added; a number stays valid until Clear().
using NodeId = std::uint32_t;
// The invisible root: pass it as the parent of a top-level row.
inline constexpr NodeId kRoot = 0;
// "No row", as returned by queries that find nothing.
inline constexpr NodeId kNoNode = 0;
// VisibleRowOf for a row that is hidden under a collapsed ancestor.
inline constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);

enum class CheckKind : std::uint8_t {
    None,      // no check box
    TwoState,  // a box that only ever changes itself
    TriState,  // linked with its tri-state parent and children
};

enum class CheckState : std::uint8_t { None, Unchecked, Checked, Mixed };

// CLR_DEFAULT: the list's own colour.
struct RowStyle {
    COLORREF textColor = CLR_DEFAULT;
    COLORREF backColor = CLR_DEFAULT;
    bool bold = false;
    bool operator==(const RowStyle&) const = default;
};

struct RowOptions {
    CheckKind checkKind = CheckKind::None;
    CheckState check = CheckState::Unchecked;  // ignored without a check box
    RowStyle style{};
    std::uintptr_t userData = 0;
    bool expanded = false;
    // Shows the expand glyph before any child exists; the view adds the children when the
    // row is about to open (a folder tree).
    bool mayHaveChildren = false;
};

// What changed, for the one widget that shows the model.
enum class ModelChange : std::uint8_t {
    Content,    // texts, checks, styles, selection: the same rows, repainted
    Structure,  // rows added, removed, expanded or collapsed: the visible rows change
    Detached,   // the model is going away, or another observer took its place
};

class TreeListModel {
public:
    // Supplies a cell's text for rows added without one (a view that keeps its own records).
    using TextProvider = std::function<std::wstring(NodeId, int column)>;
    using Observer = std::function<void(ModelChange)>;

    TreeListModel();
    ~TreeListModel();
    TreeListModel(const TreeListModel&) = delete;
    TreeListModel& operator=(const TreeListModel&) = delete;

    // --- Rows ---------------------------------------------------------------------------------
    // Appends a row as the last child of parent (kRoot: a top-level row); kNoNode when parent
    // is not a row of this model. A tri-state row under a tri-state parent updates the parent's
    // mark at once (the tri-state rule below).
    NodeId AddRow(NodeId parent, std::vector<std::wstring> texts, const RowOptions& options = {});
    // The same for a braced list of texts, each copied once, straight into the model.
    NodeId AddRow(NodeId parent, std::initializer_list<std::wstring_view> texts,
                  const RowOptions& options = {});
    // Room for this many rows and stored texts, before a large batch.
    void Reserve(std::size_t rows, std::size_t texts = 0);
    // Removes a row with everything below it; its number is not reused until Clear().
    bool RemoveRow(NodeId node);
    void Clear();

    std::size_t RowCount() const { return liveRows_; }
    bool IsValid(NodeId node) const;
    NodeId Parent(NodeId node) const;  // kRoot for a top-level row
    NodeId FirstChild(NodeId node) const;
    NodeId NextSibling(NodeId node) const;
    std::size_t ChildCount(NodeId node) const;  // kRoot: the number of top-level rows
    std::vector<NodeId> Children(NodeId node) const;
    int Level(NodeId node) const;  // 0 for a top-level row
    // Children exist, or the row was marked as possibly having some.
    bool HasChildren(NodeId node) const;
    void SetMayHaveChildren(NodeId node, bool may);
    // Any row has ever had a child or the promise of one since the last Clear(): the list then
    // keeps a column for expand glyphs.
    bool IsTree() const { return isTree_; }

    // fn(NodeId) for every row below root (kRoot: all rows) in display order, expanded or not.
    // fn may change marks, texts and styles, but must not add or remove rows.
    template <typename Fn>
    void ForEachDescendant(NodeId root, Fn&& fn) const;
    // fn(NodeId) for every top-level row and each of its direct children, in display order.
    template <typename Fn>
    void ForEachTopAndDirectChild(Fn&& fn) const;

    // --- Texts and data -----------------------------------------------------------------------
    // The stored text; for a column the row has no stored text for, the provider's.
    std::wstring Text(NodeId node, int column) const;
    void SetText(NodeId node, int column, std::wstring text);
    void SetTextProvider(TextProvider provider);
    std::uintptr_t UserData(NodeId node) const;
    void SetUserData(NodeId node, std::uintptr_t data);
    RowStyle Style(NodeId node) const;
    void SetStyle(NodeId node, const RowStyle& style);

    // --- Check marks --------------------------------------------------------------------------
    // The tri-state rule: a tri-state row and its tri-state children are linked. Checking or
    // unchecking such a row does the same to every tri-state row below it; a tri-state row with
    // tri-state children shows checked when all of them are, unchecked when none is, mixed
    // otherwise, and that carries on upward through tri-state ancestors. Two-state rows (and
    // tri-state rows under a row that is not tri-state) change nothing but themselves.
    CheckKind GetCheckKind(NodeId node) const;
    void SetCheckKind(NodeId node, CheckKind kind);
    CheckState GetCheck(NodeId node) const;  // CheckState::None for a row without a box
    // propagate: apply the tri-state rule; without it only this row's mark changes, which is
    // for restoring saved marks exactly. Returns whether any mark changed.
    bool SetCheck(NodeId node, CheckState state, bool propagate = true);
    // What a click on the box does: checked becomes unchecked, anything else checked; the
    // tri-state rule applies. Returns the new mark.
    CheckState ToggleCheck(NodeId node);
    // The list footer's "select all": every top-level row and its direct children get the mark
    // (tri-state rows by the tri-state rule).
    void SetTopAndDirectChildrenChecks(CheckState state);

    // --- Expansion ----------------------------------------------------------------------------
    bool IsExpanded(NodeId node) const;
    // Returns whether the flag changed. A row without children may be expanded; it opens when
    // children arrive.
    bool SetExpanded(NodeId node, bool expanded);
    void SetAllExpanded(bool expanded);

    // --- Selection (one row or none) ----------------------------------------------------------
    NodeId Selected() const { return selected_; }
    bool Select(NodeId node);  // kNoNode clears; returns whether the selection changed

    // --- Visible rows -------------------------------------------------------------------------
    std::size_t VisibleRowCount() const;
    NodeId NodeAtVisibleRow(std::size_t row) const;  // kNoNode past the end
    std::size_t VisibleRowOf(NodeId node) const;      // kNoRow when hidden
    // Incremental search: the first visible row from `from` on (wrapping round; from the top when
    // from is hidden or none) whose first column equals typed without regard to case, compared
    // over the length of the shorter of the two; kNoNode when none does or typed is empty.
    NodeId FindTypedRow(const std::wstring& typed, NodeId from) const;

    // --- Batches and the widget ---------------------------------------------------------------
    // Changes between BeginUpdate and the matching EndUpdate reach the observer once, at the end.
    void BeginUpdate();
    void EndUpdate();
    // The one widget showing the model (a TreeList sets itself here). A replaced observer
    // hears Detached, as every observer does when the model is destroyed.
    void SetObserver(Observer observer);

private:
    static constexpr std::uint32_t kNil = 0;  // "no link"; slot 0 is the root
    struct Node {
        NodeId parent = kNil;
        NodeId firstChild = kNil;
        NodeId lastChild = kNil;
        NodeId next = kNil;
        NodeId prev = kNil;
        std::uint32_t childCount = 0;
        // Children that are tri-state, and how many of those are checked / unchecked.
        std::uint32_t triChildren = 0;
        std::uint32_t checkedChildren = 0;
        std::uint32_t uncheckedChildren = 0;
        std::uint32_t textBegin = 0;
        std::uint16_t textCount = 0;
        std::uint16_t level = 0;
        CheckKind kind = CheckKind::None;
        CheckState check = CheckState::None;
        bool expanded = false;
        bool mayHaveChildren = false;
        bool alive = true;
        RowStyle style;
        std::uintptr_t userData = 0;
    };

    bool IsRowOrRoot(NodeId node) const { return node == kRoot || IsValid(node); }
    template <typename Texts>
    NodeId AddRowWith(NodeId parent, Texts&& texts, const RowOptions& options);
    void Changed(ModelChange change);
    // Keeps the parent's tri-state counts right after a child's mark or kind changed, and
    // walks up the tri-state ancestors whose derived mark changes with it.
    void CountChild(NodeId child, int sign);
    void RederiveUpward(NodeId parent);
    void SetSubtree(NodeId node, CheckState state);
    void RebuildVisible() const;

    std::vector<Node> nodes_;
    std::vector<std::wstring> texts_;
    TextProvider provider_;
    Observer observer_;
    std::size_t liveRows_ = 0;
    NodeId selected_ = kNoNode;
    bool isTree_ = false;
    int updateDepth_ = 0;
    bool pendingContent_ = false;
    bool pendingStructure_ = false;

    mutable std::vector<NodeId> visible_;
    mutable std::vector<std::uint32_t> visibleIndex_;
    mutable bool visibleDirty_ = true;
};

template <typename Fn>
void TreeListModel::ForEachDescendant(NodeId root, Fn&& fn) const {
    if (!IsRowOrRoot(root)) return;
    NodeId n = nodes_[root].firstChild;
    while (n != kNil) {
        fn(n);
        if (nodes_[n].firstChild != kNil) {
            n = nodes_[n].firstChild;
            continue;
        }
        while (n != root && nodes_[n].next == kNil) n = nodes_[n].parent;
        if (n == root) break;
        n = nodes_[n].next;
    }
}

template <typename Fn>
void TreeListModel::ForEachTopAndDirectChild(Fn&& fn) const {
    for (NodeId top = nodes_[kRoot].firstChild; top != kNil; top = nodes_[top].next) {
        fn(top);
        for (NodeId child = nodes_[top].firstChild; child != kNil; child = nodes_[child].next)
            fn(child);
    }
}

}  // namespace tidemark::widgets

#include "app/widgets/tree_list_model.h"

#include <algorithm>
#include <limits>
#include <type_traits>
#include <utility>

namespace tidemark::widgets {
namespace {

constexpr std::size_t kMaxTexts = std::numeric_limits<std::uint16_t>::max();

}  // namespace

TreeListModel::TreeListModel() { Clear(); }

TreeListModel::~TreeListModel() {
    if (observer_) {
        Observer last = std::move(observer_);
        last(ModelChange::Detached);
    }
}

bool TreeListModel::IsValid(NodeId node) const {
    return node != kRoot && node < nodes_.size() && nodes_[node].alive;
}

void TreeListModel::Changed(ModelChange change) {
    if (change == ModelChange::Structure) visibleDirty_ = true;
    if (updateDepth_ > 0) {
        (change == ModelChange::Structure ? pendingStructure_ : pendingContent_) = true;
        return;
    }
    if (observer_) observer_(change);
}

void TreeListModel::BeginUpdate() { ++updateDepth_; }

void TreeListModel::EndUpdate() {
    if (updateDepth_ == 0 || --updateDepth_ > 0) return;
    const bool structure = std::exchange(pendingStructure_, false);
    const bool content = std::exchange(pendingContent_, false);
    if (observer_ && (structure || content))
        observer_(structure ? ModelChange::Structure : ModelChange::Content);
}

void TreeListModel::SetObserver(Observer observer) {
    Observer previous = std::exchange(observer_, std::move(observer));
    if (previous) previous(ModelChange::Detached);
}

// --- Rows ---------------------------------------------------------------------------------------

template <typename Texts>
NodeId TreeListModel::AddRowWith(NodeId parent, Texts&& texts, const RowOptions& options) {
    if (!IsRowOrRoot(parent) || nodes_.size() >= std::numeric_limits<NodeId>::max())
        return kNoNode;
    const NodeId id = static_cast<NodeId>(nodes_.size());
    Node node;
    node.parent = parent;
    if (parent != kRoot) {
        const std::uint16_t parentLevel = nodes_[parent].level;
        node.level = parentLevel == std::numeric_limits<std::uint16_t>::max() ? parentLevel
                                                                              : parentLevel + 1;
    }
    node.textBegin = static_cast<std::uint32_t>(texts_.size());
    node.textCount = static_cast<std::uint16_t>(std::min(texts.size(), kMaxTexts));
    auto text = texts.begin();
    for (std::size_t i = 0; i < node.textCount; ++i, ++text) {
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(*text)>, std::wstring>)
            texts_.push_back(std::move(*text));
        else
            texts_.emplace_back(*text);
    }
    node.kind = options.checkKind;
    if (node.kind != CheckKind::None)
        node.check = options.check == CheckState::None ? CheckState::Unchecked : options.check;
    node.expanded = options.expanded;
    node.mayHaveChildren = options.mayHaveChildren;
    node.style = options.style;
    node.userData = options.userData;

    node.prev = nodes_[parent].lastChild;
    nodes_.push_back(node);  // first: if it throws, the tree is as it was
    Node& p = nodes_[parent];
    if (p.lastChild != kNil) nodes_[p.lastChild].next = id;
    else p.firstChild = id;
    p.lastChild = id;
    ++p.childCount;

    ++liveRows_;
    if (parent != kRoot || options.mayHaveChildren) isTree_ = true;
    if (node.kind == CheckKind::TriState) {
        CountChild(id, +1);
        RederiveUpward(parent);
    }
    Changed(ModelChange::Structure);
    return id;
}

NodeId TreeListModel::AddRow(NodeId parent, std::vector<std::wstring> texts,
                             const RowOptions& options) {
    return AddRowWith(parent, texts, options);
}

NodeId TreeListModel::AddRow(NodeId parent, std::initializer_list<std::wstring_view> texts,
                             const RowOptions& options) {
    return AddRowWith(parent, texts, options);
}

void TreeListModel::Reserve(std::size_t rows, std::size_t texts) {
    nodes_.reserve(nodes_.size() + rows);
    texts_.reserve(texts_.size() + texts);
}

bool TreeListModel::RemoveRow(NodeId node) {
    if (!IsValid(node)) return false;
    const NodeId parent = nodes_[node].parent;
    CountChild(node, -1);
    Node& n = nodes_[node];
    Node& p = nodes_[parent];
    if (n.prev != kNil) nodes_[n.prev].next = n.next;
    else p.firstChild = n.next;
    if (n.next != kNil) nodes_[n.next].prev = n.prev;
    else p.lastChild = n.prev;
    --p.childCount;

    auto bury = [this](NodeId dead) {
        Node& d = nodes_[dead];
        d.alive = false;
        for (std::uint32_t i = 0; i < d.textCount; ++i) std::wstring().swap(texts_[d.textBegin + i]);
        --liveRows_;
        if (selected_ == dead) selected_ = kNoNode;
    };
    ForEachDescendant(node, bury);
    bury(node);
    RederiveUpward(parent);
    Changed(ModelChange::Structure);
    return true;
}

void TreeListModel::Clear() {
    nodes_.clear();
    Node root;
    root.expanded = true;
    nodes_.push_back(root);
    texts_.clear();
    liveRows_ = 0;
    selected_ = kNoNode;
    isTree_ = false;
    Changed(ModelChange::Structure);
}

NodeId TreeListModel::Parent(NodeId node) const {
    return IsValid(node) ? nodes_[node].parent : kNoNode;
}

NodeId TreeListModel::FirstChild(NodeId node) const {
    return IsRowOrRoot(node) ? nodes_[node].firstChild : kNoNode;
}

NodeId TreeListModel::NextSibling(NodeId node) const {
    return IsValid(node) ? nodes_[node].next : kNoNode;
}

std::size_t TreeListModel::ChildCount(NodeId node) const {
    return IsRowOrRoot(node) ? nodes_[node].childCount : 0;
}

std::vector<NodeId> TreeListModel::Children(NodeId node) const {
    std::vector<NodeId> children;
    if (!IsRowOrRoot(node)) return children;
    children.reserve(nodes_[node].childCount);
    for (NodeId c = nodes_[node].firstChild; c != kNil; c = nodes_[c].next) children.push_back(c);
    return children;
}

int TreeListModel::Level(NodeId node) const { return IsValid(node) ? nodes_[node].level : 0; }

bool TreeListModel::HasChildren(NodeId node) const {
    return IsRowOrRoot(node) && (nodes_[node].firstChild != kNil || nodes_[node].mayHaveChildren);
}

void TreeListModel::SetMayHaveChildren(NodeId node, bool may) {
    if (!IsValid(node) || nodes_[node].mayHaveChildren == may) return;
    nodes_[node].mayHaveChildren = may;
    if (may) isTree_ = true;
    Changed(ModelChange::Content);
}

// --- Texts and data -----------------------------------------------------------------------------

std::wstring TreeListModel::Text(NodeId node, int column) const {
    if (!IsValid(node) || column < 0) return {};
    const Node& n = nodes_[node];
    if (static_cast<unsigned>(column) < n.textCount) return texts_[n.textBegin + column];
    return provider_ ? provider_(node, column) : std::wstring();
}

void TreeListModel::SetText(NodeId node, int column, std::wstring text) {
    if (!IsValid(node) || column < 0 || static_cast<std::size_t>(column) >= kMaxTexts) return;
    Node& n = nodes_[node];
    if (static_cast<unsigned>(column) >= n.textCount) {
        const std::size_t wanted = static_cast<std::size_t>(column) + 1;
        if (n.textBegin + n.textCount != texts_.size()) {
            // Not the last block of the pool: move the row's texts to the end, where it can grow.
            const std::size_t begin = texts_.size();
            for (std::uint32_t i = 0; i < n.textCount; ++i)
                texts_.push_back(std::exchange(texts_[n.textBegin + i], std::wstring()));
            n.textBegin = static_cast<std::uint32_t>(begin);
        }
        texts_.resize(n.textBegin + wanted);
        n.textCount = static_cast<std::uint16_t>(wanted);
    }
    texts_[n.textBegin + column] = std::move(text);
    Changed(ModelChange::Content);
}

void TreeListModel::SetTextProvider(TextProvider provider) {
    provider_ = std::move(provider);
    Changed(ModelChange::Content);
}

std::uintptr_t TreeListModel::UserData(NodeId node) const {
    return IsValid(node) ? nodes_[node].userData : 0;
}

void TreeListModel::SetUserData(NodeId node, std::uintptr_t data) {
    if (IsValid(node)) nodes_[node].userData = data;
}

RowStyle TreeListModel::Style(NodeId node) const {
    return IsValid(node) ? nodes_[node].style : RowStyle{};
}

void TreeListModel::SetStyle(NodeId node, const RowStyle& style) {
    if (!IsValid(node) || nodes_[node].style == style) return;
    nodes_[node].style = style;
    Changed(ModelChange::Content);
}

// --- Check marks --------------------------------------------------------------------------------

void TreeListModel::CountChild(NodeId child, int sign) {
    const Node& c = nodes_[child];
    if (c.kind != CheckKind::TriState) return;
    Node& p = nodes_[c.parent];
    p.triChildren += sign;
    if (c.check == CheckState::Checked) p.checkedChildren += sign;
    else if (c.check == CheckState::Unchecked) p.uncheckedChildren += sign;
}

void TreeListModel::RederiveUpward(NodeId parent) {
    NodeId p = parent;
    while (p != kRoot && nodes_[p].kind == CheckKind::TriState) {
        const Node& n = nodes_[p];
        CheckState derived;
        if (n.triChildren == 0) {
            // The last linked child went: a mixed mark no longer means anything.
            if (n.check != CheckState::Mixed) return;
            derived = CheckState::Unchecked;
        } else if (n.checkedChildren == n.triChildren) {
            derived = CheckState::Checked;
        } else if (n.uncheckedChildren == n.triChildren) {
            derived = CheckState::Unchecked;
        } else {
            derived = CheckState::Mixed;
        }
        if (derived == n.check) return;
        CountChild(p, -1);
        nodes_[p].check = derived;
        CountChild(p, +1);
        p = nodes_[p].parent;
    }
}

void TreeListModel::SetSubtree(NodeId node, CheckState state) {
    std::vector<NodeId> pending{node};
    while (!pending.empty()) {
        const NodeId id = pending.back();
        pending.pop_back();
        Node& n = nodes_[id];
        n.check = state;
        n.checkedChildren = state == CheckState::Checked ? n.triChildren : 0;
        n.uncheckedChildren = state == CheckState::Unchecked ? n.triChildren : 0;
        if (n.triChildren == 0) continue;
        for (NodeId c = n.firstChild; c != kNil; c = nodes_[c].next)
            if (nodes_[c].kind == CheckKind::TriState) pending.push_back(c);
    }
}

CheckKind TreeListModel::GetCheckKind(NodeId node) const {
    return IsValid(node) ? nodes_[node].kind : CheckKind::None;
}

void TreeListModel::SetCheckKind(NodeId node, CheckKind kind) {
    if (!IsValid(node) || nodes_[node].kind == kind) return;
    CountChild(node, -1);
    Node& n = nodes_[node];
    n.kind = kind;
    if (kind == CheckKind::None) n.check = CheckState::None;
    else if (n.check == CheckState::None) n.check = CheckState::Unchecked;
    CountChild(node, +1);
    // A row that becomes tri-state takes the mark its linked children give it.
    if (kind == CheckKind::TriState) RederiveUpward(node);
    RederiveUpward(nodes_[node].parent);
    Changed(ModelChange::Content);
}

CheckState TreeListModel::GetCheck(NodeId node) const {
    return IsValid(node) ? nodes_[node].check : CheckState::None;
}

bool TreeListModel::SetCheck(NodeId node, CheckState state, bool propagate) {
    if (!IsValid(node) || nodes_[node].kind == CheckKind::None || state == CheckState::None)
        return false;
    const bool linked = propagate && nodes_[node].kind == CheckKind::TriState;
    const bool spread = linked && state != CheckState::Mixed && nodes_[node].triChildren > 0;
    bool changed = nodes_[node].check != state;
    if (spread) {
        // Any linked child that differs from the new mark: the row's counts tell without a walk.
        const Node& n = nodes_[node];
        const std::uint32_t agreeing =
            state == CheckState::Checked ? n.checkedChildren : n.uncheckedChildren;
        changed = changed || agreeing != n.triChildren;
    }
    if (!changed) return false;

    CountChild(node, -1);
    if (spread) SetSubtree(node, state);
    else nodes_[node].check = state;
    CountChild(node, +1);
    if (linked) RederiveUpward(nodes_[node].parent);
    Changed(ModelChange::Content);
    return true;
}

CheckState TreeListModel::ToggleCheck(NodeId node) {
    if (!IsValid(node) || nodes_[node].kind == CheckKind::None) return CheckState::None;
    const CheckState next =
        nodes_[node].check == CheckState::Checked ? CheckState::Unchecked : CheckState::Checked;
    SetCheck(node, next, true);
    return nodes_[node].check;
}

void TreeListModel::SetTopAndDirectChildrenChecks(CheckState state) {
    BeginUpdate();
    ForEachTopAndDirectChild([&](NodeId node) { SetCheck(node, state, true); });
    EndUpdate();
}

// --- Expansion ----------------------------------------------------------------------------------

bool TreeListModel::IsExpanded(NodeId node) const {
    return IsValid(node) && nodes_[node].expanded;
}

bool TreeListModel::SetExpanded(NodeId node, bool expanded) {
    if (!IsValid(node) || nodes_[node].expanded == expanded) return false;
    nodes_[node].expanded = expanded;
    if (!expanded && selected_ != kNoNode) {
        // The selection never stays on a row that is no longer shown: it moves to the row
        // being collapsed.
        for (NodeId a = nodes_[selected_].parent; a != kRoot; a = nodes_[a].parent) {
            if (a == node) {
                selected_ = node;
                break;
            }
        }
    }
    Changed(ModelChange::Structure);
    return true;
}

void TreeListModel::SetAllExpanded(bool expanded) {
    for (std::size_t i = 1; i < nodes_.size(); ++i)
        if (nodes_[i].alive) nodes_[i].expanded = expanded;
    if (!expanded && selected_ != kNoNode)
        while (nodes_[selected_].parent != kRoot) selected_ = nodes_[selected_].parent;
    Changed(ModelChange::Structure);
}

// --- Selection ----------------------------------------------------------------------------------

bool TreeListModel::Select(NodeId node) {
    if (node != kNoNode && !IsValid(node)) return false;
    if (node == selected_) return false;
    selected_ = node;
    Changed(ModelChange::Content);
    return true;
}

// --- Visible rows -------------------------------------------------------------------------------

void TreeListModel::RebuildVisible() const {
    visible_.clear();
    visibleIndex_.resize(nodes_.size());
    NodeId n = nodes_[kRoot].firstChild;
    while (n != kNil) {
        visibleIndex_[n] = static_cast<std::uint32_t>(visible_.size());
        visible_.push_back(n);
        const Node& node = nodes_[n];
        if (node.expanded && node.firstChild != kNil) {
            n = node.firstChild;
            continue;
        }
        while (n != kRoot && nodes_[n].next == kNil) n = nodes_[n].parent;
        if (n == kRoot) break;
        n = nodes_[n].next;
    }
    visibleDirty_ = false;
}

std::size_t TreeListModel::VisibleRowCount() const {
    if (visibleDirty_) RebuildVisible();
    return visible_.size();
}

NodeId TreeListModel::NodeAtVisibleRow(std::size_t row) const {
    if (visibleDirty_) RebuildVisible();
    return row < visible_.size() ? visible_[row] : kNoNode;
}

std::size_t TreeListModel::VisibleRowOf(NodeId node) const {
    if (!IsValid(node)) return kNoRow;
    if (visibleDirty_) RebuildVisible();
    if (node >= visibleIndex_.size()) return kNoRow;
    const std::size_t row = visibleIndex_[node];
    return row < visible_.size() && visible_[row] == node ? row : kNoRow;
}

NodeId TreeListModel::FindTypedRow(const std::wstring& typed, NodeId from) const {
    const std::size_t count = VisibleRowCount();
    if (typed.empty() || count == 0) return kNoNode;
    std::size_t start = from == kNoNode ? kNoRow : VisibleRowOf(from);
    if (start == kNoRow) start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const NodeId node = NodeAtVisibleRow((start + i) % count);
        const std::wstring name = Text(node, 0);
        const int length = static_cast<int>(std::min(name.size(), typed.size()));
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), length, typed.c_str(), length) ==
            CSTR_EQUAL)
            return node;
    }
    return kNoNode;
}

}  // namespace tidemark::widgets

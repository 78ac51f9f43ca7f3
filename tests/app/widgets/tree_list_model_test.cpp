// The tree list's model without a window: the tri-state rule, flattening, selection, texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/widgets/tree_list_model.h"

namespace tidemark::widgets {
namespace {

using CS = CheckState;

RowOptions Tri(CheckState check = CS::Unchecked) {
    RowOptions o;
    o.checkKind = CheckKind::TriState;
    o.check = check;
    o.expanded = true;
    return o;
}

RowOptions Two(CheckState check = CS::Unchecked) {
    RowOptions o = Tri(check);
    o.checkKind = CheckKind::TwoState;
    return o;
}

// One letter per row: C checked, U unchecked, M mixed, - no box.
std::string Marks(const TreeListModel& m, const std::vector<NodeId>& rows) {
    std::string s;
    for (NodeId n : rows) {
        switch (m.GetCheck(n)) {
        case CS::Checked: s += 'C'; break;
        case CS::Unchecked: s += 'U'; break;
        case CS::Mixed: s += 'M'; break;
        default: s += '-'; break;
        }
    }
    return s;
}

std::vector<NodeId> VisibleRows(const TreeListModel& m) {
    std::vector<NodeId> rows;
    for (std::size_t i = 0; i < m.VisibleRowCount(); ++i) rows.push_back(m.NodeAtVisibleRow(i));
    return rows;
}

// root R with children A and B; A has a1 a2, B has b1 b2. All tri-state, all open.
struct ThreeLevels {
    TreeListModel m;
    NodeId R, A, a1, a2, B, b1, b2;
    ThreeLevels() {
        R = m.AddRow(kRoot, {L"R"}, Tri());
        A = m.AddRow(R, {L"A"}, Tri());
        a1 = m.AddRow(A, {L"a1"}, Tri());
        a2 = m.AddRow(A, {L"a2"}, Tri());
        B = m.AddRow(R, {L"B"}, Tri());
        b1 = m.AddRow(B, {L"b1"}, Tri());
        b2 = m.AddRow(B, {L"b2"}, Tri());
    }
    std::vector<NodeId> all() const { return {R, A, a1, a2, B, b1, b2}; }
};

TEST(TreeListModelChecks, TriStateRuleInThreeLevels) {
    struct Step {
        const char* what;
        NodeId ThreeLevels::*row;
        CheckState state;  // None: toggle as a click does
        const char* expected;  // R A a1 a2 B b1 b2
    };
    const Step steps[] = {
        {"a leaf makes its parent and grandparent mixed", &ThreeLevels::a1, CS::Checked, "MMCUUUU"},
        {"the last leaf of A checks A", &ThreeLevels::a2, CS::Checked, "MCCCUUU"},
        {"checking the top checks every row", &ThreeLevels::R, CS::Checked, "CCCCCCC"},
        {"unchecking a middle row unchecks its leaves", &ThreeLevels::B, CS::Unchecked, "MCCCUUU"},
        {"a click on a mixed row checks it and all below", &ThreeLevels::R, CS::None, "CCCCCCC"},
        {"a click on a checked row unchecks it and all below", &ThreeLevels::A, CS::None, "MUUUCCC"},
        {"leaves back to unchecked leave everything unchecked", &ThreeLevels::B, CS::Unchecked, "UUUUUUU"},
    };
    ThreeLevels t;
    for (const Step& s : steps) {
        if (s.state == CS::None) t.m.ToggleCheck(t.*(s.row));
        else t.m.SetCheck(t.*(s.row), s.state);
        EXPECT_EQ(Marks(t.m, t.all()), s.expected) << s.what;
    }
}

TEST(TreeListModelChecks, AddingAndRemovingLinkedRowsRederivesParents) {
    ThreeLevels t;
    t.m.SetCheck(t.R, CS::Checked);
    const NodeId a3 = t.m.AddRow(t.A, {L"a3"}, Tri(CS::Unchecked));
    EXPECT_EQ(Marks(t.m, {t.R, t.A, a3}), "MMU") << "an unchecked newcomer under checked rows";
    EXPECT_TRUE(t.m.RemoveRow(a3));
    EXPECT_EQ(Marks(t.m, {t.R, t.A}), "CC") << "the only unchecked row went";

    t.m.SetCheck(t.b1, CS::Unchecked);
    EXPECT_TRUE(t.m.RemoveRow(t.B));
    EXPECT_EQ(Marks(t.m, {t.R}), "C") << "removing a mixed subtree";
    EXPECT_FALSE(t.m.IsValid(t.b1));
    EXPECT_EQ(t.m.RowCount(), 4u);

    // A mixed row whose linked children all go no longer has anything to be mixed about.
    TreeListModel m;
    const NodeId p = m.AddRow(kRoot, {L"p"}, Tri());
    const NodeId q = m.AddRow(p, {L"q"}, Tri());
    m.AddRow(q, {L"q1"}, Tri(CS::Checked));
    m.AddRow(q, {L"q2"}, Tri(CS::Unchecked));
    ASSERT_EQ(Marks(m, {p, q}), "MM");
    m.RemoveRow(q);
    EXPECT_EQ(m.GetCheck(p), CS::Unchecked);
}

TEST(TreeListModelChecks, TwoStateRowsChangeOnlyThemselves) {
    // A two-state top row over tri-state rows, and tri-state rows over two-state leaves.
    TreeListModel m;
    const NodeId top = m.AddRow(kRoot, {L"top"}, Two());
    const NodeId mid = m.AddRow(top, {L"mid"}, Tri());
    const NodeId leaf1 = m.AddRow(mid, {L"leaf1"}, Two());
    const NodeId leaf2 = m.AddRow(mid, {L"leaf2"}, Two());
    const NodeId plain = m.AddRow(mid, {L"plain"});  // no box at all
    const std::vector<NodeId> rows{top, mid, leaf1, leaf2, plain};

    EXPECT_EQ(m.ToggleCheck(top), CS::Checked);
    EXPECT_EQ(Marks(m, rows), "CUUU-");
    EXPECT_EQ(m.ToggleCheck(leaf1), CS::Checked);
    EXPECT_EQ(Marks(m, rows), "CUCU-") << "a two-state child is not linked to its parent";
    EXPECT_EQ(m.ToggleCheck(mid), CS::Checked);
    EXPECT_EQ(Marks(m, rows), "CCCU-") << "nor does a tri-state parent spread to it";
    EXPECT_EQ(m.ToggleCheck(plain), CS::None);
    EXPECT_FALSE(m.SetCheck(plain, CS::Checked));
    EXPECT_EQ(Marks(m, rows), "CCCU-");
}

TEST(TreeListModelChecks, SetCheckWithoutPropagationAndItsResult) {
    ThreeLevels t;
    // Restoring saved marks exactly: nothing else moves.
    EXPECT_TRUE(t.m.SetCheck(t.a1, CS::Checked, false));
    EXPECT_EQ(Marks(t.m, t.all()), "UUCUUUU");
    EXPECT_FALSE(t.m.SetCheck(t.a1, CS::Checked, false)) << "no change";
    EXPECT_FALSE(t.m.SetCheck(t.a1, CS::None)) << "None is not a mark one can set";
    // The counts stayed right: the next linked change derives from the true children.
    EXPECT_TRUE(t.m.SetCheck(t.a2, CS::Checked));
    EXPECT_EQ(Marks(t.m, t.all()), "MCCCUUU");
    // Checking a row that is already checked but has an unchecked row below still spreads.
    t.m.SetCheck(t.b1, CS::Checked, false);
    t.m.SetCheck(t.B, CS::Checked, false);
    EXPECT_TRUE(t.m.SetCheck(t.B, CS::Checked));
    EXPECT_EQ(Marks(t.m, t.all()), "CCCCCCC");
    EXPECT_FALSE(t.m.SetCheck(t.R, CS::Checked));
}

TEST(TreeListModelChecks, ChangingCheckKindRelinks) {
    ThreeLevels t;
    t.m.SetCheck(t.a1, CS::Checked);
    ASSERT_EQ(Marks(t.m, {t.R, t.A}), "MM");
    t.m.SetCheckKind(t.a2, CheckKind::TwoState);
    EXPECT_EQ(Marks(t.m, {t.R, t.A, t.a2}), "MCU") << "A now follows a1 alone";
    t.m.SetCheckKind(t.a2, CheckKind::None);
    EXPECT_EQ(t.m.GetCheck(t.a2), CS::None);
    t.m.SetCheckKind(t.a2, CheckKind::TriState);
    EXPECT_EQ(Marks(t.m, {t.R, t.A, t.a2}), "MMU");
}

TEST(TreeListModelChecks, TopAndDirectChildrenSelectAll) {
    // Two-state rows in three levels: the third level is left alone.
    TreeListModel m;
    std::vector<NodeId> firstTwo, third;
    for (int g = 0; g < 3; ++g) {
        const NodeId top = m.AddRow(kRoot, {L"g"}, Two());
        firstTwo.push_back(top);
        for (int c = 0; c < 2; ++c) {
            const NodeId child = m.AddRow(top, {L"c"}, Two());
            firstTwo.push_back(child);
            third.push_back(m.AddRow(child, {L"x"}, Two()));
        }
    }
    std::vector<NodeId> visited;
    m.ForEachTopAndDirectChild([&](NodeId n) { visited.push_back(n); });
    EXPECT_EQ(visited, firstTwo);

    m.SetTopAndDirectChildrenChecks(CS::Checked);
    EXPECT_EQ(Marks(m, firstTwo), std::string(firstTwo.size(), 'C'));
    EXPECT_EQ(Marks(m, third), std::string(third.size(), 'U'));

    // Tri-state rows keep the rule, so everything below follows.
    ThreeLevels t;
    t.m.SetTopAndDirectChildrenChecks(CS::Checked);
    EXPECT_EQ(Marks(t.m, t.all()), "CCCCCCC");
    t.m.SetTopAndDirectChildrenChecks(CS::Unchecked);
    EXPECT_EQ(Marks(t.m, t.all()), "UUUUUUU");
}

TEST(TreeListModelRows, FlatteningFollowsExpansion) {
    TreeListModel m;
    RowOptions closed;
    const NodeId a = m.AddRow(kRoot, {L"a"}, closed);
    const NodeId a1 = m.AddRow(a, {L"a1"}, closed);
    const NodeId a11 = m.AddRow(a1, {L"a11"}, closed);
    const NodeId a2 = m.AddRow(a, {L"a2"}, closed);
    const NodeId b = m.AddRow(kRoot, {L"b"}, closed);
    const NodeId b1 = m.AddRow(b, {L"b1"}, closed);

    EXPECT_EQ(VisibleRows(m), (std::vector<NodeId>{a, b}));
    m.SetExpanded(a1, true);  // under a closed row: still hidden
    EXPECT_EQ(VisibleRows(m), (std::vector<NodeId>{a, b}));
    m.SetExpanded(a, true);
    EXPECT_EQ(VisibleRows(m), (std::vector<NodeId>{a, a1, a11, a2, b}));
    m.SetExpanded(b, true);
    EXPECT_EQ(VisibleRows(m), (std::vector<NodeId>{a, a1, a11, a2, b, b1}));
    EXPECT_EQ(m.VisibleRowOf(a2), 3u);
    EXPECT_EQ(m.NodeAtVisibleRow(6), kNoNode);

    m.SetExpanded(a, false);
    EXPECT_EQ(VisibleRows(m), (std::vector<NodeId>{a, b, b1}));
    EXPECT_EQ(m.VisibleRowOf(a11), kNoRow);
    EXPECT_EQ(m.VisibleRowOf(b1), 2u);

    m.RemoveRow(a);
    EXPECT_EQ(VisibleRows(m), (std::vector<NodeId>{b, b1}));
    EXPECT_EQ(m.ChildCount(kRoot), 1u);
    const NodeId c = m.AddRow(kRoot, {L"c"});
    EXPECT_EQ(VisibleRows(m), (std::vector<NodeId>{b, b1, c}));
    EXPECT_EQ(m.Level(b1), 1);
    EXPECT_EQ(m.Children(b), std::vector<NodeId>{b1});

    m.SetAllExpanded(false);
    EXPECT_EQ(VisibleRows(m), (std::vector<NodeId>{b, c}));
    m.Clear();
    EXPECT_EQ(m.VisibleRowCount(), 0u);
    EXPECT_EQ(m.RowCount(), 0u);
    EXPECT_FALSE(m.IsTree());
}

TEST(TreeListModelRows, SelectionNeverStaysOnAHiddenOrRemovedRow) {
    ThreeLevels t;
    ASSERT_TRUE(t.m.Select(t.a2));
    EXPECT_FALSE(t.m.Select(t.a2));
    t.m.SetExpanded(t.R, false);
    EXPECT_EQ(t.m.Selected(), t.R) << "collapsing an ancestor moves the selection to it";

    t.m.SetExpanded(t.R, true);
    t.m.Select(t.b1);
    t.m.SetExpanded(t.A, false);
    EXPECT_EQ(t.m.Selected(), t.b1) << "collapsing elsewhere leaves it";
    t.m.RemoveRow(t.B);
    EXPECT_EQ(t.m.Selected(), kNoNode);
    EXPECT_FALSE(t.m.Select(t.b1)) << "a removed row cannot be selected";
    t.m.Select(t.a1);
    t.m.SetAllExpanded(false);
    EXPECT_EQ(t.m.Selected(), t.R);
}

TEST(TreeListModelRows, TextsStoredAndProvided) {
    TreeListModel m;
    const NodeId one = m.AddRow(kRoot, {L"one", L"1"});
    const NodeId two = m.AddRow(kRoot, {L"two"});
    const NodeId bare = m.AddRow(kRoot, {});
    EXPECT_EQ(m.Text(one, 1), L"1");
    EXPECT_EQ(m.Text(two, 1), L"");

    // Growing a row that is not the last one must not disturb its neighbours.
    m.SetText(one, 3, L"far");
    EXPECT_EQ(m.Text(one, 0), L"one");
    EXPECT_EQ(m.Text(one, 1), L"1");
    EXPECT_EQ(m.Text(one, 3), L"far");
    EXPECT_EQ(m.Text(two, 0), L"two");
    m.SetText(bare, 1, L"b1");
    EXPECT_EQ(m.Text(bare, 1), L"b1");
    EXPECT_EQ(m.Text(one, 3), L"far");

    m.SetTextProvider([](NodeId n, int col) { return L"p" + std::to_wstring(n) + L":" + std::to_wstring(col); });
    EXPECT_EQ(m.Text(two, 0), L"two") << "a stored text wins";
    EXPECT_EQ(m.Text(two, 2), L"p2:2");
    EXPECT_EQ(m.Text(bare, 0), L"") << "a stored empty text is still stored";
    EXPECT_EQ(m.Text(bare, 5), L"p3:5");
    EXPECT_EQ(m.Text(two, -1), L"");
}

TEST(TreeListModelRows, InvalidRowsAreRefusedQuietly) {
    TreeListModel m;
    const NodeId a = m.AddRow(kRoot, {L"a"}, Tri());
    m.RemoveRow(a);
    EXPECT_EQ(m.AddRow(NodeId{999}, {L"x"}), kNoNode);
    for (NodeId bad : {a, NodeId{12345}, kNoNode}) {
        SCOPED_TRACE(bad);
        if (bad != kNoNode) {
            EXPECT_EQ(m.AddRow(bad, {L"x"}), kNoNode);
        }
        EXPECT_EQ(m.Text(bad, 0), L"");
        EXPECT_EQ(m.GetCheck(bad), CS::None);
        EXPECT_FALSE(m.SetCheck(bad, CS::Checked));
        EXPECT_EQ(m.ToggleCheck(bad), CS::None);
        EXPECT_FALSE(m.SetExpanded(bad, true));
        EXPECT_FALSE(m.RemoveRow(bad));
        EXPECT_EQ(m.VisibleRowOf(bad), kNoRow);
        m.SetText(bad, 0, L"x");
        m.SetStyle(bad, RowStyle{RGB(1, 2, 3)});
    }
    EXPECT_EQ(m.RowCount(), 0u);
}

TEST(TreeListModelRows, TypedTextFindsTheNextVisibleRowOverTheShorterLength) {
    TreeListModel m;
    const NodeId data = m.AddRow(kRoot, {L"Data(D:)"}, Tri());
    const NodeId docs = m.AddRow(data, {L"Documents"}, Tri());
    const NodeId c = m.AddRow(kRoot, {L"C:\\"}, Tri());
    const NodeId hidden = m.AddRow(c, {L"drivers"});  // under a closed row
    m.SetExpanded(c, false);
    (void)hidden;
    const struct {
        const wchar_t* typed;
        NodeId from;
        NodeId found;
    } cases[] = {
        {L"d", kNoNode, data},           // from the top
        {L"D", data, data},              // the row it starts at counts
        {L"do", data, docs},             // any case
        {L"c:\\windows", kNoNode, c},  // over the shorter length: "C:\\" is a prefix of it
        {L"dr", kNoNode, kNoNode},       // only visible rows
        {L"d", c, data},                 // wrapping round
        {L"", kNoNode, kNoNode},
        {L"x", kNoNode, kNoNode},
    };
    for (const auto& k : cases) EXPECT_EQ(m.FindTypedRow(k.typed, k.from), k.found) << k.typed;
}

TEST(TreeListModelObserver, BatchesAndDetach) {
    std::vector<ModelChange> heard;
    auto model = std::make_unique<TreeListModel>();
    model->SetObserver([&](ModelChange c) { heard.push_back(c); });

    const NodeId a = model->AddRow(kRoot, {L"a"}, Tri());
    model->SetCheck(a, CS::Checked);
    EXPECT_EQ(heard, (std::vector<ModelChange>{ModelChange::Structure, ModelChange::Content}));

    heard.clear();
    model->BeginUpdate();
    model->BeginUpdate();
    for (int i = 0; i < 100; ++i) model->AddRow(a, {L"x"}, Tri());
    model->EndUpdate();
    EXPECT_TRUE(heard.empty()) << "nested batch still open";
    model->EndUpdate();
    EXPECT_EQ(heard, std::vector<ModelChange>{ModelChange::Structure});

    heard.clear();
    ASSERT_EQ(model->GetCheck(a), CS::Unchecked) << "follows its new unchecked rows";
    model->BeginUpdate();
    model->SetCheck(a, CS::Checked);
    model->EndUpdate();
    model->BeginUpdate();
    model->EndUpdate();  // nothing changed: nothing heard
    EXPECT_EQ(heard, std::vector<ModelChange>{ModelChange::Content});

    // A second observer takes over; the first hears that it lost the model.
    std::vector<ModelChange> second;
    heard.clear();
    model->SetObserver([&](ModelChange c) { second.push_back(c); });
    EXPECT_EQ(heard, std::vector<ModelChange>{ModelChange::Detached});
    model.reset();
    EXPECT_EQ(second, std::vector<ModelChange>{ModelChange::Detached});
}

TEST(TreeListModelLarge, ThreeHundredThousandRowsInThreeThousandGroups) {
    constexpr int kGroups = 3000;
    constexpr int kPerGroup = 100;
    TreeListModel m;
    m.Reserve(kGroups * (kPerGroup + 1), kGroups * (kPerGroup * 3 + 1));
    std::vector<NodeId> groups;
    m.BeginUpdate();
    for (int g = 0; g < kGroups; ++g) {
        const NodeId group = m.AddRow(kRoot, {L"rule " + std::to_wstring(g)}, Tri(CS::Checked));
        groups.push_back(group);
        for (int f = 0; f < kPerGroup; ++f)
            m.AddRow(group, {L"file.tmp", L"12 KB", L"C:\\Windows\\Temp\\dir\\file.tmp"},
                     Tri(CS::Checked));
    }
    m.EndUpdate();
    ASSERT_EQ(m.RowCount(), static_cast<std::size_t>(kGroups * (kPerGroup + 1)));
    EXPECT_EQ(m.VisibleRowCount(), m.RowCount());
    EXPECT_EQ(m.NodeAtVisibleRow(m.VisibleRowCount() - 1), NodeId(kGroups * (kPerGroup + 1)));
    EXPECT_EQ(m.VisibleRowOf(groups.back()), m.RowCount() - kPerGroup - 1);

    auto count = [&](CheckState s) {
        std::size_t n = 0;
        m.ForEachDescendant(kRoot, [&](NodeId id) { n += m.GetCheck(id) == s; });
        return n;
    };
    EXPECT_EQ(count(CS::Checked), m.RowCount());

    // One file unticked in every tenth group, then half the groups closed.
    for (int g = 0; g < kGroups; g += 10) m.ToggleCheck(m.FirstChild(groups[g]));
    EXPECT_EQ(count(CS::Mixed), static_cast<std::size_t>(kGroups / 10));
    EXPECT_EQ(count(CS::Unchecked), static_cast<std::size_t>(kGroups / 10));
    for (int g = 0; g < kGroups; g += 2) m.SetExpanded(groups[g], false);
    EXPECT_EQ(m.VisibleRowCount(), static_cast<std::size_t>(kGroups + kGroups / 2 * kPerGroup));

    m.SetTopAndDirectChildrenChecks(CS::Unchecked);
    EXPECT_EQ(count(CS::Unchecked), m.RowCount());
    m.ForEachTopAndDirectChild([&](NodeId n) { m.SetCheck(n, CS::Checked, false); });
    EXPECT_EQ(count(CS::Checked), m.RowCount());
}

}  // namespace
}  // namespace tidemark::widgets

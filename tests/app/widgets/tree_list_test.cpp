// The tree list as a window: clicks, keys, scrolling and what it paints.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/widgets/tree_list.h"
#include "widget_test_host.h"

namespace tidemark::widgets {
namespace {

using test::Centre;
using test::ClientPoint;
using CS = CheckState;

constexpr int kListWidth = 420;
constexpr int kListHeight = 230;

bool Empty(const RECT& r) { return IsRectEmpty(&r) != FALSE; }

RowOptions Tri(bool expanded = true) {
    RowOptions o;
    o.checkKind = CheckKind::TriState;
    o.expanded = expanded;
    return o;
}

class TreeListWindow : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_NE(host_.hwnd(), nullptr) << "no window: is DISPLAY set?";
        list_ = TreeList::Create(host_.hwnd(), 100, RECT{0, 0, kListWidth, kListHeight});
        ASSERT_TRUE(list_);
        list_->SetModel(&model_);
        list_->SetColumnWidths({220, 60, 100});
        list_->OnCheckChanged = [this](NodeId n) { checkCalls_.push_back(n); };
        list_->OnSelectionChanged = [this](NodeId n) { selectionCalls_.push_back(n); };
        list_->OnDoubleClick = [this](NodeId n) { doubleClickCalls_.push_back(n); };
        list_->OnExpanding = [this](NodeId n) { expandingCalls_.push_back(n); };
    }

    // R > A > a1, a2 and R > B > b1: all tri-state and open.
    void BuildThreeLevels() {
        R = model_.AddRow(kRoot, {L"R"}, Tri());
        A = model_.AddRow(R, {L"A"}, Tri());
        a1 = model_.AddRow(A, {L"a1"}, Tri());
        a2 = model_.AddRow(A, {L"a2"}, Tri());
        B = model_.AddRow(R, {L"B"}, Tri());
        b1 = model_.AddRow(B, {L"b1"}, Tri());
    }

    void Click(POINT pt) {
        SendMessageW(list_->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(pt));
        SendMessageW(list_->hwnd(), WM_LBUTTONUP, 0, ClientPoint(pt));
    }
    void DoubleClick(POINT pt) {
        Click(pt);
        SendMessageW(list_->hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, ClientPoint(pt));
        SendMessageW(list_->hwnd(), WM_LBUTTONUP, 0, ClientPoint(pt));
    }
    void Key(UINT vk) { SendMessageW(list_->hwnd(), WM_KEYDOWN, vk, 0); }

    // The centre of a row's text, worked out from the layout rather than asked of the list.
    static POINT TextPoint(int visibleRow) { return POINT{150, visibleRow * TreeList::kRowHeight + 10}; }

    test::HostWindow host_;
    TreeListModel model_;  // declared before the list: it outlives it
    std::unique_ptr<TreeList> list_;
    std::vector<NodeId> checkCalls_, selectionCalls_, doubleClickCalls_, expandingCalls_;
    NodeId R{}, A{}, a1{}, a2{}, B{}, b1{};
};

TEST_F(TreeListWindow, ClickOnCheckBoxTogglesTheRowWithTheTriStateRule) {
    BuildThreeLevels();
    // A is on visible row 1, level 1: margin, one indent, the glyph cell, then its box.
    const POINT box{TreeList::kLeftMargin + TreeList::kIndent + TreeList::kIndent + 1 +
                        TreeList::kCheckBox / 2,
                    1 * TreeList::kRowHeight + TreeList::kRowHeight / 2};
    const RECT reported = list_->CheckBoxRect(A);
    EXPECT_TRUE(PtInRect(&reported, box)) << "the list draws the box where the layout says";
    EXPECT_EQ(list_->HitTest(box).part, TreeList::Part::CheckBox);

    Click(box);
    EXPECT_EQ(checkCalls_, std::vector<NodeId>{A});
    EXPECT_EQ(model_.GetCheck(A), CS::Checked);
    EXPECT_EQ(model_.GetCheck(a2), CS::Checked);
    EXPECT_EQ(model_.GetCheck(R), CS::Mixed);
    EXPECT_TRUE(selectionCalls_.empty()) << "a box click does not select";
    EXPECT_EQ(model_.Selected(), kNoNode);

    // A quick second click arrives as a double-click: it toggles back, and nothing opens.
    SendMessageW(list_->hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, ClientPoint(box));
    EXPECT_EQ(checkCalls_, (std::vector<NodeId>{A, A}));
    EXPECT_EQ(model_.GetCheck(R), CS::Unchecked);
    EXPECT_TRUE(model_.IsExpanded(A));
    EXPECT_TRUE(doubleClickCalls_.empty());

    // Rows without a box: the same spot is plain row.
    const NodeId plain = model_.AddRow(kRoot, {L"plain"});
    const POINT plainBox{box.x - TreeList::kIndent,
                         static_cast<int>(model_.VisibleRowOf(plain)) * TreeList::kRowHeight + 10};
    Click(plainBox);
    EXPECT_EQ(checkCalls_.size(), 2u);
    EXPECT_EQ(model_.Selected(), plain);
}

TEST_F(TreeListWindow, ClickOnGlyphOpensAndClosesAndAsksBeforeOpening) {
    BuildThreeLevels();
    const POINT glyph{TreeList::kLeftMargin + TreeList::kIndent + TreeList::kIndent / 2,
                      1 * TreeList::kRowHeight + TreeList::kRowHeight / 2};
    const RECT reported = list_->GlyphRect(A);
    EXPECT_TRUE(PtInRect(&reported, glyph));

    Click(glyph);
    EXPECT_FALSE(model_.IsExpanded(A));
    EXPECT_EQ(model_.VisibleRowCount(), 4u);  // R A B b1
    EXPECT_TRUE(expandingCalls_.empty()) << "closing asks nothing";
    EXPECT_TRUE(checkCalls_.empty());
    EXPECT_TRUE(selectionCalls_.empty());

    Click(glyph);
    EXPECT_TRUE(model_.IsExpanded(A));
    EXPECT_EQ(model_.VisibleRowCount(), 6u);
    EXPECT_EQ(expandingCalls_, std::vector<NodeId>{A});

    // Leaves have no glyph: the same column on a leaf row selects it.
    const POINT leafGlyphSpot{TreeList::kLeftMargin + 2 * TreeList::kIndent + TreeList::kIndent / 2,
                              2 * TreeList::kRowHeight + 10};
    EXPECT_TRUE(Empty(list_->GlyphRect(a1)));
    Click(leafGlyphSpot);
    EXPECT_EQ(model_.Selected(), a1);
    EXPECT_EQ(expandingCalls_.size(), 1u);
}

TEST_F(TreeListWindow, TextClicksSelectAndDoubleClicksOpen) {
    BuildThreeLevels();
    Click(TextPoint(2));
    EXPECT_EQ(selectionCalls_, std::vector<NodeId>{a1});
    Click(TextPoint(2));
    EXPECT_EQ(selectionCalls_.size(), 1u) << "no news when nothing changed";

    DoubleClick(TextPoint(1));  // A
    EXPECT_FALSE(model_.IsExpanded(A));
    EXPECT_EQ(doubleClickCalls_, std::vector<NodeId>{A});
    EXPECT_EQ(model_.Selected(), A);
    DoubleClick(TextPoint(1));
    EXPECT_TRUE(model_.IsExpanded(A));
    EXPECT_EQ(expandingCalls_, std::vector<NodeId>{A});

    // Below the last row: nothing happens.
    Click(POINT{150, kListHeight - 25});
    EXPECT_EQ(model_.Selected(), A);

    // Right click: selects, then reports the row with a screen position.
    NodeId rightNode = kNoNode;
    POINT rightAt{};
    list_->OnRightClick = [&](NodeId n, POINT p) { rightNode = n, rightAt = p; };
    const POINT at = TextPoint(5);
    SendMessageW(list_->hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, ClientPoint(at));
    SendMessageW(list_->hwnd(), WM_RBUTTONUP, 0, ClientPoint(at));
    EXPECT_EQ(rightNode, b1);
    EXPECT_EQ(model_.Selected(), b1);
    POINT expected = at;
    ClientToScreen(list_->hwnd(), &expected);
    EXPECT_EQ(rightAt.x, expected.x);
    EXPECT_EQ(rightAt.y, expected.y);
}

TEST_F(TreeListWindow, LazyChildrenArriveWhenARowOpens) {
    RowOptions lazy;
    lazy.mayHaveChildren = true;
    const NodeId full = model_.AddRow(kRoot, {L"C:\\"}, lazy);
    const NodeId empty = model_.AddRow(kRoot, {L"D:\\"}, lazy);
    list_->OnExpanding = [&](NodeId n) {
        expandingCalls_.push_back(n);
        if (n != empty) {
            model_.AddRow(n, {L"Windows"}, lazy);
            model_.AddRow(n, {L"Users"}, lazy);
        }
    };
    ASSERT_FALSE(Empty(list_->GlyphRect(full)));

    Click(Centre(list_->GlyphRect(full)));
    EXPECT_TRUE(model_.IsExpanded(full));
    EXPECT_EQ(model_.VisibleRowCount(), 4u);

    Click(Centre(list_->GlyphRect(empty)));
    EXPECT_FALSE(model_.IsExpanded(empty)) << "nothing to show";
    EXPECT_FALSE(model_.HasChildren(empty));
    EXPECT_TRUE(Empty(list_->GlyphRect(empty))) << "the glyph goes";
    EXPECT_EQ(expandingCalls_, (std::vector<NodeId>{full, empty}));

    // Opened from code, the row is still asked for.
    const NodeId windows = model_.FirstChild(full);
    EXPECT_TRUE(list_->Expand(windows));
    EXPECT_EQ(expandingCalls_.back(), windows);
    EXPECT_FALSE(list_->Expand(empty));
}

TEST_F(TreeListWindow, Keyboard) {
    BuildThreeLevels();
    struct Step {
        UINT key;
        NodeId TreeListWindow::*selected;
        const char* what;
    };
    const Step steps[] = {
        {VK_DOWN, &TreeListWindow::R, "first key with nothing selected: the first row"},
        {VK_DOWN, &TreeListWindow::A, "down"},
        {VK_LEFT, &TreeListWindow::A, "left on an open row closes it"},
        {VK_DOWN, &TreeListWindow::B, "down skips the closed rows"},
        {VK_UP, &TreeListWindow::A, "up"},
        {VK_RIGHT, &TreeListWindow::A, "right on a closed row opens it"},
        {VK_RIGHT, &TreeListWindow::a1, "right on an open row goes to its first child"},
        {VK_LEFT, &TreeListWindow::A, "left on a leaf goes to the parent"},
        {VK_END, &TreeListWindow::b1, "end"},
        {VK_HOME, &TreeListWindow::R, "home"},
        {VK_NEXT, &TreeListWindow::b1, "page down stops at the last row"},
    };
    for (const Step& s : steps) {
        Key(s.key);
        EXPECT_EQ(model_.Selected(), this->*(s.selected)) << s.what;
    }
    Key(VK_SPACE);
    EXPECT_EQ(checkCalls_, std::vector<NodeId>{b1});
    EXPECT_EQ(model_.GetCheck(B), CS::Checked);
    EXPECT_EQ(model_.GetCheck(R), CS::Mixed);
}

TEST_F(TreeListWindow, ScrollingToTheEndShowsTheLastRow) {
    std::vector<NodeId> rows;
    for (int i = 0; i < 1000; ++i) rows.push_back(model_.AddRow(kRoot, {L"row " + std::to_wstring(i)}));
    const NodeId last = rows.back();
    EXPECT_TRUE(Empty(list_->RowRect(last)));

    SendMessageW(list_->hwnd(), WM_VSCROLL, SB_BOTTOM, 0);
    RECT client{};
    GetClientRect(list_->hwnd(), &client);
    const RECT lastRect = list_->RowRect(last);
    ASSERT_FALSE(IsRectEmpty(&lastRect));
    EXPECT_LE(lastRect.bottom, client.bottom) << "whole, not cut by the bottom edge";
    EXPECT_GT(lastRect.bottom + TreeList::kRowHeight, client.bottom) << "and at the bottom";
    EXPECT_EQ(list_->HitTest(Centre(lastRect)).node, last);
    EXPECT_EQ(list_->TopRow(), 1000u - list_->PageRows());
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS | SIF_RANGE | SIF_PAGE;
    ASSERT_TRUE(GetScrollInfo(list_->hwnd(), SB_VERT, &si));
    EXPECT_EQ(si.nPos, static_cast<int>(list_->TopRow()));
    EXPECT_EQ(si.nMax, 999);

    // Rows added later are found by End; the wheel goes back three rows a notch.
    const NodeId later = model_.AddRow(kRoot, {L"later"});
    SendMessageW(list_->hwnd(), WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(model_.Selected(), later);
    EXPECT_FALSE(Empty(list_->RowRect(later)));
    const std::size_t top = list_->TopRow();
    SendMessageW(list_->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_EQ(list_->TopRow(), top - 3);

    // A model emptied and refilled from code pulls the view back into range.
    model_.Clear();
    model_.AddRow(kRoot, {L"alone"});
    EXPECT_EQ(list_->TopRow(), 0u);
}

TEST_F(TreeListWindow, WideColumnsScrollSideways) {
    BuildThreeLevels();
    list_->SetColumnWidths({300, 300, 300});
    int reported = -1;
    list_->OnHorizontalScroll = [&](int x) { reported = x; };
    SendMessageW(list_->hwnd(), WM_HSCROLL, SB_RIGHT, 0);
    RECT client{};
    GetClientRect(list_->hwnd(), &client);
    EXPECT_EQ(list_->ScrollX(), 900 - client.right);
    EXPECT_EQ(reported, list_->ScrollX());
    EXPECT_EQ(list_->HitTest(POINT{client.right - 1, 5}).column, 2);

    SendMessageW(list_->hwnd(), WM_HSCROLL, SB_LEFT, 0);
    const RECT box = list_->CheckBoxRect(A);
    ASSERT_FALSE(IsRectEmpty(&box));
    Click(Centre(box));
    EXPECT_EQ(model_.GetCheck(A), CS::Checked);
}

TEST_F(TreeListWindow, TypingSelectsTheRowItsTextStartsWithWhenAsked) {
    BuildThreeLevels();
    const auto type = [&](const wchar_t* text) {
        for (const wchar_t* c = text; *c; ++c) SendMessageW(list_->hwnd(), WM_CHAR, *c, 0);
    };
    type(L"a");
    EXPECT_EQ(model_.Selected(), kNoNode) << "only lists that ask for it";
    list_->IncrementalSearch = true;
    type(L"a");
    EXPECT_EQ(model_.Selected(), A);
    type(L"1");  // the same word "a1": "A" equals it over the shorter length, so A stays
    EXPECT_EQ(model_.Selected(), A);
    Sleep(1100);  // a pause starts a new word, looked for after the selected row
    type(L"a");
    EXPECT_EQ(model_.Selected(), a1);
}

TEST_F(TreeListWindow, PaintsStylesSelectionAndMarks) {
    BuildThreeLevels();
    const std::wstring longText(200, L'W');
    model_.SetText(b1, 0, longText);
    model_.SetText(b1, 1, L" ");  // a neighbour cell with text: the long text keeps to its column
    const NodeId heading = model_.AddRow(kRoot, {longText});  // the first column only: it spans
    RowStyle red;
    red.textColor = RGB(0xD0, 0x00, 0x00);
    model_.SetStyle(a1, red);
    RowStyle shaded;
    shaded.backColor = RGB(0xF0, 0xE0, 0xA0);
    model_.SetStyle(a2, shaded);
    const NodeId same = model_.AddRow(kRoot, {L"Bold text"});
    const NodeId bold = model_.AddRow(kRoot, {L"Bold text"});
    model_.SetStyle(bold, RowStyle{CLR_DEFAULT, CLR_DEFAULT, true});
    model_.SetCheck(a1, CS::Checked);  // A mixed, a1 checked, a2 unchecked
    list_->Select(B);

    const test::Pixels px = test::PrintClient(list_->hwnd());
    ASSERT_GT(px.width, 0);
    auto rowBand = [&](NodeId n, int left, int right) {
        RECT r = list_->RowRect(n);
        r.left = left;
        r.right = right;
        return r;
    };
    const int col0 = list_->ColumnWidths()[0];
    const auto rowPixel = [&](NodeId n) { return px.At(px.width - 3, list_->RowRect(n).top + 1); };

    EXPECT_EQ(rowPixel(B), TreeList::kSelectionColor);
    EXPECT_EQ(rowPixel(a2), shaded.backColor);
    EXPECT_EQ(rowPixel(R), RGB(0xFF, 0xFF, 0xFF));
    model_.Select(a2);  // selection wins over a row's own background
    EXPECT_EQ(test::PrintClient(list_->hwnd()).At(px.width - 3, list_->RowRect(a2).top + 1),
              TreeList::kSelectionColor);

    const auto reddish = [](COLORREF c) { return GetRValue(c) > 0x90 && GetGValue(c) < 0x70 && GetBValue(c) < 0x70; };
    EXPECT_GT(px.Count(rowBand(a1, 0, col0), reddish), 5) << "the row's text colour";
    EXPECT_EQ(px.Count(rowBand(a2, 0, col0), reddish), 0);

    const auto dark = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 0x80; };
    EXPECT_GT(px.Count(rowBand(bold, 0, col0), dark), px.Count(rowBand(same, 0, col0), dark))
        << "bold text is heavier";

    // The long text stops inside its column, with room for its padding.
    EXPECT_GT(px.Count(rowBand(b1, col0 - 30, col0 - TreeList::kTextPadding), dark), 0);
    EXPECT_EQ(px.Count(rowBand(b1, col0 - TreeList::kTextPadding, col0 + 40), dark), 0);
    EXPECT_GT(px.Count(rowBand(heading, col0, col0 + 40), dark), 0);

    // Inside the boxes: the tick (7 columns of 3), the mixed square (7 x 7), nothing.
    const auto marked = [](COLORREF c) { return c != RGB(0xFF, 0xFF, 0xFF); };
    auto inside = [&](NodeId n) {
        RECT r = list_->CheckBoxRect(n);
        InflateRect(&r, -1, -1);
        return px.Count(r, marked);
    };
    EXPECT_EQ(inside(a1), 21);
    EXPECT_EQ(inside(A), 49);
    EXPECT_EQ(inside(b1), 0);
}

TEST(TreeListLifetime, ModelAndListMayGoInEitherOrder) {
    test::HostWindow host;
    ASSERT_NE(host.hwnd(), nullptr);
    auto list = TreeList::Create(host.hwnd(), 1, RECT{0, 0, 200, 100});
    ASSERT_TRUE(list);
    list->SetColumnWidths({180});
    {
        TreeListModel model;
        model.AddRow(kRoot, {L"x"});
        list->SetModel(&model);
        EXPECT_EQ(list->HitTest(POINT{10, 5}).node, NodeId{1});
    }
    EXPECT_EQ(list->Model(), nullptr);
    EXPECT_EQ(list->HitTest(POINT{10, 5}).node, kNoNode);
    test::PrintClient(list->hwnd());  // paints an empty list

    TreeListModel second;
    second.AddRow(kRoot, {L"y"});
    list->SetModel(&second);
    auto other = TreeList::Create(host.hwnd(), 2, RECT{0, 100, 200, 200});
    other->SetModel(&second);  // the first list lets go
    EXPECT_EQ(list->Model(), nullptr);
    list.reset();
    second.AddRow(kRoot, {L"z"});
    EXPECT_EQ(other->Model(), &second);
}

}  // namespace
}  // namespace tidemark::widgets

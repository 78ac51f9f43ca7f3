// The main window's layout, as a form definition would hold it: one row per control with its
// name, kind, parent, rectangle (client coordinates of the 800 x 630 window), text and anchors.
#pragma once

#include <string_view>
#include <vector>

#include "app/widgets/picture_button.h"

namespace tidemark {

enum class ControlKind {
    Panel,      // a plain container (a page of the page set, a region, an off-screen panel)
    Label,
    LinkLabel,
    Button,     // a picture button; `look` says how its drawn faces look
    TreeList,
    HeaderBar,
    Edit,
    ComboBox,
    CheckBox,
    Picture,    // a stretched still picture
    Animation,  // an animated GIF
    Icon,       // the program's icon
};

// How a control follows its parent when the parent grows (maximised window).
enum Anchor : unsigned {
    AnchorNone = 0,
    AnchorRight = 1,        // keeps its distance to the right edge
    AnchorBottom = 2,       // keeps its distance to the bottom edge
    StretchWidth = 4,       // grows with the parent's width
    StretchHeight = 8,      // grows with the parent's height
    CenterHorizontal = 16,  // stays centred across the parent
};

struct LayoutEntry {
    const wchar_t* name;
    ControlKind kind;
    const wchar_t* parent;  // nullptr: the main window itself
    int x, y, width, height;
    const wchar_t* text;    // fixed text, when textId is 0
    int textId;             // text of the language tables, or 0
    widgets::ButtonLook look;
    unsigned anchors;
    bool visible;
    COLORREF textColor;     // labels; 0xFFFFFFFF = the normal text colour
};

// Design size of the client area the rectangles are given in.
constexpr int kDesignClientWidth = 798;
constexpr int kDesignClientHeight = 628;
// The top tabs stand on the bottom edge of the title area: the header strip starts where they end.
constexpr int kTopTabTop = 35;
constexpr int kTopTabHeight = 70;
constexpr int kHeaderStripTop = kTopTabTop + kTopTabHeight;
constexpr int kPageTop = 152;
constexpr int kFooterTop = 563;
constexpr int kBottomBarTop = 604;

const std::vector<LayoutEntry>& MainLayout();
const LayoutEntry* FindLayoutEntry(std::wstring_view name);  // null: no such row

// The controls made when first needed rather than at start: what every page holds except the
// first view's two pages, and the off-screen panels with their contents. Each deferred control
// belongs to a group, named by its page or off-screen panel, that is made whole, in table order.
// Null: the control is made at start.
const wchar_t* DeferredGroupOf(const LayoutEntry& entry);

// Names of the footer positions the action sets place buttons at.
struct ButtonSlot {
    int x, y;
};
constexpr ButtonSlot kRescanSlot{kDesignClientWidth - 200, kFooterTop + 8};  // "重新扫描"
constexpr ButtonSlot kCleanNowSlot{kDesignClientWidth - 106, kFooterTop + 8};  // "立即清理"

}  // namespace tidemark

// The header bar: dragging section edges, sections, and its background.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/widgets/gdiplus_session.h"
#include "app/widgets/header_bar.h"
#include "common/test_support.h"
#include "widget_test_host.h"

namespace tidemark::widgets {
namespace {

using test::ClientPoint;

constexpr int kBarWidth = 400;
constexpr int kBarHeight = 24;

// 4 x 2 pixels: a red row over a blue row.
constexpr unsigned char kRedOverBluePng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0xF0,
    0xCA, 0xEA, 0x34, 0x00, 0x00, 0x00, 0x11, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0xF8,
    0xCF, 0xC0, 0x00, 0x47, 0x0C, 0x48, 0xEC, 0xFF, 0x00, 0x67, 0xB2, 0x07, 0xF9, 0x5B, 0xD7,
    0x7C, 0x91, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

class HeaderBarWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gdiplus_.ok());
        ASSERT_NE(host_.hwnd(), nullptr) << "no window: is DISPLAY set?";
        bar_ = HeaderBar::Create(host_.hwnd(), 200, RECT{0, 0, kBarWidth, kBarHeight});
        ASSERT_TRUE(bar_);
        bar_->OnSectionResized = [this](int index, int width) { resized_.emplace_back(index, width); };
    }

    void Mouse(UINT msg, int x) {
        SendMessageW(bar_->hwnd(), msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                     ClientPoint(POINT{x, kBarHeight / 2}));
    }

    GdiplusSession gdiplus_;
    test::HostWindow host_;
    std::unique_ptr<HeaderBar> bar_;
    std::vector<std::pair<int, int>> resized_;
};

TEST_F(HeaderBarWindow, DraggingAnEdgeResizesItsSection) {
    struct Case {
        const char* what;
        std::vector<int> widths;
        int down, move, up;
        std::vector<std::pair<int, int>> calls;
        std::vector<int> after;
    };
    const Case cases[] = {
        {"on the edge", {100, 80, 60}, 100, 130, 140, {{0, 130}, {0, 140}}, {140, 80, 60}},
        {"grabbed beside the edge, the offset is kept", {100, 80, 60}, 98, 128, 128, {{0, 130}}, {130, 80, 60}},
        {"the last edge", {100, 80, 60}, 240, 300, 300, {{2, 120}}, {100, 80, 120}},
        {"never below nothing", {100, 80, 60}, 180, 20, 20, {{1, 0}}, {100, 0, 60}},
        {"a closed section is pulled open again", {100, 0, 60}, 100, 150, 150, {{1, 50}}, {100, 50, 60}},
        {"away from every edge nothing moves", {100, 80, 60}, 50, 90, 90, {}, {100, 80, 60}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bar_->SetSections({L"文件名", L"大小", L"路径"}, c.widths);
        resized_.clear();
        Mouse(WM_LBUTTONDOWN, c.down);
        Mouse(WM_MOUSEMOVE, c.move);
        Mouse(WM_LBUTTONUP, c.up);
        Mouse(WM_MOUSEMOVE, c.up + 40);  // after the button is up: no more resizing
        EXPECT_EQ(resized_, c.calls);
        std::vector<int> widths;
        for (int i = 0; i < bar_->SectionCount(); ++i) widths.push_back(bar_->SectionWidth(i));
        EXPECT_EQ(widths, c.after);
    }
}

TEST_F(HeaderBarWindow, SetSectionsReplacesTheOldOnes) {
    bar_->SetSections({L"a", L"b", L"c"}, {10, 20, 30});
    bar_->SetSections({L"项目", L"名称"}, {150});
    ASSERT_EQ(bar_->SectionCount(), 2);
    EXPECT_EQ(bar_->SectionTitle(0), L"项目");
    EXPECT_EQ(bar_->SectionWidth(0), 150);
    EXPECT_EQ(bar_->SectionWidth(1), 100) << "a section without a width";
    EXPECT_EQ(bar_->SectionWidth(2), 0);
    EXPECT_EQ(bar_->EdgeAt(300), -1);
    EXPECT_EQ(bar_->EdgeAt(250), 1);

    // Scrolled with the list below it, edges move with the sections.
    bar_->SetScrollOffset(40);
    EXPECT_EQ(bar_->EdgeAt(110), 0);
    Mouse(WM_LBUTTONDOWN, 110);
    Mouse(WM_MOUSEMOVE, 130);
    Mouse(WM_LBUTTONUP, 130);
    EXPECT_EQ(resized_, (std::vector<std::pair<int, int>>{{0, 170}}));
}

TEST_F(HeaderBarWindow, SizingCursorOverEdges) {
    bar_->SetSections({L"a", L"b"}, {120, 80});
    HCURSOR sizing = LoadCursorW(nullptr, IDC_SIZEWE);
    struct Case {
        int x;
        bool sizing;
    };
    for (const Case c : {Case{120, true}, Case{118, true}, Case{200, true}, Case{60, false},
                         Case{300, false}}) {
        SCOPED_TRACE(c.x);
        POINT screen{c.x, kBarHeight / 2};
        ClientToScreen(bar_->hwnd(), &screen);
        ASSERT_TRUE(SetCursorPos(screen.x, screen.y));
        SetCursor(nullptr);
        SendMessageW(bar_->hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(bar_->hwnd()),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(GetCursor() == sizing, c.sizing);
    }
}

TEST_F(HeaderBarWindow, PictureOrGradientBackground) {
    tidemark::test::ScratchDir dir;
    const std::wstring png = dir / L"header.png";
    ASSERT_TRUE(tidemark::test::WriteFileText(
        png, std::string(reinterpret_cast<const char*>(kRedOverBluePng), sizeof kRedOverBluePng)));
    const std::wstring broken = dir / L"broken.png";
    ASSERT_TRUE(tidemark::test::WriteFileText(broken, "\x89PNG\r\n\x1a\nnot really"));
    bar_->SetSections({L"一个很长很长很长很长很长很长很长很长的标题", L"b"}, {100, 100});

    auto isGradient = [&](const test::Pixels& px) {
        return px.At(kBarWidth - 2, 0) == HeaderBar::kGradientTop &&
               px.At(kBarWidth - 2, kBarHeight - 2) == HeaderBar::kGradientBottom &&
               px.At(kBarWidth - 2, kBarHeight - 1) == HeaderBar::kLineColor;
    };
    EXPECT_TRUE(isGradient(test::PrintClient(bar_->hwnd()))) << "no picture set";

    ASSERT_TRUE(bar_->SetBackgroundPicture(png));
    EXPECT_TRUE(bar_->HasBackgroundPicture());
    const test::Pixels pic = test::PrintClient(bar_->hwnd());
    // Stretched over the bar, smoothly: near the top red, near the bottom blue.
    const COLORREF top = pic.At(kBarWidth - 2, 1);
    const COLORREF bottom = pic.At(kBarWidth - 2, kBarHeight - 2);
    EXPECT_TRUE(GetRValue(top) > 0xC0 && GetBValue(top) < 0x40) << std::hex << top;
    EXPECT_TRUE(GetBValue(bottom) > 0xC0 && GetRValue(bottom) < 0x40) << std::hex << bottom;
    EXPECT_EQ(pic.At(2, 1), top) << "from edge to edge";

    // A picture that fails to load replaces the one before it with the gradient.
    for (const std::wstring& bad : {broken, dir / L"missing.png", std::wstring()}) {
        SCOPED_TRACE(tidemark::test::Narrow(bad));
        ASSERT_TRUE(bar_->SetBackgroundPicture(png));
        EXPECT_FALSE(bar_->SetBackgroundPicture(bad));
        EXPECT_FALSE(bar_->HasBackgroundPicture());
        EXPECT_TRUE(isGradient(test::PrintClient(bar_->hwnd())));
    }

    // Set to be loaded when first shown: the file is made and read at the first paint only; a
    // file that cannot be made leaves the gradient.
    int made = 0;
    const std::wstring later = dir / L"later.png";
    ASSERT_TRUE(bar_->SetBackgroundPictureWhenShown(later, [&] {
        ++made;
        return tidemark::test::WriteFileText(
            later, std::string(reinterpret_cast<const char*>(kRedOverBluePng), sizeof kRedOverBluePng));
    }));
    EXPECT_EQ(made, 0);
    const test::Pixels shown = test::PrintClient(bar_->hwnd());
    EXPECT_EQ(made, 1);
    EXPECT_EQ(shown.At(kBarWidth - 2, 1), top);
    test::PrintClient(bar_->hwnd());
    EXPECT_EQ(made, 1);
    ASSERT_TRUE(bar_->SetBackgroundPictureWhenShown(dir / L"never.png", [] { return false; }));
    EXPECT_TRUE(isGradient(test::PrintClient(bar_->hwnd())));
    EXPECT_FALSE(bar_->HasBackgroundPicture());

    ASSERT_TRUE(bar_->SetBackgroundPicture(png));
    EXPECT_TRUE(DeleteFileW(png.c_str())) << "a loaded picture's file is not held open";
    EXPECT_TRUE(bar_->SetBackgroundPicture(L"") == false && !bar_->HasBackgroundPicture());

    // The long title stops before its section's padding; the separator follows the section.
    const test::Pixels px = test::PrintClient(bar_->hwnd());
    const auto dark = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 0x80; };
    EXPECT_GT(px.Count(RECT{HeaderBar::kTitlePadding, 0, 60, kBarHeight}, dark), 0);
    EXPECT_EQ(px.Count(RECT{100 - HeaderBar::kTitlePadding, 0, 100 + HeaderBar::kTitlePadding, kBarHeight}, dark), 0);
    EXPECT_EQ(px.At(99, kBarHeight / 2), HeaderBar::kLineColor);
}

}  // namespace
}  // namespace tidemark::widgets

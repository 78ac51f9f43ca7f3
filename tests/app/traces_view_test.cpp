// The usage-trace page driven in-process: the tree the start-up builds, the scan through the
// start button, ticks, the clean and the return to the group cards.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/views/traces_view.h"
#include "app/widgets/gdiplus_session.h"
#include "app/widgets/picture_button.h"
#include "common/test_support.h"
#include "system/reg_ops.h"
#include "system/rule_macros.h"
#include "system/text_case.h"

namespace tidemark {
namespace {

const widgets::GdiplusSession gdiplus;

using widgets::CheckState;
using widgets::NodeId;

class TracesPageTest : public testing::Test {
protected:
    void SetUp() override {
        App() = AppState{};
        ASSERT_TRUE(WriteRegInt(HKEY_CURRENT_USER, L"Software\\Corvane\\BRIM", L"InitSet", 1));
        window_ = TFBrimMain::Create({}, false);
        ASSERT_TRUE(window_);
        saved_ = SpecialFolders;
    }
    void TearDown() override {
        SpecialFolders = saved_;
        window_.reset();
        DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
        DeleteRegSubKey(HKEY_CURRENT_USER, L"", L"InstallLocationsMRU");
    }
    TracesView& View() { return window_->Traces(); }

    std::unique_ptr<TFBrimMain> window_;
    std::array<std::wstring, kRuleMacroCount> saved_;
};

TEST_F(TracesPageTest, StartUpBuildsThreeGroupsWithTheirItems) {
    widgets::TreeListModel& rows = View().Rows();
    const std::vector<NodeId> groups = rows.Children(widgets::kRoot);
    ASSERT_EQ(groups.size(), 3u);
    const struct {
        const wchar_t* caption;
        std::size_t items;
        const wchar_t* first;
    } expected[] = {{L"IE痕迹清理(IE重启后生效)", 6, L"IE临时文件"},
                    {L"系统痕迹清理", 8, L"系统临时文件"},
                    {L"软件痕迹清理", 51, L"Netscape 3 历史站点"}};
    for (int g = 0; g < 3; ++g) {
        EXPECT_EQ(rows.Text(groups[g], 0), expected[g].caption);
        EXPECT_TRUE(rows.Style(groups[g]).bold);
        EXPECT_EQ(rows.Style(groups[g]).backColor, 16707297u);
        EXPECT_TRUE(rows.IsExpanded(groups[g]));
        const std::vector<NodeId> items = rows.Children(groups[g]);
        ASSERT_EQ(items.size(), expected[g].items);
        EXPECT_EQ(rows.Text(items[0], 0), expected[g].first);
        EXPECT_EQ(rows.GetCheckKind(items[0]), widgets::CheckKind::None);
    }
}

TEST_F(TracesPageTest, ScanListsTicksDecideTheCleanAndThePageReturnsToTheCards) {
    test::ScratchDir temp, recent;
    ASSERT_TRUE(test::WriteFileText(temp / L"a.txt", "a"));
    ASSERT_TRUE(test::WriteFileText(temp / L"sub\\b.txt", "b"));
    SpecialFolders[8] = UpperCased(temp.path());
    SpecialFolders[17] = UpperCased(recent.path());
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, L"InstallLocationsMRU", L"a", L"D:\\"));

    // Only the system group.
    window_->Button(L"RzBmpButton1")->Click();
    window_->Button(L"RzBmpButton5")->Click();
    window_->Button(L"BBtn_ScanHengji")->Click();
    EXPECT_EQ(window_->CurrentPage(), Page::TraceResults);
    EXPECT_TRUE(App().UiIdle);
    // The state, with the time the scan took.
    EXPECT_EQ(View().Status().rfind(L"扫描完成  用时 00:00:", 0), 0u) << View().Status();

    widgets::TreeListModel& rows = View().Rows();
    ASSERT_EQ(rows.Children(widgets::kRoot), std::vector<NodeId>{View().GroupRow(1)});
    const NodeId tempRow = View().ItemRow(1, 0), mruRow = View().ItemRow(1, 7);
    EXPECT_EQ(rows.Text(tempRow, 0), L"系统临时文件 (共扫描到2个文件)");
    // A registry value is counted as one, and shown by its key and name.
    EXPECT_EQ(rows.Text(mruRow, 0), L"安装盘路径 (共扫描到1个注册表值)");
    EXPECT_EQ(rows.Text(rows.Children(mruRow)[0], 0), L"HKEY_CURRENT_USER\\InstallLocationsMRU  \u2192  a");
    const std::vector<NodeId> files = rows.Children(tempRow);
    ASSERT_EQ(files.size(), 2u);
    for (NodeId f : files) EXPECT_EQ(rows.GetCheck(f), CheckState::Checked);
    // Paths as the file system spells them, though the engine compares the folder upper-cased.
    std::vector<std::wstring> shown = {rows.Text(files[0], 0), rows.Text(files[1], 0)};
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::wstring>{temp / L"a.txt", temp / L"sub\\b.txt"}));
    EXPECT_TRUE(View().CanLocate(files[0]));
    EXPECT_FALSE(View().CanLocate(rows.Children(mruRow)[0]));  // a value name
    EXPECT_FALSE(View().CanLocate(tempRow));

    // b.txt unticked: it stays, with its row; the rest goes.
    const NodeId keep = UpperCased(rows.Text(files[0], 0)).ends_with(L"B.TXT") ? files[0] : files[1];
    rows.SetCheck(keep, CheckState::Unchecked);
    window_->Button(L"BBtn_hengjiClear")->Click();
    EXPECT_TRUE(App().UiIdle);
    EXPECT_EQ(window_->CurrentPage(), Page::TraceGroups);
    EXPECT_EQ(View().Status(), L"清理完毕!");
    EXPECT_FALSE(test::PathExists(temp / L"a.txt"));
    EXPECT_TRUE(test::PathExists(temp / L"sub\\b.txt"));
    const TraceItem& item = View().Traces().Groups[1].Items[0];
    ASSERT_EQ(item.Entries.size(), 1u);
    EXPECT_FALSE(item.Entries[0].Ticked);
    EXPECT_EQ(item.Count, 2);  // the counts of the last scan
    EXPECT_TRUE(View().Traces().Groups[1].Items[7].Entries.empty());
    EXPECT_EQ(rows.Children(View().ItemRow(1, 0)).size(), 1u);
}

TEST_F(TracesPageTest, AHistoryStoreThatFailsIsToldInTheStatusAndTheCleanEndsIdle) {
    test::ScratchDir cache;
    SpecialFolders[9] = SpecialFolders[10] = SpecialFolders[11] = UpperCased(cache.path());
    int asked = 0;
    View().ClearHistory = [&] {
        ++asked;
        return false;
    };
    // Only the browser group.
    window_->Button(L"RzBmpButton2")->Click();
    window_->Button(L"RzBmpButton5")->Click();
    window_->Button(L"BBtn_ScanHengji")->Click();
    window_->Button(L"BBtn_hengjiClear")->Click();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(App().UiIdle);
    EXPECT_EQ(window_->CurrentPage(), Page::TraceGroups);
    EXPECT_EQ(View().Status(), L"清理完毕!(IE历史记录未能清除)");
}

}  // namespace
}  // namespace tidemark

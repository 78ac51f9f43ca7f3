// The junk page driven in-process through the real window: the scan fills the result tree and
// the counters, the clean removes the ticked files of ticked groups and lists what must wait for
// the restart.
#include <gtest/gtest.h>

#include <optional>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/views/settings_view.h"
#include "app/views/custom_view.h"
#include "app/views/junk_view.h"
#include "app/widgets/gdiplus_session.h"
#include "app/widgets/picture_button.h"
#include "app/widgets/tree_list_model.h"
#include "common/test_support.h"
#include "lang/text_tables.h"
#include "settings/settings_store.h"
#include "system/prompt.h"
#include "system/reg_ops.h"
#include "system/text_case.h"

namespace tidemark {
namespace {

const widgets::GdiplusSession gdiplus;

using widgets::CheckState;
using widgets::kRoot;
using widgets::NodeId;

std::wstring WindowText(HWND control) {
    wchar_t text[1024] = {};
    GetWindowTextW(control, text, 1024);
    return text;
}

class JunkPageTest : public testing::Test {
protected:
    void SetUp() override {
        App() = AppState{};
        ASSERT_TRUE(WriteRegInt(HKEY_CURRENT_USER, L"Software\\Corvane\\BRIM", L"InitSet", 1));
        window_ = TFBrimMain::Create({}, false);
        ASSERT_TRUE(window_);
        prompt_.emplace(answers_);
        Junk().SetAutomaticFolders({dir_.path()});
    }
    void TearDown() override {
        prompt_.reset();
        window_.reset();
        DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
    }

    JunkView& Junk() { return window_->Junk(); }
    widgets::TreeListModel& Rows() { return Junk().FoundRows(); }
    std::wstring Label(const wchar_t* name) { return WindowText(window_->Control(name)); }
    // Shown by the page (the window itself is never shown in these tests).
    bool Shown(const wchar_t* name) { return (GetWindowLongW(window_->Control(name), GWL_STYLE) & WS_VISIBLE) != 0; }
    void Start() {
        window_->SelectTopTab(2);
        window_->Button(L"RzBmpButton9")->Click();
    }
    // The group row whose text starts with the description and holds the type.
    NodeId Group(const std::wstring& type) {
        for (NodeId node : Rows().Children(kRoot))
            if (Rows().Text(node, 0).find(L"(" + type + L" ") != std::wstring::npos) return node;
        return widgets::kNoNode;
    }
    bool Asked(int id) const {
        for (const PromptRequest& r : answers_.Asked())
            if (r.Text == GetUiText(id, App().UiLanguageId)) return true;
        return false;
    }

    test::ScratchDir dir_;
    ScriptedPrompt answers_;
    std::optional<ScopedPrompt> prompt_;
    std::unique_ptr<TFBrimMain> window_;
};

TEST_F(JunkPageTest, ScanListsGroupsAndCountersThenCleanTakesOnlyTheTickedOnes) {
    ASSERT_TRUE(test::WriteFileText(dir_ / L"a.tmp", std::string(1536, 'x')));
    ASSERT_TRUE(test::WriteFileText(dir_ / L"b.tmp", "x"));
    ASSERT_TRUE(test::WriteFileText(dir_ / L"c.old", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(test::WriteFileText(dir_ / L"sub\\d.old", "x"));
    ASSERT_TRUE(test::WriteFileText(dir_ / L"keep.txt", "x"));
    ASSERT_TRUE(WriteRegInt(HKEY_CURRENT_USER, L"Software\\Corvane\\BRIM", L"DirectDel", 0));
    Start();

    EXPECT_TRUE(App().UiIdle);
    ASSERT_EQ(Rows().ChildCount(kRoot), 2u);
    const NodeId tmp = Group(L"*.tmp"), old = Group(L"*.old");
    ASSERT_NE(tmp, widgets::kNoNode);
    ASSERT_NE(old, widgets::kNoNode);
    EXPECT_EQ(Rows().Text(tmp, 0), L"临时文件   (*.tmp 文件大小: 1.50 KB  文件个数: 2个)");
    EXPECT_EQ(Rows().ChildCount(old), 2u);
    const NodeId first = Rows().FirstChild(tmp);
    EXPECT_EQ(Rows().Text(first, 2), Rows().Text(first, 0) == L"a.tmp" ? dir_ / L"a.tmp" : dir_ / L"b.tmp");
    // Sizes in one form, two decimals; "定位文件" only on a file row.
    EXPECT_EQ(Rows().Text(first, 1), Rows().Text(first, 0) == L"a.tmp" ? L"1.50" : L"0.00");
    EXPECT_TRUE(Junk().CanLocate(first));
    EXPECT_FALSE(Junk().CanLocate(tmp));
    // Once a list is shown, "重新扫描" stands where "扫描" was.
    EXPECT_TRUE(Shown(L"BBtn_ScanClear"));
    EXPECT_FALSE(Shown(L"BBtn_Scan"));
    // The mode buttons stay beside the finished banner.
    EXPECT_TRUE(Shown(L"RzBmpBtnAllQuery"));
    EXPECT_TRUE(Shown(L"RzBmpBtnSelfQuery"));
    EXPECT_EQ(Label(L"Lab_totalFileNum"), L"4");
    EXPECT_EQ(Label(L"Lab_totalFileSize"), L"0 MB");  // 1.5 KB in MB
    EXPECT_EQ(Label(L"Label2"), L"0");
    EXPECT_TRUE(Shown(L"Lab_ScanFinishTitle"));
    EXPECT_FALSE(Shown(L"BBtn_ScanStop"));

    // The *.old group unticked (its files stay ticked), b.tmp unticked.
    Rows().SetCheck(old, CheckState::Unchecked, false);
    for (NodeId file : Rows().Children(tmp))
        if (Rows().Text(file, 0) == L"b.tmp") Rows().SetCheck(file, CheckState::Unchecked);
    window_->Button(L"BBtn_Clear")->Click();

    EXPECT_TRUE(App().UiIdle);
    EXPECT_FALSE(test::PathExists(dir_ / L"a.tmp"));
    EXPECT_TRUE(test::PathExists(dir_ / L"b.tmp"));
    EXPECT_TRUE(test::PathExists(dir_ / L"c.old"));
    EXPECT_TRUE(test::PathExists(dir_ / L"sub\\d.old"));
    EXPECT_EQ(Label(L"Lab_ClearNum"), L"1 个 (释放 1.50 KB)");  // the count and the space freed
    EXPECT_TRUE(Shown(L"Lab_ClearInf"));
    EXPECT_FALSE(Shown(L"Lab_ScanFinishTitle"));
    EXPECT_EQ(Label(L"Lab_prect"), L"100%");
    EXPECT_EQ(Rows().RowCount(), 0u);
    EXPECT_TRUE(Shown(L"BBtn_CloseClear"));
    window_->Button(L"BBtn_CloseClear")->Click();
    EXPECT_FALSE(Shown(L"PanelDel"));
    // From the result page a mode button opens that mode alone.
    window_->Button(L"RzBmpBtnSelfQuery")->Click();
    EXPECT_EQ(window_->CurrentPage(), Page::JunkFolders);
    EXPECT_FALSE(Shown(L"Lab_ClearInf"));
    EXPECT_FALSE(Shown(L"BBtn_Clear"));
    EXPECT_TRUE(Shown(L"BBtn_SelfScan"));
    SetFileAttributesW((dir_ / L"c.old").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(JunkPageTest, ALockedFileGoesToTheRestartListAndIsNotCountedAsCleaned) {
    ASSERT_TRUE(test::WriteFileText(dir_ / L"held.tmp", "x"));
    ASSERT_TRUE(test::WriteFileText(dir_ / L"free.tmp", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(WriteRegInt(HKEY_CURRENT_USER, L"Software\\Corvane\\BRIM", L"DirectDel", 0));
    Start();
    ASSERT_EQ(Junk().Result().files.size(), 2u);
    HANDLE hold = CreateFileW((dir_ / L"held.tmp").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
    window_->Button(L"BBtn_Clear")->Click();
    CloseHandle(hold);

    EXPECT_FALSE(test::PathExists(dir_ / L"free.tmp"));  // read-only and hidden: gone all the same
    EXPECT_TRUE(test::PathExists(dir_ / L"held.tmp"));
    EXPECT_EQ(Label(L"Lab_ClearNum"), L"1 个 (释放 1 字节)");
    widgets::TreeListModel& deleteList = window_->Custom().DeleteListRows();
    ASSERT_EQ(deleteList.ChildCount(kRoot), 1u);
    const NodeId row = deleteList.FirstChild(kRoot);
    EXPECT_EQ(deleteList.Text(row, 0), L"    临时文件");
    EXPECT_EQ(deleteList.Text(row, 1), L"held.tmp");
    EXPECT_EQ(deleteList.Text(row, 3), dir_ / L"held.tmp");

    // The next scan starts with an empty restart list.
    window_->Button(L"BBtn_Scan")->Click();
    EXPECT_EQ(deleteList.ChildCount(kRoot), 0u);
}

TEST_F(JunkPageTest, NoRulesNoFilesOrNoFoldersOnlySaySo) {
    ASSERT_TRUE(test::WriteFileText(dir_ / L"a.tmp", "x"));
    // Every type unticked, no user type: nothing is scanned.
    ASSERT_TRUE(WriteSettingText(kFileExtEnabled, std::wstring(kBuiltInTypeCount, L'1')));
    Start();
    EXPECT_TRUE(Asked(90012));
    EXPECT_TRUE(App().UiIdle);
    EXPECT_EQ(Rows().RowCount(), 0u);
    // Nothing listed: the clean says so.
    window_->Button(L"BBtn_Clear")->Click();
    EXPECT_TRUE(Asked(90010));
    EXPECT_TRUE(App().UiIdle);
    EXPECT_TRUE(test::PathExists(dir_ / L"a.tmp"));
    // Custom mode with no folder ticked.
    ASSERT_TRUE(WriteSettingText(kFileExtEnabled, kDefaultTypeStates));
    Junk().ModeChosen(false);
    for (NodeId root : Junk().FolderRows().Children(kRoot)) Junk().FolderRows().SetCheck(root, CheckState::Unchecked);
    window_->Button(L"BBtn_SelfScan")->Click();
    EXPECT_TRUE(Asked(90019));
    EXPECT_TRUE(App().UiIdle);
}

TEST_F(JunkPageTest, TheFolderTreeOpensLazilyAndACustomScanWalksOnlyTheTickedFolder) {
    const std::wstring mine = L"C:\\tm-junk-view";
    ASSERT_TRUE(test::WriteFileText(mine + L"\\inside.tmp", "x"));
    ASSERT_TRUE(test::MakeDirs(mine + L"\\Beta"));
    ASSERT_TRUE(test::MakeDirs(mine + L"\\alpha"));
    widgets::TreeListModel& tree = Junk().FolderRows();
    // One row per fixed drive, ticked, C: among them (the test prefix's CD-ROM T: is not).
    NodeId c = widgets::kNoNode;
    for (NodeId root : tree.Children(kRoot)) {
        EXPECT_EQ(tree.GetCheck(root), CheckState::Checked);
        EXPECT_NE(Junk().FolderPath(root), L"T:\\");
        if (Junk().FolderPath(root) == L"C:\\") c = root;
    }
    ASSERT_NE(c, widgets::kNoNode);
    EXPECT_EQ(tree.ChildCount(c), 0u);
    Junk().ExpandFolderRow(c);
    NodeId mineRow = widgets::kNoNode;
    for (NodeId child : tree.Children(c)) {
        EXPECT_EQ(tree.GetCheck(child), CheckState::Checked);  // the parent's tick
        if (Junk().FolderPath(child) == mine) mineRow = child;
    }
    ASSERT_NE(mineRow, widgets::kNoNode);
    Junk().ExpandFolderRow(mineRow);
    const std::vector<NodeId> sub = tree.Children(mineRow);
    ASSERT_EQ(sub.size(), 2u);  // folders only, sorted without regard to case
    EXPECT_EQ(tree.Text(sub[0], 0), L"alpha");
    EXPECT_EQ(tree.Text(sub[1], 0), L"Beta");

    // The drive unticked and one folder below it ticked: only that folder is walked.
    tree.SetCheck(c, CheckState::Unchecked);
    tree.SetCheck(mineRow, CheckState::Checked);
    EXPECT_EQ(Junk().CustomFolderList(), std::vector<std::wstring>{mine});
    window_->SelectTopTab(2);
    Junk().ModeChosen(false);
    window_->Button(L"BBtn_SelfScan")->Click();
    ASSERT_EQ(Junk().Result().files.size(), 1u);
    EXPECT_EQ(Junk().Result().FullPath(0), mine + L"\\inside.tmp");
    RemoveDirectoryW((mine + L"\\alpha").c_str());
    RemoveDirectoryW((mine + L"\\Beta").c_str());
    DeleteFileW((mine + L"\\inside.tmp").c_str());
    RemoveDirectoryW(mine.c_str());
}

TEST_F(JunkPageTest, CustomFoldersAreImportedAddedOnceAndDeleted) {
    CustomView& custom = window_->Custom();
    widgets::TreeListModel& tree = Junk().FolderRows();
    ASSERT_GT(tree.ChildCount(kRoot), 0u);
    const NodeId drive = tree.FirstChild(kRoot);
    Junk().ImportCustomFolder(drive);
    // The import opens the custom folders, a page of their own, where the folder now is.
    EXPECT_EQ(App().CurrentView, 3);
    EXPECT_EQ(window_->CurrentPage(), Page::CustomFolders);
    EXPECT_TRUE(Shown(L"Vst_Custom"));
    EXPECT_TRUE(Shown(L"Lab_CurrentInfo"));
    EXPECT_TRUE(Shown(L"BBtn_Scan"));
    EXPECT_TRUE(Shown(L"BBtn_Clear"));
    EXPECT_EQ(custom.FolderRows().ChildCount(kRoot), 1u);
    // The junk view's custom mode leads there too.
    window_->SelectTopTab(2);
    window_->Link(L"Lnk_CustomFolders")->Click();
    EXPECT_EQ(window_->CurrentPage(), Page::CustomFolders);
    Junk().ImportCustomFolder(drive);  // already there
    EXPECT_EQ(ReadSettingText(kCustomFileExt), Junk().FolderPath(drive));
    EXPECT_TRUE(custom.AddCustomFolderPath(dir_.path()));
    EXPECT_TRUE(custom.AddCustomFolderPath(UpperCased(dir_.path())));  // the last entry, other case
    EXPECT_FALSE(custom.AddCustomFolderPath(L"C:\\a###b"));         // would split the list
    EXPECT_EQ(ReadSettingText(kCustomFileExt), Junk().FolderPath(drive) + L"###" + dir_.path());

    window_->SelectTopTab(3);
    widgets::TreeListModel& rows = custom.FolderRows();
    ASSERT_EQ(rows.ChildCount(kRoot), 2u);
    EXPECT_EQ(rows.GetCheck(rows.FirstChild(kRoot)), CheckState::Checked);
    // The footer links act on the list; with nothing ticked "扫描" says so and stays.
    window_->SelectAllInPage();
    window_->ClearAllInPage();
    for (NodeId node : rows.Children(kRoot)) EXPECT_EQ(rows.GetCheck(node), CheckState::Unchecked);
    window_->Button(L"BBtn_Scan")->Click();
    EXPECT_TRUE(Asked(90019));
    EXPECT_EQ(window_->CurrentPage(), Page::CustomFolders);
    // A ticked folder but no custom rule: said before anything is walked, and the page stays.
    window_->SelectAllInPage();
    ASSERT_TRUE(WriteSettingText(kFileExtCustom, L""));
    window_->Button(L"BBtn_Scan")->Click();
    EXPECT_TRUE(Asked(90012));
    EXPECT_EQ(window_->CurrentPage(), Page::CustomFolders);
    // "设置自定义规则" opens the settings on the custom rules' own page.
    custom.EditCustomRules();
    EXPECT_EQ(App().CurrentView, 6);
    EXPECT_EQ(window_->CurrentPage(), Page::SettingsTypes);
    EXPECT_EQ(window_->Settings().SettingsPage(), 1);
    window_->SelectTopTab(3);
    EXPECT_EQ(window_->CurrentPage(), Page::CustomFolders);
    custom.DeleteCustomFolder(rows.FirstChild(kRoot));
    EXPECT_EQ(ReadSettingText(kCustomFileExt), dir_.path());
    custom.DeleteCustomFolder(rows.FirstChild(kRoot));
    EXPECT_EQ(ReadSettingText(kCustomFileExt), L"");
    EXPECT_EQ(rows.ChildCount(kRoot), 0u);
}

TEST_F(JunkPageTest, TheCustomViewsButtonsUseItsTickedFoldersAndTheCustomRules) {
    test::ScratchDir other;
    ASSERT_TRUE(test::WriteFileText(dir_ / L"notes.bak2", "x"));
    ASSERT_TRUE(test::WriteFileText(dir_ / L"a.tmp", "x"));  // a general rule only
    ASSERT_TRUE(test::WriteFileText(other / L"far.bak2", "x"));
    ASSERT_TRUE(WriteSettingText(kFileExtCustom, L"*.bak2/*.log"));
    ASSERT_TRUE(WriteSettingText(kFileExtCustomEnabled, L"00"));
    ASSERT_TRUE(WriteRegInt(HKEY_CURRENT_USER, L"Software\\Corvane\\BRIM", L"DirectDel", 0));
    CustomView& custom = window_->Custom();
    ASSERT_TRUE(custom.AddCustomFolderPath(dir_.path()));
    ASSERT_TRUE(custom.AddCustomFolderPath(other.path()));
    window_->SelectTopTab(3);
    widgets::TreeListModel& folders = custom.FolderRows();
    ASSERT_EQ(folders.ChildCount(kRoot), 2u);
    folders.SetCheck(folders.Children(kRoot).back(), CheckState::Unchecked);

    window_->Button(L"BBtn_Scan")->Click();
    EXPECT_TRUE(App().UiIdle);
    EXPECT_EQ(window_->CurrentPage(), Page::JunkResults);
    ASSERT_EQ(Rows().ChildCount(kRoot), 1u);
    const NodeId group = Group(L"*.bak2");
    ASSERT_NE(group, widgets::kNoNode);
    EXPECT_EQ(Rows().Text(Rows().FirstChild(group), 2), dir_ / L"notes.bak2");
    // "扫描" on the result page scans the same folders again.
    window_->Button(L"BBtn_Scan")->Click();
    EXPECT_EQ(Rows().ChildCount(kRoot), 1u);

    // "清理" in the custom view cleans only a list a scan has shown: coming back to the view
    // (which ticks every stored folder again and forgets the list), its first press scans and
    // lists, removing nothing; the next cleans what the list shows.
    window_->SelectTopTab(3);
    folders.SetCheck(folders.Children(kRoot).back(), CheckState::Unchecked);
    window_->Button(L"BBtn_Clear")->Click();
    EXPECT_TRUE(App().UiIdle);
    EXPECT_EQ(window_->CurrentPage(), Page::JunkResults);
    EXPECT_TRUE(test::PathExists(dir_ / L"notes.bak2"));
    ASSERT_EQ(Rows().ChildCount(kRoot), 1u);
    window_->Button(L"BBtn_Clear")->Click();
    EXPECT_TRUE(App().UiIdle);
    EXPECT_FALSE(test::PathExists(dir_ / L"notes.bak2"));
    EXPECT_TRUE(test::PathExists(dir_ / L"a.tmp"));
    EXPECT_TRUE(test::PathExists(other / L"far.bak2"));
    EXPECT_EQ(Label(L"Lab_ClearNum").rfind(L"1 个 (释放 ", 0), 0u);
}

}  // namespace
}  // namespace tidemark

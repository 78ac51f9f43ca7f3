// The settings view driven in-process: pages built from the stored values, add, delete,
// recommended ticks and save.
#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/views/custom_view.h"
#include "app/views/settings_view.h"
#include "app/widgets/tree_list.h"
#include "settings/settings_store.h"
#include "system/reg_ops.h"

namespace tidemark {
namespace {

using widgets::CheckState;
using widgets::kRoot;
using widgets::NodeId;

class SettingsViewTest : public testing::Test {
protected:
    void SetUp() override {
        App() = AppState{};
        DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
        ASSERT_TRUE(WriteSettingInt(kInitSet, 1));
        window_ = TFBrimMain::Create({}, false);
        ASSERT_TRUE(window_);
        installed_ = std::make_unique<ScopedPrompt>(prompt_);
        model_ = window_->ListModel(L"Vst_SetItems");
        ASSERT_TRUE(model_);
    }
    void TearDown() override {
        installed_.reset();
        window_.reset();
        DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
    }
    std::vector<NodeId> Rows() const {
        std::vector<NodeId> rows;
        model_->ForEachDescendant(kRoot, [&](NodeId n) { rows.push_back(n); });
        return rows;
    }
    std::wstring States() const {
        std::wstring states;
        for (NodeId n : Rows()) states += model_->GetCheck(n) == CheckState::Checked ? L'0' : L'1';
        return states;
    }
    void Type(const std::wstring& text) {
        SetWindowTextW(window_->Control(L"Edt_TypeName"), text.c_str());
        window_->Settings().BBtn_SetAddClick();
    }
    std::wstring LastMessage() const { return prompt_.Asked().empty() ? L"" : prompt_.Asked().back().Text; }

    std::unique_ptr<TFBrimMain> window_;
    ScriptedPrompt prompt_;
    std::unique_ptr<ScopedPrompt> installed_;
    widgets::TreeListModel* model_ = nullptr;
};

TEST_F(SettingsViewTest, TreeAndMethodPage) {
    widgets::TreeListModel* tree = window_->ListModel(L"VST_set");
    ASSERT_EQ(tree->ChildCount(kRoot), 1u);
    const NodeId root = tree->FirstChild(kRoot);
    EXPECT_EQ(tree->Text(root, 0), L"规则设置");
    std::vector<std::wstring> pages;
    for (NodeId n : tree->Children(root)) pages.push_back(tree->Text(n, 0));
    EXPECT_EQ(pages, (std::vector<std::wstring>{L"通用清理规则设置", L"自定义清理规则设置", L"清理方式设置", L"恢复中心"}));

    ASSERT_TRUE(WriteSettingInt(kDirectDel, 1));
    window_->SelectTopTab(6);
    EXPECT_EQ(window_->Settings().SettingsPage(), 2);
    EXPECT_EQ(SendMessageW(window_->Control(L"Cbx_SetMethod"), CB_GETCURSEL, 0, 0), 1);
    wchar_t label[64] = {};
    GetWindowTextW(window_->Control(L"Lab_ClearReg"), label, 64);
    EXPECT_STREQ(label, L"清理方式设置");
    // The drop-down ignores the keyboard.
    SendMessageW(window_->Control(L"Cbx_SetMethod"), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(SendMessageW(window_->Control(L"Cbx_SetMethod"), CB_GETCURSEL, 0, 0), 1);
    SendMessageW(window_->Control(L"Cbx_SetMethod"), CB_SETCURSEL, 0, 0);
    window_->Settings().SaveSettings(false);
    EXPECT_EQ(ReadSettingInt(kDirectDel, -1), 0);
    EXPECT_EQ(LastMessage(), L"设置保存成功!");
}

TEST_F(SettingsViewTest, GeneralPageAddDeleteRecommendedSave) {
    window_->SelectTopTab(6);
    window_->Button(L"RzBmpBtnSelfQuery")->Click();  // "通用清理规则设置"
    ASSERT_EQ(window_->Settings().SettingsPage(), 0);
    // A fresh profile shows the 39 types with their recommended states (*.bak off).
    ASSERT_EQ(Rows().size(), 39u);
    EXPECT_EQ(States(), L"000000000000000000010000011100000000000");
    EXPECT_EQ(model_->Text(Rows()[27], 0), L"图片预览缩略图文件");
    EXPECT_EQ(model_->Text(Rows()[27], 1), L"Thumbs.db");

    Type(L"  *.abc ");
    EXPECT_EQ(Rows().size(), 40u);
    EXPECT_EQ(model_->Text(Rows()[39], 1), L"*.abc");
    EXPECT_EQ(model_->Text(Rows()[39], 0), L"自定义");
    // Adding saves the whole page silently.
    EXPECT_TRUE(prompt_.Asked().empty());
    EXPECT_EQ(ReadSettingText(kFileExt), L"*.abc");
    EXPECT_EQ(ReadSettingText(kFileExtEnabled), L"000000000000000000010000011100000000000" L"0");

    const struct { const wchar_t* text; const wchar_t* message; } refused[] = {
        {L"*.abc", L"该类型已存在!"},
        {L"abc", L"请确认文件类型格式是否正确!"},
        {L"a/b.c", L"请确认文件类型格式是否正确!"},
    };
    for (const auto& r : refused) {
        Type(r.text);
        EXPECT_EQ(LastMessage(), r.message) << testing::PrintToString(std::wstring(r.text));
        EXPECT_EQ(Rows().size(), 40u);
    }
    Type(L"*.TMP");  // the duplicate check is case-sensitive
    EXPECT_EQ(Rows().size(), 41u);

    model_->Select(Rows()[5]);
    window_->Settings().DeleteUserType();
    EXPECT_EQ(LastMessage(), L"系统默认类型,无法删除");
    EXPECT_EQ(Rows().size(), 41u);
    model_->Select(Rows()[40]);
    window_->Settings().DeleteUserType();
    EXPECT_EQ(Rows().size(), 40u);

    window_->Link(L"RzURLLabAll")->Click();
    EXPECT_EQ(States(), std::wstring(40, L'0'));
    window_->Link(L"RzURLLabDefault")->Click();
    EXPECT_EQ(States(), L"000000000000000000010000011100000000000" L"1");
    window_->Settings().SaveSettings(false);
    EXPECT_EQ(LastMessage(), L"设置保存成功!");

    // Shown again, the page has what was saved.
    window_->Button(L"RzBmpBtnAllQuery")->Click();
    window_->Button(L"RzBmpBtnSelfQuery")->Click();
    EXPECT_EQ(Rows().size(), 40u);
    EXPECT_EQ(States(), L"000000000000000000010000011100000000000" L"1");
    EXPECT_EQ(ReadSettingText(kFileExt), L"*.abc");
}

// The custom view's "设置自定义规则" shows the custom rules' page, and "保存" there stores them,
// not the cleaning method.
TEST_F(SettingsViewTest, CustomRulesFromTheCustomViewShowTheirOwnPage) {
    ASSERT_TRUE(SaveTypeSettings(true, L"*.one/*.two", L"01"));
    ASSERT_TRUE(WriteSettingInt(kDirectDel, 1));
    window_->Custom().EditCustomRules();
    EXPECT_EQ(App().CurrentView, 6);
    EXPECT_EQ(window_->Settings().SettingsPage(), 1);
    EXPECT_EQ(window_->CurrentPage(), Page::SettingsTypes);
    ASSERT_EQ(Rows().size(), 2u);
    EXPECT_EQ(States(), L"01");
    const auto visible = [&](const wchar_t* name) {
        return (GetWindowLongW(window_->Control(name), GWL_STYLE) & WS_VISIBLE) != 0;
    };
    EXPECT_TRUE(visible(L"RzURLLabAll"));
    EXPECT_TRUE(visible(L"BBtn_Save"));
    EXPECT_FALSE(visible(L"RzURLLabDefault"));  // no recommended ticks for the user's own types
    window_->Link(L"RzURLLabAll")->Click();
    window_->Settings().SaveSettings(false);
    EXPECT_EQ(LastMessage(), L"设置保存成功!");
    EXPECT_EQ(ReadSettingText(kFileExtCustomEnabled), L"00");
    EXPECT_EQ(ReadSettingInt(kDirectDel, -1), 1);
}

TEST_F(SettingsViewTest, StoredValuesOutOfStep) {
    // Two user types but one state for them: only the built-in part is shown.
    ASSERT_TRUE(SaveTypeSettings(false, L"*.a/*.b", std::wstring(kDefaultTypeStates) + L"0"));
    window_->SelectTopTab(6);
    window_->Button(L"RzBmpBtnSelfQuery")->Click();
    EXPECT_EQ(Rows().size(), 39u);
    EXPECT_EQ(States(), kDefaultTypeStates);
    // A state character that is neither "0" nor "1" at a built-in position: recommended.
    std::wstring odd = kDefaultTypeStates;
    odd[19] = L'x';
    ASSERT_TRUE(SaveTypeSettings(false, L"", odd));
    window_->Button(L"RzBmpBtnAllQuery")->Click();
    window_->Button(L"RzBmpBtnSelfQuery")->Click();
    EXPECT_EQ(model_->GetCheck(Rows()[19]), CheckState::Unchecked);
}

}  // namespace
}  // namespace tidemark

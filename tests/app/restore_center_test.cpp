// The settings view's restore center driven in-process through the real window, over entries a
// recorded removal left in the user's undo journal: the list, "恢复" and "删除" with the user's
// answer, and the journal entries that cannot be read.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/views/settings_view.h"
#include "app/widgets/picture_button.h"
#include "app/widgets/tree_list_model.h"
#include "common/test_support.h"
#include "removal/removal_service.h"
#include "settings/settings_store.h"
#include "system/file_ops.h"
#include "system/prompt.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "undo/journal.h"

namespace tidemark {
namespace {

using widgets::Face;
using widgets::kRoot;
using widgets::NodeId;

std::wstring WindowText(HWND control) {
    wchar_t text[256] = {};
    GetWindowTextW(control, text, 256);
    return text;
}
bool Visible(HWND control) { return control && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

class RestoreCenterTest : public testing::Test {
protected:
    void SetUp() override {
        App() = AppState{};
        DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
        ASSERT_TRUE(WriteSettingInt(kInitSet, 1));
        window_ = TFBrimMain::Create({}, false);
        ASSERT_TRUE(window_);
        prompt_.emplace(answers_);
        rows_ = window_->ListModel(L"Vst_Journal");
        ASSERT_TRUE(rows_);
    }
    void TearDown() override {
        prompt_.reset();
        window_.reset();
        for (const std::wstring& id : ids_) Journal::OfUser().Remove(id);
        DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
    }

    // A run of command that removes the named values of the scratch key through the journal, as
    // a clean does; its entry's id.
    std::wstring Record(const std::wstring& command, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values) {
        for (const auto& [name, data] : values) EXPECT_TRUE(WriteRegString(key_.root(), key_.path(), name, data));
        auto run = Journal::OfUser().Begin(command);
        EXPECT_TRUE(run);
        if (!run) return L"";
        const RemovalService service = ProcessRemovalService().Recorded(*run);
        for (const auto& value : values)
            EXPECT_EQ(service.RemoveRegValue(key_.root(), key_.path(), value.first).Result, Outcome::Done);
        const std::wstring id = run->Id();
        run->Finish();
        ids_.push_back(id);
        return id;
    }
    std::optional<std::wstring> Value(const std::wstring& name) const {
        UniqueHKey key = OpenRegKey(key_.root(), key_.path(), KEY_READ);
        return key ? QueryStringValue(key.get(), name) : std::nullopt;
    }
    void OpenRestoreCenter() {
        window_->SelectTopTab(6);
        window_->Button(L"BBtn_RestoreCenter")->Click();
    }
    SettingsView& View() { return window_->Settings(); }
    // The list row of an entry; kNoNode when the list does not show it.
    NodeId RowOf(const std::wstring& id) const {
        for (NodeId node : rows_->Children(kRoot))
            if (window_->Settings().JournalEntries()[rows_->UserData(node)].Id == id) return node;
        return widgets::kNoNode;
    }
    std::vector<std::wstring> AskedTexts() const {
        std::vector<std::wstring> texts;
        for (const auto& r : answers_.Asked()) texts.push_back(r.Text);
        return texts;
    }
    void Press(const wchar_t* button, int answer) {
        answers_.Clear();
        answers_.Script({answer});
        window_->Button(button)->Click();
    }

    test::ScratchKey key_;
    std::vector<std::wstring> ids_;
    ScriptedPrompt answers_;
    std::optional<ScopedPrompt> prompt_;
    std::unique_ptr<TFBrimMain> window_;
    widgets::TreeListModel* rows_ = nullptr;
};

TEST_F(RestoreCenterTest, ListsTheEntriesNewestFirstAndCountsTheDamagedOnes) {
    // Runs of the same second: their ids, and so the list, keep the order they were made in.
    const struct { const wchar_t* command; const wchar_t* shown; std::size_t items; } runs[] = {
        {L"reg fix", L"注册表清理", 2},
        {L"plugins clean", L"插件清理", 1},
        {L"plugins delete", L"删除插件", 1},
        {L"plugins unload", L"卸载插件", 1},
        {L"repair", L"系统修复", 1},
        {L"repair run", L"系统修复", 1},
        {L"tm later tool", L"tm later tool", 1},
    };
    std::vector<std::wstring> ids;
    for (const auto& run : runs)
        ids.push_back(run.items == 2 ? Record(run.command, {{L"A", L"1"}, {L"B", L"2"}}) : Record(run.command, {{L"C", L"3"}}));
    // An entry whose index is not the journal's own: never listed, one line under the list says so.
    std::vector<std::wstring> damagedBefore;
    Journal::OfUser().List(&damagedBefore);
    const std::wstring damaged = Journal::OfUser().Folder() + L"\\20000101-000000";
    ASSERT_TRUE(test::WriteFileText(damaged + L"\\index.json", "{ not an index"));
    // Saved type settings that the restore center must not touch.
    ASSERT_TRUE(SaveTypeSettings(false, L"*.abc", std::wstring(kDefaultTypeStates) + L"0"));

    OpenRestoreCenter();
    EXPECT_EQ(View().SettingsPage(), 3);
    EXPECT_EQ(window_->CurrentPage(), Page::SettingsRestore);
    EXPECT_EQ(WindowText(window_->Control(L"Lab_ClearReg")), L"恢复中心");
    for (const wchar_t* shown : {L"BBtn_JournalRestore", L"BBtn_JournalDelete", L"Vst_Journal", L"HeaderExJournal"})
        EXPECT_TRUE(Visible(window_->Control(shown))) << testing::PrintToString(std::wstring(shown));
    for (const wchar_t* hidden : {L"BBtn_Save", L"RzURLLabAll", L"RzURLLabNone", L"RzURLLabDefault"})
        EXPECT_FALSE(Visible(window_->Control(hidden))) << testing::PrintToString(std::wstring(hidden));
    // Its page button shows chosen, the two mode buttons the look of a page not chosen.
    for (const wchar_t* button : {L"BBtn_RestoreCenter", L"RzBmpBtnAllQuery", L"RzBmpBtnSelfQuery"}) {
        const widgets::PictureButton* b = window_->Button(button);
        const Face look = std::wstring(button) == L"BBtn_RestoreCenter" ? Face::Hot : Face::Disabled;
        EXPECT_EQ(b->FaceTag(Face::Normal), b->FaceTag(look)) << testing::PrintToString(std::wstring(button));
    }

    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(runs[i].command)));
        const NodeId row = RowOf(ids[i]);
        ASSERT_NE(row, widgets::kNoNode);
        const JournalEntry& entry = View().JournalEntries()[rows_->UserData(row)];
        std::wstring time = entry.Time;
        time[10] = L' ';
        EXPECT_EQ(rows_->Text(row, 0), time);
        EXPECT_EQ(rows_->Text(row, 0).size(), 19u);  // "2026-12-11 01:35:12"
        EXPECT_EQ(rows_->Text(row, 1), runs[i].shown);
        EXPECT_EQ(rows_->Text(row, 2), std::to_wstring(runs[i].items));
        const auto children = rows_->Children(kRoot);
        positions.push_back(static_cast<std::size_t>(std::find(children.begin(), children.end(), row) - children.begin()));
    }
    EXPECT_TRUE(std::is_sorted(positions.rbegin(), positions.rend())) << testing::PrintToString(positions);
    const std::size_t damagedNow = damagedBefore.size() + 1;
    EXPECT_EQ(View().DamagedJournalEntries(), damagedNow);
    EXPECT_EQ(WindowText(window_->Control(L"Lab_JournalNote")), L"另有" + std::to_wstring(damagedNow) + L"条恢复记录已损坏,没有列出。");
    EXPECT_EQ(RowOf(L"20000101-000000"), widgets::kNoNode);

    // "保存" has nothing to store here: the general rules stay as they were.
    View().SaveSettings(false);
    EXPECT_TRUE(answers_.Asked().empty());
    EXPECT_EQ(ReadSettingText(kFileExt), L"*.abc");
    EXPECT_EQ(ReadSettingText(kFileExtEnabled), std::wstring(kDefaultTypeStates) + L"0");

    // The mode buttons lead back to their pages and the footer that goes with them.
    window_->Button(L"RzBmpBtnSelfQuery")->Click();
    EXPECT_EQ(window_->CurrentPage(), Page::SettingsTypes);
    EXPECT_TRUE(Visible(window_->Control(L"BBtn_Save")));
    EXPECT_FALSE(Visible(window_->Control(L"BBtn_JournalRestore")));
    EXPECT_EQ(window_->Button(L"BBtn_RestoreCenter")->FaceTag(Face::Normal),
              window_->Button(L"BBtn_RestoreCenter")->FaceTag(Face::Disabled));
    EXPECT_TRUE(RemoveFolderTree(damaged));
}

TEST_F(RestoreCenterTest, RestoreAsksFirstThenPutsTheValuesBackAndTheEntryLeaves) {
    const std::wstring id = Record(L"reg fix", {{L"Run", L"C:\\程序\\旧.exe -min"}, {L"Other", L"x"}});
    ASSERT_FALSE(Value(L"Run"));
    OpenRestoreCenter();
    const NodeId row = RowOf(id);
    ASSERT_NE(row, widgets::kNoNode);

    // Nothing chosen: nothing is asked or restored.
    Press(L"BBtn_JournalRestore", AnswerYes);
    EXPECT_EQ(AskedTexts(), std::vector<std::wstring>{L"请先选择一条恢复记录!"});
    EXPECT_FALSE(Value(L"Run"));

    rows_->Select(row);
    const std::wstring question = L"要把这条记录中的内容恢复到原来的位置吗?\r\n" + rows_->Text(row, 0) + L"  注册表清理  项目数:2";
    Press(L"BBtn_JournalRestore", AnswerNo);
    ASSERT_EQ(answers_.Asked().size(), 1u);
    EXPECT_EQ(answers_.Asked()[0].Kind, PromptKind::YesNo);
    EXPECT_EQ(answers_.Asked()[0].Text, question);
    EXPECT_FALSE(Value(L"Run"));
    EXPECT_NE(RowOf(id), widgets::kNoNode);
    EXPECT_TRUE(Journal::OfUser().Load(id));

    rows_->Select(RowOf(id));
    Press(L"BBtn_JournalRestore", AnswerYes);
    EXPECT_EQ(AskedTexts(), (std::vector<std::wstring>{question, L"恢复完成:已恢复2项;0项的原位置已有内容,没有覆盖;0项失败。"}));
    EXPECT_EQ(Value(L"Run"), L"C:\\程序\\旧.exe -min");
    EXPECT_EQ(Value(L"Other"), L"x");
    EXPECT_EQ(RowOf(id), widgets::kNoNode);
    EXPECT_FALSE(Journal::OfUser().Load(id));
    // Nothing of it is left to be counted as damaged later.
    EXPECT_FALSE(test::PathExists(Journal::OfUser().Folder() + L"\\" + id));
    EXPECT_TRUE(App().UiIdle);
}

TEST_F(RestoreCenterTest, SomethingThereNowIsKeptAndDeleteRemovesTheEntryAfterYes) {
    const std::wstring id = Record(L"reg fix", {{L"Kept", L"old"}});
    ASSERT_TRUE(WriteRegString(key_.root(), key_.path(), L"Kept", L"new"));
    OpenRestoreCenter();
    rows_->Select(RowOf(id));
    Press(L"BBtn_JournalRestore", AnswerYes);
    ASSERT_EQ(answers_.Asked().size(), 2u);
    EXPECT_EQ(answers_.Asked()[1].Text,
              L"恢复完成:已恢复0项;1项的原位置已有内容,没有覆盖;0项失败。\r\n没有恢复的项目仍留在这条记录中。");
    EXPECT_EQ(Value(L"Kept"), L"new");
    const NodeId row = RowOf(id);
    ASSERT_NE(row, widgets::kNoNode);
    EXPECT_EQ(rows_->Text(row, 2), L"1");

    // "删除": nothing without a choice, nothing after No, the entry and all it kept after Yes.
    Press(L"BBtn_JournalDelete", AnswerYes);
    EXPECT_EQ(AskedTexts(), std::vector<std::wstring>{L"请先选择一条恢复记录!"});
    rows_->Select(row);
    Press(L"BBtn_JournalDelete", AnswerNo);
    ASSERT_EQ(answers_.Asked().size(), 1u);
    EXPECT_EQ(answers_.Asked()[0].Kind, PromptKind::YesNo);
    EXPECT_EQ(answers_.Asked()[0].Text.rfind(L"要删除这条恢复记录吗?", 0), 0u);
    EXPECT_TRUE(Journal::OfUser().Load(id));
    rows_->Select(RowOf(id));
    Press(L"BBtn_JournalDelete", AnswerYes);
    EXPECT_EQ(answers_.Asked().size(), 1u);
    EXPECT_EQ(RowOf(id), widgets::kNoNode);
    EXPECT_FALSE(Journal::OfUser().Load(id));
    EXPECT_FALSE(test::PathExists(Journal::OfUser().Folder() + L"\\" + id));
    EXPECT_EQ(Value(L"Kept"), L"new");

    // An entry that went meanwhile (another window, the console) is said to be unreadable.
    const std::wstring gone = Record(L"reg fix", {{L"Gone", L"1"}});
    window_->Button(L"RzBmpBtnAllQuery")->Click();
    window_->Button(L"BBtn_RestoreCenter")->Click();
    rows_->Select(RowOf(gone));
    ASSERT_TRUE(Journal::OfUser().Remove(gone));
    Press(L"BBtn_JournalRestore", AnswerYes);
    ASSERT_EQ(answers_.Asked().size(), 2u);
    EXPECT_EQ(answers_.Asked()[1].Text, L"这条恢复记录无法读取,可能已被删除或已损坏。");
    EXPECT_EQ(RowOf(gone), widgets::kNoNode);
    EXPECT_FALSE(Value(L"Gone"));
}

}  // namespace
}  // namespace tidemark

// The settings view (top tab 6): the settings tree, the file types of the general and the
// custom rules (built-in types, ticked or not, and the user's own), the cleaning-method page,
// and saving; and the restore center, which lists the undo journal's entries and puts one back
// or removes it. Its page buttons are the header strip's two mode buttons and "恢复中心".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/views/view.h"
#include "app/widgets/tree_list_model.h"
#include "undo/journal.h"

namespace tidemark {

namespace widgets {
class LinkLabel;
class PictureButton;
class TreeList;
}  // namespace widgets

class SettingsView final : public View {
public:
    // A row of the settings tree.
    struct TSetUpData {
        std::wstring name;
        int page;  // 1 general, 2 custom, 3 method, 4 restore center; 0 for the root
        int kind;  // 0 root, 1 page
    };
    // A row of the type list.
    struct TSetUpDataItems {
        std::wstring description, type;
        std::wstring state;      // "0" ticked, "1" not
        std::wstring userAdded;  // "1" for a type the user added
    };

    SettingsView(TFBrimMain& window, ControlTable& table);
    ~SettingsView() override;

    void TabPressed() override;
    void SetChecksInPage(Page page, bool checked) override;

    // A mode button pressed (its face already marked): "清理方式设置" (the method page) or
    // "通用清理规则设置" (the general rules).
    void ModeChosen(bool methodPage);
    // The settings tree's rows, in the interface language.
    void FillSettingsTree();
    // 0 general, 1 custom, 2 method, 3 restore center
    int SettingsPage() const { return settingsPage_; }
    // Selects the tree's entry for page (1 general, 2 custom, 3 method, 4 restore center) and
    // shows it.
    void SelectSettingsEntry(int page);
    void BBtn_SetAddClick();
    void DeleteUserType();  // the focused row of the type list
    void RecommendedTypes();
    void SaveSettings(bool silent);

    // The restore center. The list's rows hold an index into JournalEntries(), read from the
    // user's journal each time the page is shown and after every restore or removal.
    const std::vector<JournalEntry>& JournalEntries() const { return entries_; }
    std::size_t DamagedJournalEntries() const { return damaged_; }
    // "恢复" and "删除" on the selected entry, each after the user's Yes.
    void RestoreJournalEntry();
    void DeleteJournalEntry();

private:
    // The chosen entry's id once the user said yes to question (text id); nothing otherwise, and
    // nothing while another operation runs.
    std::optional<std::wstring> ConfirmChosenEntry(int question);
    void SettingsTreeSelected(widgets::NodeId node);
    void ShowSettingsPage(int page);
    void ShowPageFrame(int page);
    void AddTypeRow(const TSetUpDataItems& item);
    void ShowTypeMenu(widgets::NodeId node, POINT screen);
    void FillJournalList();
    const JournalEntry* SelectedJournalEntry() const;

    widgets::TreeList* typeList_ = nullptr;
    HWND typeEdit_ = nullptr;
    HWND methodBox_ = nullptr;
    HWND pageTitle_ = nullptr;  // the chosen entry's name
    widgets::LinkLabel* selectAll_ = nullptr;
    widgets::LinkLabel* selectNone_ = nullptr;
    widgets::LinkLabel* recommended_ = nullptr;
    widgets::PictureButton* restoreCenter_ = nullptr;
    HWND journalNote_ = nullptr;
    widgets::TreeListModel tree_;
    widgets::TreeListModel types_;
    widgets::TreeListModel journal_;
    std::vector<TSetUpData> setUpData_;
    std::vector<TSetUpDataItems> setItems_;
    std::vector<JournalEntry> entries_;
    std::size_t damaged_ = 0;
    int settingsPage_ = 2;
    int busy_ = 0;  // a restore runs
};

}  // namespace tidemark

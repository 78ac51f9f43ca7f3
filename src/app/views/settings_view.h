// The settings view (top tab 6): the settings tree, the file types of the general and the
// custom rules (built-in types, ticked or not, and the user's own), the cleaning-method page,
// and saving. Its two page buttons are the header strip's mode buttons.
#pragma once

#include <string>
#include <vector>

#include "app/views/view.h"
#include "app/widgets/tree_list_model.h"

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
        int page;  // 1 general, 2 custom, 3 method; 0 for the root
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
    int SettingsPage() const { return settingsPage_; }  // 0 general, 1 custom, 2 method
    // Selects the tree's entry for page (1 general, 2 custom, 3 method) and shows it.
    void SelectSettingsEntry(int page);
    void BBtn_SetAddClick();
    void DeleteUserType();  // the focused row of the type list
    void RecommendedTypes();
    void SaveSettings(bool silent);

private:
    void SettingsTreeSelected(widgets::NodeId node);
    void ShowSettingsPage(int page);
    void AddTypeRow(const TSetUpDataItems& item);
    void ShowTypeMenu(widgets::NodeId node, POINT screen);

    widgets::TreeList* typeList_ = nullptr;
    HWND typeEdit_ = nullptr;
    HWND methodBox_ = nullptr;
    HWND pageTitle_ = nullptr;  // the chosen entry's name
    widgets::LinkLabel* selectAll_ = nullptr;
    widgets::LinkLabel* selectNone_ = nullptr;
    widgets::LinkLabel* recommended_ = nullptr;
    widgets::TreeListModel tree_;
    widgets::TreeListModel types_;
    std::vector<TSetUpData> setUpData_;
    std::vector<TSetUpDataItems> setItems_;
    int settingsPage_ = 2;
};

}  // namespace tidemark

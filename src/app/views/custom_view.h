// The custom-cleaning view (top tab 3, not shown among the tabs): the user's own folders, the
// file classes found in them and the files to delete, behind three sub-tabs.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/views/view.h"
#include "app/widgets/tree_list_model.h"

namespace tidemark {

namespace widgets {
class PictureButton;
}

class CustomView final : public View {
public:
    CustomView(TFBrimMain& window, ControlTable& table);

    void TabPressed() override;
    // "全选" and "反选" tick or untick every folder of the list.
    void SetChecksInPage(Page page, bool checked) override;

    // Sub-tabs 1 to 3: the chosen one shows its highlight (App().CurrentSubView).
    void SelectSubTab(int tab);
    void DeselectSubTab();
    // The restart-deletion list: files whose direct deletion failed in the last junk clean.
    widgets::TreeListModel& DeleteListRows() { return deleteList_; }

    // The custom folder list ("CustomFileExt") and its menu: "添加自定义目录" (the folder dialog),
    // "删除自定义目录" (the row), "设置自定义规则" (the settings' custom rule page).
    widgets::TreeListModel& FolderRows() { return folders_; }
    void AddCustomFolder();
    // Appends path unless it is listed already; false when it is refused ("###" in it).
    bool AddCustomFolderPath(const std::wstring& path);
    void DeleteCustomFolder(widgets::NodeId row);
    void EditCustomRules();
    // Lists the stored folders again.
    void RefillFolders();
    // The ticked rows' folders, in list order (what "扫描" and "清理" walk).
    std::vector<std::wstring> TickedFolders() const;

private:
    // Whether the custom rule set holds any rule a scan could use.
    bool HasCustomRules() const;
    void ShowFolderMenu(widgets::NodeId row, POINT screen);

    std::array<widgets::PictureButton*, 4> subTabs_{};  // by sub-tab number, 1 to 3
    HWND hint_ = nullptr;                               // "(右击添加清理目录)"
    widgets::PictureButton* scan_ = nullptr;
    widgets::PictureButton* clean_ = nullptr;
    // Footer buttons of other views, which this view hides.
    std::array<widgets::PictureButton*, 4> otherViewsButtons_{};
    widgets::TreeListModel folders_;     // the user's folders
    widgets::TreeListModel items_;       // what was found in them, by class
    widgets::TreeListModel deleteList_;  // what is to be deleted
};

}  // namespace tidemark

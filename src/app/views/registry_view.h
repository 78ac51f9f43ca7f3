// The registry view (top tab 4): a start button, then the registry entries that name files no
// longer there, found by category and removed by "清理". The categories to scan are a list of
// their own, outside the page set. The view also keeps the health score panel: the score counts
// the same findings, in the same list.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/views/view.h"
#include "app/widgets/tree_list_model.h"
#include "registry/registry_scan.h"

namespace tidemark {

namespace widgets {
class PictureButton;
}

class RegistryView final : public View {
public:
    // startSwitch: with "/clearreg" the scan starts with the categories as they are.
    RegistryView(TFBrimMain& window, ControlTable& table, StartSwitch startSwitch);

    void TabPressed() override;
    void SetChecksInPage(Page page, bool checked) override;

    ~RegistryView() override;

    // The start button: the result list, every category ticked, and the scan started.
    void StartRegistryPage();
    // The "/clearreg" start: the same page, its scan started once the message loop runs (so the
    // window is up and shows it, and no message box comes before the window).
    void StartRegistryPageFromSwitch();
    // "扫描": the ticked categories, in their order.
    void StartRegistryScan();
    // "扫描中止".
    void StopClick();
    // "清理": the ticked findings, each judged again just before it goes. When the only
    // failures were refusals for want of administrator rights, the line above the list says so
    // (text 90052) instead of the failure box.
    void FixRegistry();
    // "定位注册表" on the selected finding: the registry editor opens at its key.
    void LocateRegistryEntry();
    // "评分": counts the findings of categories 0-2 and the free disk space, and shows the score.
    void RefreshHealthScore();
    // The score panel's two lines: the registry line opens this view, the disk line the junk view.
    void ScoreLineClick(int marker);

    bool Busy() const { return busy_ > 0; }
    const std::vector<TDataRegItems>& Items() const { return items_; }
    widgets::TreeListModel& CategoryRows() { return categories_; }
    widgets::TreeListModel& FoundRows() { return found_; }
    int Score() const { return score_; }
    int ScoreBarWidth() const { return barWidth_; }
    // Where "定位注册表" hands the key (the registry-jump library; tests look at the path).
    std::function<void(const std::wstring& fullKeyPath)> Jump;

private:
    static void CALLBACK DeferredScan(HWND, UINT, UINT_PTR, DWORD);
    void TakeFooterButtons();
    void ClearResults();
    void AddFinding(const TDataRegItems& row);
    void ShowCount();
    void ShowScanBanner(bool scanning);
    void ShowScore();
    std::vector<int> TickedCategories() const;

    StartSwitch startSwitch_;
    std::vector<TDataRegDefault> categoryRecords_;
    widgets::PictureButton* start_ = nullptr;
    widgets::PictureButton* scan_ = nullptr;
    widgets::PictureButton* clean_ = nullptr;
    widgets::PictureButton* stop_ = nullptr;
    widgets::PictureButton* scoreButton_ = nullptr;
    widgets::PictureButton* regLine_ = nullptr;
    widgets::PictureButton* diskLine_ = nullptr;
    HWND viewIcon_ = nullptr;
    HWND loading_ = nullptr;
    HWND count_ = nullptr;        // "Label4": the finding count, also what the score reads
    HWND elapsed_ = nullptr;      // "Lab_TimeRegCount"
    HWND finalCount_ = nullptr;   // "Lab_FinRegNum"
    HWND finalTime_ = nullptr;    // "Lab_FinRegTime"
    HWND diskPercent_ = nullptr;  // "Lab_DiskPercent": hidden, what the score reads
    HWND scoreText_ = nullptr;
    HWND scoreBar_ = nullptr;
    HWND regLineText_ = nullptr;
    HWND diskLineText_ = nullptr;
    HWND adminNote_ = nullptr;    // "Lab_RegAdminNote"
    std::vector<HWND> scanningBanner_, finishedBanner_, finishedTime_;
    widgets::TreeListModel categories_;
    // The findings; each row's user data is its index in items_.
    widgets::TreeListModel found_;
    std::vector<TDataRegItems> items_;
    std::uint64_t countValue_ = 0;
    int score_ = 44;
    int barWidth_ = 0;
    int busy_ = 0;
};

}  // namespace tidemark

// The junk-file view (top tab 2): automatic cleaning (a start button) or custom cleaning (the
// folders to walk), then the list of junk found. Its two modes are the header strip's mode
// buttons; the view remembers the last one chosen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/views/view.h"
#include "app/widgets/tree_list_model.h"
#include "junk/junk_clean.h"
#include "junk/junk_scan.h"

namespace tidemark {

namespace widgets {
class PictureButton;
class LinkLabel;
}  // namespace widgets

class JunkView final : public View {
public:
    JunkView(TFBrimMain& window, ControlTable& table);

    void TabPressed() override;
    void RescanPressed() override;
    void SetChecksInPage(Page page, bool checked) override;

    // A mode button pressed (its face already marked): "自动清理" (automatic) or "自定义清理".
    void ModeChosen(bool automatic);
    bool CustomMode() const { return customMode_; }
    // The start button: the result list, and the scan started.
    void StartJunkPage();
    // Custom cleaning's start button: as StartJunkPage, once a folder is ticked.
    void StartCustomScan();
    // Forgets the junk found and its list (the custom view does whenever it is entered: a clean
    // from there then acts only on a list shown again).
    void ClearResults() {
        found_.Clear();
        result_ = JunkScanResult{};
        groupRows_.clear();
        fileRows_.clear();
        toClean_ = 0;
    }

    // "扫描" / "重新扫描": the scan of the current mode's folders. Only while the window is idle.
    void BBtn_ScanClick();
    // The custom view's scan: its folders with the custom rule set, listed on this view's result
    // page (where "扫描" scans them again until a mode of this view is chosen).
    void ScanCustomViewFolders(std::vector<std::wstring> folders);
    // The custom view's "清理": a clean acts only on a list a scan has shown. When the result page
    // shows the scan of exactly these folders, its ticked files are cleaned; otherwise the folders
    // are scanned and listed, and nothing is removed until the user cleans what the list shows.
    void CleanCustomViewFolders(std::vector<std::wstring> folders);
    // "清理": removes the ticked files of ticked groups by the stored method.
    void BBtn_ClearClick();
    // "扫描中止" and the progress panel's "取消" / "确定".
    void StopScan();
    void CancelClean();
    void CloseProgress();

    // What the automatic mode walks: the fixed drives, unless folders are given here.
    void SetAutomaticFolders(std::vector<std::wstring> folders) { automaticFolders_ = std::move(folders); }
    const JunkScanResult& Result() const { return result_; }
    widgets::TreeListModel& FoundRows() { return found_; }
    // The file row of result file index (kNoNode when it has none).
    widgets::NodeId FileRow(std::size_t index) const {
        return index < fileRows_.size() ? fileRows_[index] : widgets::kNoNode;
    }
    const JunkCleanTotals& LastClean() const { return lastClean_; }

    // The folder tree: one row per fixed drive (no CD-ROM, A: or B:), sub-folders added when a
    // row first opens, ticks following the parent.
    widgets::TreeListModel& FolderRows() { return folders_; }
    std::wstring FolderPath(widgets::NodeId row) const;
    void ExpandFolderRow(widgets::NodeId row);
    // "将目录导入到自定义清理": the row's folder joins the custom folder list.
    void ImportCustomFolder(widgets::NodeId row);
    // The folders a custom scan walks: fully ticked rows, partly ticked rows entered.
    std::vector<std::wstring> CustomFolderList() const;

    // What the last clean removed, in bytes (files deleted or put in the recycle bin).
    std::uint64_t FreedBytes() const { return freedBytes_; }
    // "定位文件" on a result row: only a file row whose file is there.
    bool CanLocate(widgets::NodeId row) const;

    // A junk scan or clean of this view is running.
    bool Busy() const { return busy_ > 0; }

private:
    int busy_ = 0;
    std::vector<std::wstring> FolderList() const;
    void FillFolderRoots();
    widgets::NodeId AddFolderRow(widgets::NodeId parent, const std::wstring& path, const std::wstring& name,
                                 widgets::CheckState check);
    std::vector<std::wstring> folderPaths_;  // by row user data
    void ShowScanning(bool scanning);

    HWND label2_ = nullptr, label3_ = nullptr, inforPath_ = nullptr, time_ = nullptr;
    HWND totalNum_ = nullptr, totalSize_ = nullptr, clearNum_ = nullptr;
    std::vector<HWND> scanBanner_, finishBanner_, clearLabels_;
    HWND panelDel_ = nullptr, barBack_ = nullptr, bar_ = nullptr, percent_ = nullptr;
    widgets::PictureButton* stop_ = nullptr;
    widgets::PictureButton* rescan_ = nullptr;
    widgets::PictureButton* cancel_ = nullptr;
    widgets::PictureButton* closeClear_ = nullptr;
    std::vector<std::wstring> automaticFolders_;
    JunkScanResult result_;
    std::vector<widgets::NodeId> groupRows_, fileRows_;
    std::uint64_t toClean_ = 0;  // what the last scan listed ("Lab_DelNum")
    JunkCleanTotals lastClean_;
    std::uint64_t freedBytes_ = 0;
    HWND loading_ = nullptr;  // the busy animation

    widgets::PictureButton* start_ = nullptr;       // the start page's large button
    widgets::PictureButton* customStart_ = nullptr;  // custom cleaning's "开始扫描"
    widgets::PictureButton* scan_ = nullptr;
    widgets::PictureButton* clean_ = nullptr;
    widgets::LinkLabel* selectAll_ = nullptr;
    widgets::LinkLabel* selectNone_ = nullptr;
    bool customMode_ = false;
    // The custom view's folders while its scan's results are shown (empty otherwise).
    std::optional<std::vector<std::wstring>> customViewFolders_;
    widgets::TreeListModel folders_;  // what a custom scan walks
    // The junk found; the junk engine's records will stand behind these rows.
    widgets::TreeListModel found_;
};

}  // namespace tidemark

// The usage-trace view (top tab 1): three group cards choose what to look for (Internet
// Explorer, system and software traces), then the trace tree: groups, their catalogue items and
// the traces each item holds, ticked for the clean.
#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <functional>
#include <string>
#include <vector>

#include "app/views/view.h"
#include "app/widgets/tree_list_model.h"
#include "traces/trace_engine.h"

namespace tidemark {

namespace widgets {
class PictureButton;
class PictureView;
}

class TracesView final : public View {
public:
    TracesView(TFBrimMain& window, ControlTable& table);

    void TabPressed() override;
    void RescanPressed() override { StartTraceScan(); }
    void SetChecksInPage(Page page, bool checked) override;

    // Start-up: the three group rows with their items, expanded.
    void BuildTraceTree();
    // The start button: the trace list, and the rescan that runs the scan.
    void BeginTraceScan();
    // "重新扫描": every item of the chosen groups scanned afresh.
    void StartTraceScan();
    // "立即清理": the ticked traces removed, then back to the group cards.
    void CleanTraces();
    // A group card pressed: chosen or not, shown by its face.
    void ToggleTraceGroup(int group);
    bool GroupChosen(int group) const { return tree_.Groups[group].Selected; }

    // The row menu's "定位文件": enabled when the row names an existing path; shows it selected
    // in a folder window.
    bool CanLocate(widgets::NodeId row) const;
    void LocateTraceFile(widgets::NodeId row);

    const TraceTree& Traces() const { return tree_; }
    widgets::TreeListModel& Rows() { return rows_; }
    widgets::NodeId GroupRow(int group) const { return groupRows_[group]; }
    widgets::NodeId ItemRow(int group, int item) const { return itemRows_[group][item]; }
    std::wstring Status() const;
    bool Busy() const { return busy_ > 0; }

    // The browser history's clear; empty: the system's history store (tests stand in for it).
    std::function<bool()> ClearHistory;

private:
    class RowSink;
    std::wstring ItemText(const TraceItem& item) const;
    // What an entry row says: a file's path as the file system spells it; a value's key from
    // its root, then the value's name.
    std::wstring EntryText(const TraceEntry& entry) const;
    // The path with each existing part in the letter case the file system keeps (the engine
    // compares upper-cased folders); the parts it cannot find stay as they are.
    std::wstring PathAsStored(const std::wstring& path) const;
    // The item's row and its entry rows, as the engine's record holds them now.
    void RefreshItem(int group, int item);
    void RefreshItemOf(int table, int row);
    // One row under its item for an entry a scan has just found.
    void AddFoundRow(const TraceEntry& entry);
    // The ticks of the entry rows, into the records the clean works on.
    void ReadTicks();
    void SetStatus(int textId);

    widgets::PictureButton* start_ = nullptr;   // "开始扫描" in the footer
    widgets::PictureButton* rescan_ = nullptr;  // "重新扫描"
    widgets::PictureButton* clean_ = nullptr;   // "立即清理"
    widgets::PictureButton* stop_ = nullptr;    // "扫描中止"
    HWND status_ = nullptr;                     // the slogan line, the state while busy
    std::array<widgets::PictureButton*, 3> cards_{};
    TraceTree tree_ = MakeTraceTree();
    widgets::TreeListModel rows_;
    std::array<widgets::NodeId, 3> groupRows_{};
    std::array<std::vector<widgets::NodeId>, 3> itemRows_;
    std::wstring elapsed_;
    int busy_ = 0;
    widgets::TreeList* list_ = nullptr;
    HWND loading_ = nullptr;  // the busy animation
    mutable std::map<std::wstring, std::wstring> storedFolders_;  // upper-cased folder -> as stored
};

}  // namespace tidemark

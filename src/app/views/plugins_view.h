// The plug-in view (top tab 5): pressing the tab scans the browser plug-ins; each plug-in found
// is a card the user ticks, and "清理" removes the ticked ones, runs the repairs that follow a
// clean and scans again. The hidden result tree behind the cards is PluginResults.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/views/plugin_cards.h"
#include "app/views/plugin_results.h"
#include "app/views/view.h"
#include "engine/plugin_clean.h"

namespace tidemark {

class TCleaner;
class TPluginObj;
struct PluginFound;

namespace widgets {
class PictureButton;
}

// What follows every plug-in clean (the browser and shell repairs), handed the plain file
// deletion and the folder-tree removal.
using PostCleanRepairs = std::function<void(bool (*deleteFile)(const std::wstring&),
                                            bool (*removeTree)(const std::wstring&))>;
PostCleanRepairs& PluginPostCleanRepairs();

class PluginsView final : public View {
public:
    PluginsView(TFBrimMain& window, ControlTable& table);
    ~PluginsView() override;

    void TabPressed() override;
    // The footer links tick or clear every plug-in.
    void SetChecksInPage(Page page, bool checked) override;

    void btnScanClick();
    // The clean of the ticked plug-ins, then a rescan. What stayed for want of administrator
    // rights is said once on the line above the cards (text 90052); when nothing stayed for any
    // other reason, no failure box follows.
    void btnCleanClick();
    // A card's check box, or its "查询详情" link (which opens the details window modally).
    void CardCheckClick(int index);
    void CardDetailsClick(int index);
    // Drops the cards and the plug-in results (their objects are about to go).
    void ForgetResults();
    // The result tree's actions on its focused node. The tree is never shown, so only "删除"
    // could be reached (by its shortcut), and only once a node has the focus.
    void actDeleteExecute();
    void actUnloadExecute();
    void actSelectAllExecute();
    void actUnselectAllExecute();
    void actFilePropertyExecute();
    void actFindObjExecute();
    void actQueryWebInfoExecute();
    void actStopServerExecute();
    void actOpenByRegeditExecute();

    // A scan or clean loop is running (the window defers its close until it has unwound).
    bool Busy() const { return busy_ > 0; }
    PluginResults& Results() { return results_; }
    PluginCards* Cards() { return cards_.get(); }
    // Lines of a card's details window.
    std::vector<std::wstring> DetailsOf(int index) const;
    // What the last clean did: each object's result, the steps after them and the commit of
    // the boot-time list.
    const PluginCleanResult& LastClean() const { return lastClean_; }

private:
    void OnNewPlugin(const PluginFound& found, widgets::NodeId category);
    void BuildCards();
    void UpdateCleanButton();
    widgets::NodeId ObjectAtCard(int index) const;
    void SetPluginChecks(bool checked);

    widgets::PictureButton* scan_ = nullptr;
    widgets::PictureButton* clean_ = nullptr;
    HWND label_ = nullptr;    // "LabPlugin"
    HWND loading_ = nullptr;  // "PanlLoading"
    PluginResults results_;
    std::unique_ptr<PluginCards> cards_;
    PluginCleanResult lastClean_;
    int busy_ = 0;
};

}  // namespace tidemark

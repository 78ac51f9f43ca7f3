// The usage-trace view (top tab 1): three group cards choose what to look for (Internet
// Explorer, system and software traces), then the list of traces found.
#pragma once

#include <array>

#include "app/views/view.h"
#include "app/widgets/tree_list_model.h"

namespace tidemark {

namespace widgets {
class PictureButton;
}

class TracesView final : public View {
public:
    TracesView(TFBrimMain& window, ControlTable& table);

    void TabPressed() override;
    void SetChecksInPage(Page page, bool checked) override;

    // The start button: the trace list, and the rescan that runs the scan.
    void BeginTraceScan();
    // A group card pressed: chosen or not, shown by its face.
    void ToggleTraceGroup(int group);
    bool GroupChosen(int group) const { return chosen_[group]; }

private:
    widgets::PictureButton* start_ = nullptr;   // "开始扫描" in the footer
    widgets::PictureButton* rescan_ = nullptr;  // "重新扫描"
    widgets::PictureButton* clean_ = nullptr;   // "立即清理"
    std::array<widgets::PictureButton*, 3> cards_{};
    std::array<bool, 3> chosen_{true, true, true};
    // The traces found; the trace engine's records will stand behind these rows.
    widgets::TreeListModel found_;
};

}  // namespace tidemark

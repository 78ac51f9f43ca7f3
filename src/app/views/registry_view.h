// The registry view (top tab 4): a start button, then the entries found. The categories to
// scan are a list of their own, outside the page set.
#pragma once

#include "app/app_state.h"
#include "app/views/view.h"
#include "app/widgets/tree_list_model.h"

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

    // The start button: the result list, every category ticked, and the scan started.
    void StartRegistryPage();

private:
    StartSwitch startSwitch_;
    widgets::PictureButton* start_ = nullptr;
    widgets::PictureButton* scan_ = nullptr;
    widgets::PictureButton* clean_ = nullptr;
    HWND viewIcon_ = nullptr;
    widgets::TreeListModel categories_;
    // The entries found; the registry engine's records will stand behind these rows.
    widgets::TreeListModel found_;
};

}  // namespace tidemark

// The plug-in view (top tab 5): the plug-ins found, under the list's two root rows; pressing
// the tab starts the scan.
#pragma once

#include "app/views/view.h"
#include "app/widgets/tree_list_model.h"

namespace tidemark {

namespace widgets {
class PictureButton;
}

class PluginsView final : public View {
public:
    PluginsView(TFBrimMain& window, ControlTable& table);

    void TabPressed() override;
    // The footer links tick or clear every row under the first root row only.
    void SetChecksInPage(Page page, bool checked) override;

private:
    widgets::PictureButton* scan_ = nullptr;
    widgets::PictureButton* clean_ = nullptr;
    // The plug-ins found; the plug-in engine's records will stand behind these rows.
    widgets::TreeListModel found_;
};

}  // namespace tidemark

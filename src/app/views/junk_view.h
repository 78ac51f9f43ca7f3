// The junk-file view (top tab 2): automatic cleaning (a start button) or custom cleaning (the
// folders to walk), then the list of junk found. Its two modes are the header strip's mode
// buttons; the view remembers the last one chosen.
#pragma once

#include "app/views/view.h"
#include "app/widgets/tree_list_model.h"

namespace tidemark {

namespace widgets {
class PictureButton;
class LinkLabel;
}  // namespace widgets

class JunkView final : public View {
public:
    JunkView(TFBrimMain& window, ControlTable& table);

    void TabPressed() override;
    void SetChecksInPage(Page page, bool checked) override;

    // A mode button pressed (its face already marked): "自动清理" (automatic) or "自定义清理".
    void ModeChosen(bool automatic);
    bool CustomMode() const { return customMode_; }
    // The start button: the result list, and the scan started.
    void StartJunkPage();
    // Custom cleaning's start button: as StartJunkPage, once a folder is ticked.
    void StartCustomScan();
    // Forgets the junk found (the custom view does when it is entered from this view).
    void ClearResults() { found_.Clear(); }

private:
    widgets::PictureButton* start_ = nullptr;       // the start page's large button
    widgets::PictureButton* customStart_ = nullptr;  // custom cleaning's "开始扫描"
    widgets::PictureButton* scan_ = nullptr;
    widgets::PictureButton* clean_ = nullptr;
    widgets::LinkLabel* selectAll_ = nullptr;
    widgets::LinkLabel* selectNone_ = nullptr;
    bool customMode_ = false;
    widgets::TreeListModel folders_;  // what a custom scan walks
    // The junk found; the junk engine's records will stand behind these rows.
    widgets::TreeListModel found_;
};

}  // namespace tidemark

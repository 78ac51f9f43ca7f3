#include "app/views/junk_view.h"

#include "app/main_window.h"
#include "app/widgets/link_label.h"
#include "app/widgets/picture_button.h"
#include "lang/ui_texts.h"
#include "support/usage_log.h"

namespace tidemark {

JunkView::JunkView(TFBrimMain& window, ControlTable& table) : View(window, table, L"JunkView") {
    start_ = controls_.Button(L"RzBmpButton9");
    customStart_ = controls_.Button(L"BBtn_SelfScan");
    scan_ = controls_.Button(L"BBtn_Scan");
    clean_ = controls_.Button(L"BBtn_Clear");
    selectAll_ = controls_.Link(L"RzURLLabAll");
    selectNone_ = controls_.Link(L"RzURLLabNone");
    BindList(L"VST_AllDir", folders_);
    BindList(L"VST_type", found_);
    if (start_) start_->SetOnClick([this] { StartJunkPage(); });
    if (customStart_) customStart_->SetOnClick([this] { StartCustomScan(); });
}

void JunkView::TabPressed() {
    SendUsageEvent(UsageEvent::TabJunk);
    window_.MarkTopTab(2);
    window_.ShowActionSet(ActionSet::JunkModes);
    // Back in the mode chosen last, as if its button were pressed.
    window_.MarkModeButton(!customMode_);
    ModeChosen(!customMode_);
}

void JunkView::SetChecksInPage(Page page, bool checked) {
    if (page == Page::JunkFolders) SetTopRowChecks(folders_, checked);
    if (page == Page::JunkResults) SetTopRowChecks(found_, checked);
}

void JunkView::ModeChosen(bool automatic) {
    customMode_ = !automatic;
    ShowControl(selectAll_, customMode_);
    ShowControl(selectNone_, customMode_);
    if (customMode_) PlaceAtSlot(customStart_, kCleanNowSlot);
    ShowControl(customStart_, customMode_);
    window_.ShowPage(customMode_ ? Page::JunkFolders : Page::JunkStart);
}

void JunkView::StartJunkPage() {
    window_.ShowActionSet(ActionSet::JunkScan);
    PlaceAtSlot(scan_, kRescanSlot);
    PlaceAtSlot(clean_, kCleanNowSlot);
    window_.ShowPage(Page::JunkResults);
    if (scan_) scan_->Click();
}

void JunkView::StartCustomScan() {
    bool anyTicked = false;
    folders_.ForEachDescendant(widgets::kRoot, [&](widgets::NodeId node) {
        const widgets::CheckState state = folders_.GetCheck(node);
        anyTicked = anyTicked || state == widgets::CheckState::Checked || state == widgets::CheckState::Mixed;
    });
    if (!anyTicked) {
        ShowMessageById(90019);
        return;
    }
    StartJunkPage();
}

}  // namespace tidemark

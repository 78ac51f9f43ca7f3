#include "app/views/traces_view.h"

#include "app/main_window.h"
#include "app/widgets/picture_button.h"
#include "lang/ui_texts.h"
#include "support/usage_log.h"

namespace tidemark {

using widgets::Face;

TracesView::TracesView(TFBrimMain& window, ControlTable& table) : View(window, table, L"TracesView") {
    start_ = controls_.Button(L"BBtn_ScanHengji");
    rescan_ = controls_.Button(L"BBtn_ScanClear");
    clean_ = controls_.Button(L"BBtn_hengjiClear");
    cards_ = {controls_.Button(L"RzBmpButton1"), controls_.Button(L"RzBmpButton2"), controls_.Button(L"RzBmpButton5")};
    BindList(L"VST_DefaultData", found_);
    if (start_) start_->SetOnClick([this] { BeginTraceScan(); });
    for (int group = 0; group < 3; ++group)
        if (cards_[group]) cards_[group]->SetOnClick([this, group] { ToggleTraceGroup(group); });
}

void TracesView::TabPressed() {
    SendUsageEvent(UsageEvent::TabTraces);
    window_.MarkTopTab(1);
    window_.ShowActionSet(ActionSet::TraceStart);
    window_.ShowPage(Page::TraceGroups);
}

void TracesView::SetChecksInPage(Page page, bool checked) {
    if (page == Page::TraceResults) SetTopRowChecks(found_, checked);
}

void TracesView::BeginTraceScan() {
    if (!chosen_[0] && !chosen_[1] && !chosen_[2]) {
        ShowMessageById(90027);
        return;
    }
    window_.ShowPage(Page::TraceResults);
    ShowControl(rescan_);
    ShowControl(clean_);
    ShowControl(start_, false);
    if (rescan_) rescan_->Click();
}

void TracesView::ToggleTraceGroup(int group) {
    widgets::PictureButton* card = cards_[group];
    if (!card) return;
    // The disabled slot holds the other look: swap them, and let the hot face follow.
    card->SwapFaces(Face::Normal, Face::Disabled);
    card->CopyFace(Face::Normal, Face::Hot);
    chosen_[group] = !chosen_[group];
}

}  // namespace tidemark

#include "app/views/registry_view.h"

#include "app/main_window.h"
#include "app/widgets/picture_button.h"
#include "support/usage_log.h"

namespace tidemark {

RegistryView::RegistryView(TFBrimMain& window, ControlTable& table, StartSwitch startSwitch)
    : View(window, table, L"RegistryView"), startSwitch_(startSwitch) {
    start_ = controls_.Button(L"RzBmpButton7");
    scan_ = controls_.Button(L"BBtn_Scan");
    clean_ = controls_.Button(L"BBtn_Clear");
    viewIcon_ = controls_.Icon(L"Img_ViewIcon");
    BindList(L"VST_REG", categories_);
    BindList(L"VST_RegItems", found_);
    if (start_) start_->SetOnClick([this] { StartRegistryPage(); });
}

void RegistryView::TabPressed() {
    SendUsageEvent(UsageEvent::TabRegistry);
    window_.MarkTopTab(4);
    window_.ShowActionSet(ActionSet::RegistryStart);
    window_.ShowPage(Page::RegistryStart);
}

void RegistryView::SetChecksInPage(Page page, bool checked) {
    if (page == Page::RegistryResults) SetTopRowChecks(found_, checked);
}

void RegistryView::StartRegistryPage() {
    window_.ShowActionSet(ActionSet::RegistryScan);
    PlaceAtSlot(scan_, kRescanSlot);
    PlaceAtSlot(clean_, kCleanNowSlot);
    window_.ShowPage(Page::RegistryResults);
    if (startSwitch_ != StartSwitch::ClearReg)
        categories_.ForEachDescendant(widgets::kRoot, [&](widgets::NodeId node) {
            if (categories_.GetCheckKind(node) != widgets::CheckKind::None)
                categories_.SetCheck(node, widgets::CheckState::Checked);
        });
    ShowControl(viewIcon_);
    if (scan_) scan_->Click();
}

}  // namespace tidemark

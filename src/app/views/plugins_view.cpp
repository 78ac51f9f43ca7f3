#include "app/views/plugins_view.h"

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/widgets/picture_button.h"
#include "support/usage_log.h"

namespace tidemark {

PluginsView::PluginsView(TFBrimMain& window, ControlTable& table) : View(window, table, L"PluginsView") {
    scan_ = controls_.Button(L"BBtn_PlugScan");
    clean_ = controls_.Button(L"BBtn_PlugClear");
    BindList(L"VDT1", found_);
    // The buttons report their press first, whatever follows.
    if (scan_) scan_->SetOnClick([] { SendUsageEvent(UsageEvent::PluginScan); });
    if (clean_) clean_->SetOnClick([] { SendUsageEvent(UsageEvent::PluginClean); });
}

void PluginsView::TabPressed() {
    AppState& app = App();
    app.UiIdle = false;
    SendUsageEvent(UsageEvent::TabPlugins);
    window_.MarkTopTab(5);
    window_.ShowActionSet(ActionSet::Plugins);
    window_.ShowPage(Page::Plugins);
    // The scan runs from its button, whatever the button is wired to.
    if (scan_) scan_->Click();
    app.UiIdle = true;
}

void PluginsView::SetChecksInPage(Page page, bool checked) {
    if (page != Page::Plugins) return;
    const widgets::NodeId first = found_.FirstChild(widgets::kRoot);
    if (first == widgets::kNoNode) return;
    const widgets::CheckState state = checked ? widgets::CheckState::Checked : widgets::CheckState::Unchecked;
    found_.BeginUpdate();
    found_.ForEachDescendant(first, [&](widgets::NodeId node) { found_.SetCheck(node, state); });
    found_.EndUpdate();
}

}  // namespace tidemark

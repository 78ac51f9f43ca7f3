#include "app/views/custom_view.h"

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/views/junk_view.h"
#include "app/widgets/picture_button.h"
#include "support/usage_log.h"

namespace tidemark {

using widgets::Face;

CustomView::CustomView(TFBrimMain& window, ControlTable& table) : View(window, table, L"CustomView") {
    for (int tab = 1; tab <= 3; ++tab) {
        subTabs_[tab] = controls_.Button(L"BBtn_MainTab" + std::to_wstring(tab));
        if (subTabs_[tab]) subTabs_[tab]->SetOnClick([this, tab] { SelectSubTab(tab); });
    }
    hint_ = controls_.Label(L"Lab_CurrentInfo");
    scan_ = controls_.Button(L"BBtn_Scan");
    clean_ = controls_.Button(L"BBtn_Clear");
    otherViewsButtons_ = {controls_.Button(L"BBtn_Save"), controls_.Button(L"BBtn_ScanClear"),
                      controls_.Button(L"BBtn_PlugScan"), controls_.Button(L"BBtn_PlugClear")};
    BindList(L"Vst_Custom", folders_);
    BindList(L"VST_Items", items_);
    BindList(L"VST_DeleteList", deleteList_);
}

void CustomView::TabPressed() {
    SendUsageEvent(UsageEvent::TabCustom);
    const bool fromJunk = App().CurrentView == 2;
    window_.MarkTopTab(3);
    SelectSubTab(1);
    ShowControl(hint_);
    // Coming from the junk view, nothing found there or here before stays listed. (Refilling
    // the folder list from the settings comes with the custom-folder engine.)
    if (fromJunk) {
        window_.Junk().ClearResults();
        items_.Clear();
        deleteList_.Clear();
    }
    for (const widgets::PictureButton* button : otherViewsButtons_) ShowControl(button, false);
    ShowControl(clean_);
    ShowControl(scan_);
}

void CustomView::DeselectSubTab() {
    const int current = App().CurrentSubView;
    if (current >= 1 && current <= 3 && subTabs_[current]) subTabs_[current]->CopyFace(Face::StayDown, Face::Normal);
}

void CustomView::SelectSubTab(int tab) {
    DeselectSubTab();
    if (tab >= 1 && tab <= 3 && subTabs_[tab]) {
        subTabs_[tab]->CopyFace(Face::Normal, Face::StayDown);
        subTabs_[tab]->CopyFace(Face::Hot, Face::Normal);
    }
    App().CurrentSubView = tab;
}

}  // namespace tidemark

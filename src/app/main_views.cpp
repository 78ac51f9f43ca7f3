// The views of the main window: top tabs, action sets, mode buttons, start buttons and the
// footer links.
#include <windows.h>
#include <shellapi.h>

#include "app/app_state.h"
#include "app/list_controls.h"
#include "app/main_window.h"
#include "app/widgets/tree_list.h"
#include "lang/ui_texts.h"
#include "support/usage_log.h"

namespace tidemark {

using widgets::Face;

namespace {

// Every control of the header strip and footer that belongs to some state of a view.
const wchar_t* const kStateControls[] = {
    L"Ani_Loading", L"Img_ViewIcon", L"BBtn_ScanClear", L"RzURLLabAll", L"RzURLLabNone", L"BBtn_ScanHengji",
    L"BBtn_SelfScan", L"Lab_TraceSlogan", L"BBtn_hengjiClear", L"RzBmpBtnAllQuery", L"RzBmpBtnSelfQuery",
    L"BBtn_Scan", L"BBtn_Clear", L"Lab_InforPath", L"BBtn_ScanStop", L"SBBtn_RegScanStop", L"Lab_TotalNum",
    L"Label2", L"Lab_Totalsize", L"Label3", L"Lab_ScanFinishTitle", L"Lab_ScanFinish", L"Lab_totalFileNumChar",
    L"Lab_totalFileNum", L"Lab_totalFileSizeChar", L"Lab_totalFileSize", L"Lab_Time", L"Lab_ClearInf",
    L"Lab_ClearNum", L"BBtn_PlugScan", L"BBtn_PlugClear", L"Lab_PlugInfo", L"Lab_RegSlogan", L"SLab_RegScan",
    L"SLab_RegTotalNum", L"Label4", L"Lab_TimeRegCount", L"SLab_RegScanFinishTitle", L"SLab_RegScanFinish",
    L"SLab_RegtotalFileNumChar", L"Lab_FinRegNum", L"SLab_Regtotaltime", L"Lab_FinRegTime", L"BBtn_Save",
    L"RzURLLabDefault",
};

const wchar_t* TabButton(int tab) {
    static const wchar_t* const names[] = {L"", L"BBtn_Tab1", L"BBtn_Tab2", L"BBtn_Tab3",
                                           L"BBtn_Tab4", L"BBtn_Tab5", L"BBtn_Tab6"};
    return tab >= 1 && tab <= 6 ? names[tab] : L"";
}

// The list a page's footer links act on.
const wchar_t* PageList(int page) {
    switch (page) {
    case 1: return L"VST_DefaultData";
    case 3: return L"VST_AllDir";
    case 4: return L"VST_type";
    case 7: return L"VST_RegItems";
    case 8: return L"Vst_SetItems";
    case 9: return L"VST_REG";
    default: return nullptr;
    }
}

}  // namespace

void TFBrimMain::WireHandlers() {
    const struct { const wchar_t* name; void (TFBrimMain::*handler)(); } buttons[] = {
        {L"BBtn_InitOk", &TFBrimMain::BBtn_InitOkClick},
        {L"BBtn_Close", &TFBrimMain::Close},
        {L"BBtn_Max", &TFBrimMain::Maximize},
        {L"BBtn_Restore", &TFBrimMain::Restore},
        {L"RzBmpButton9", &TFBrimMain::StartJunkPage},
        {L"BBtn_SelfScan", &TFBrimMain::StartCustomScan},
        {L"RzBmpButton7", &TFBrimMain::StartRegistryPage},
        {L"BBtn_ScanHengji", &TFBrimMain::BeginTraceScan},
        {L"BBtn_SetAdd", &TFBrimMain::BBtn_SetAddClick},
    };
    for (const auto& b : buttons)
        if (auto* button = Button(b.name)) button->SetOnClick([this, h = b.handler] { (this->*h)(); });
    if (auto* minimise = Button(L"BBtn_Min")) minimise->SetOnClick([this] { ShowWindow(hwnd_, SW_MINIMIZE); });
    for (int tab = 1; tab <= 6; ++tab)
        if (auto* button = Button(TabButton(tab))) button->SetOnClick([this, tab] { SelectTopTab(tab); });
    if (auto* left = Button(L"RzBmpBtnAllQuery")) left->SetOnClick([this] { ModeButtonClick(true); });
    if (auto* right = Button(L"RzBmpBtnSelfQuery")) right->SetOnClick([this] { ModeButtonClick(false); });
    for (int sub = 1; sub <= 3; ++sub)
        if (auto* button = Button(L"BBtn_MainTab" + std::to_wstring(sub)))
            button->SetOnClick([this, sub] { SelectSubTab(sub); });
    const wchar_t* const toggles[] = {L"RzBmpButton1", L"RzBmpButton2", L"RzBmpButton5"};
    for (int group = 0; group < 3; ++group)
        if (auto* button = Button(toggles[group])) button->SetOnClick([this, group] { ToggleTraceGroup(group); });
    if (auto* all = Link(L"RzURLLabAll")) all->SetOnClick([this] { SelectAllInPage(); });
    if (auto* none = Link(L"RzURLLabNone")) none->SetOnClick([this] { ClearAllInPage(); });
    if (auto* recommended = Link(L"RzURLLabDefault"))
        recommended->SetOnClick([this] {
            if (App().UiIdle) RecommendedTypes();
        });
    if (auto* save = Button(L"BBtn_Save")) save->SetOnClick([this] { SaveSettings(false); });
    // The plug-in buttons report their press first, whatever follows.
    if (auto* scan = Button(L"BBtn_PlugScan")) scan->SetOnClick([] { SendUsageEvent(UsageEvent::PluginScan); });
    if (auto* clean = Button(L"BBtn_PlugClear")) clean->SetOnClick([] { SendUsageEvent(UsageEvent::PluginClean); });
    if (auto* maker = Link(L"Lab_Maker"))
        maker->SetOnClick([] { ShellExecuteW(nullptr, L"open", L"http://www.corvane.com/", nullptr, nullptr, SW_SHOWNORMAL); });
}

void TFBrimMain::Show(const wchar_t* name, bool visible) {
    if (HWND control = Control(name)) ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
}

void TFBrimMain::SetText(const wchar_t* name, const std::wstring& text) {
    if (auto* button = Button(name)) button->SetCaption(text);
    else if (HWND control = Control(name)) SetWindowTextW(control, text.c_str());
}

void TFBrimMain::Place(const wchar_t* name, int x, int y) {
    HWND control = Control(name);
    if (!control) return;
    // Footer positions follow the window's growth like the footer itself.
    RECT client;
    GetClientRect(hwnd_, &client);
    const int dx = client.right > 0 ? client.right - kDesignClientWidth : 0;
    const int dy = client.bottom > 0 ? client.bottom - kDesignClientHeight : 0;
    const bool footer = y >= kFooterTop;
    SetWindowPos(control, nullptr, x + (footer ? dx : 0), y + (footer ? dy : 0), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFBrimMain::PlaceAt(const wchar_t* name, const wchar_t* where) {
    HWND target = Control(where);
    HWND control = Control(name);
    if (!target || !control) return;
    RECT r;
    GetWindowRect(target, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(control, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFBrimMain::ShowPage(int page) {
    if (page < 0 || page > 9) return;
    for (int p = 0; p <= 9; ++p) Show((L"TabSheet" + std::to_wstring(p)).c_str(), p == page);
    currentPage_ = page;
}

void TFBrimMain::DeselectTopTab() {
    if (auto* button = Button(TabButton(App().CurrentView))) button->CopyFace(Face::StayDown, Face::Normal);
}

void TFBrimMain::MarkTopTab(int tab) {
    DeselectTopTab();
    if (auto* button = Button(TabButton(tab))) {
        button->CopyFace(Face::Normal, Face::StayDown);
        button->CopyFace(Face::Hot, Face::Normal);
    }
    App().CurrentView = tab;
}

void TFBrimMain::DeselectSubTab() {
    if (auto* button = Button(L"BBtn_MainTab" + std::to_wstring(App().CurrentSubView)))
        button->CopyFace(Face::StayDown, Face::Normal);
}

void TFBrimMain::SelectSubTab(int tab) {
    DeselectSubTab();
    if (auto* button = Button(L"BBtn_MainTab" + std::to_wstring(tab))) {
        button->CopyFace(Face::Normal, Face::StayDown);
        button->CopyFace(Face::Hot, Face::Normal);
    }
    App().CurrentSubView = tab;
}

void TFBrimMain::MarkModeButton(const wchar_t* pressed, const wchar_t* other) {
    if (auto* button = Button(pressed)) {
        button->CopyFace(Face::Normal, Face::StayDown);
        button->CopyFace(Face::Hot, Face::Normal);
    }
    // The other button's disabled slot holds the look of the mode not chosen.
    if (auto* button = Button(other)) button->CopyFace(Face::Disabled, Face::Normal);
}

void TFBrimMain::SelectTopTab(int tab) {
    AppState& app = App();
    if (!app.UiIdle) return;
    switch (tab) {
    case 1:
        SendUsageEvent(UsageEvent::TabTraces);
        MarkTopTab(1);
        ShowActionSet(1);
        ShowPage(0);
        break;
    case 2:
        SendUsageEvent(UsageEvent::TabJunk);
        MarkTopTab(2);
        ShowActionSet(2);
        ModeButtonClick(!customMode_);
        break;
    case 3:
        ShowCustomView();
        break;
    case 4:
        SendUsageEvent(UsageEvent::TabRegistry);
        MarkTopTab(4);
        ShowActionSet(6);
        ShowPage(6);
        break;
    case 5:
        app.UiIdle = false;
        SendUsageEvent(UsageEvent::TabPlugins);
        MarkTopTab(5);
        ShowActionSet(5);
        ShowPage(5);
        // The plug-in scan runs from its button, which the plug-in view wires.
        if (auto* scan = Button(L"BBtn_PlugScan")) scan->Click();
        app.UiIdle = true;
        break;
    case 6:
        ShowPage(8);
        MarkTopTab(6);
        ShowActionSet(8);
        ModeButtonClick(true);  // "清理方式设置"
        break;
    default:
        break;
    }
}

void TFBrimMain::ShowCustomView() {
    AppState& app = App();
    SendUsageEvent(UsageEvent::TabCustom);
    DeselectTopTab();
    SelectSubTab(1);
    Show(L"Lab_CurrentInfo");
    if (auto* button = Button(TabButton(3))) {
        button->CopyFace(Face::Normal, Face::StayDown);
        button->CopyFace(Face::Hot, Face::Normal);
    }
    if (app.CurrentView == 2)
        for (const wchar_t* list : {L"VST_type", L"VST_Items", L"VST_DeleteList"})
            if (auto* model = ListModel(list)) model->Clear();
    // The custom-folder list is refilled from the settings by the custom-cleaning view.
    app.CurrentView = 3;
    for (const wchar_t* hide : {L"BBtn_Save", L"BBtn_ScanClear", L"BBtn_PlugScan", L"BBtn_PlugClear"}) Show(hide, false);
    Show(L"BBtn_Clear");
    Show(L"BBtn_Scan");
}

void TFBrimMain::ShowActionSet(int kind) {
    for (const wchar_t* name : kStateControls) Show(name, false);
    switch (kind) {
    case 1:
        Place(L"BBtn_ScanHengji", kRescanSlot.x, kRescanSlot.y);
        Show(L"BBtn_ScanHengji");
        Show(L"Lab_TraceSlogan");
        Place(L"BBtn_hengjiClear", kCleanNowSlot.x, kCleanNowSlot.y);
        Show(L"BBtn_hengjiClear");
        Show(L"Img_ViewIcon");
        break;
    case 2:
        SetText(L"RzBmpBtnAllQuery", L"自动清理");
        SetText(L"RzBmpBtnSelfQuery", L"自定义清理");
        Show(L"RzBmpBtnAllQuery");
        Show(L"RzBmpBtnSelfQuery");
        break;
    case 3:
    case 4:
        for (const wchar_t* name : {L"Lab_InforPath", L"BBtn_ScanStop", L"Lab_TotalNum", L"Label2", L"Lab_Totalsize",
                                    L"Label3", L"BBtn_Scan", L"BBtn_Clear", L"RzURLLabAll", L"RzURLLabNone"})
            Show(name);
        break;
    case 5:
        PlaceAt(L"Lab_PlugInfo", L"Lab_TotalNum");
        Show(L"Lab_PlugInfo");
        Place(L"BBtn_PlugScan", kRescanSlot.x, kRescanSlot.y);
        Place(L"BBtn_PlugClear", kCleanNowSlot.x, kCleanNowSlot.y);
        for (const wchar_t* name : {L"BBtn_PlugScan", L"BBtn_PlugClear", L"RzURLLabAll", L"RzURLLabNone", L"Img_ViewIcon"})
            Show(name);
        break;
    case 6:
        Show(L"Img_ViewIcon");
        PlaceAt(L"Lab_RegSlogan", L"Lab_TotalNum");
        Show(L"Lab_RegSlogan");
        break;
    case 7:
        for (const wchar_t* name : {L"SBBtn_RegScanStop", L"BBtn_Scan", L"BBtn_Clear", L"RzURLLabAll", L"RzURLLabNone"})
            Show(name);
        break;
    case 8:
        Place(L"BBtn_Save", kCleanNowSlot.x, kCleanNowSlot.y);
        Show(L"BBtn_Save");
        SetText(L"RzBmpBtnAllQuery", L"清理方式设置");
        SetText(L"RzBmpBtnSelfQuery", L"通用清理规则设置");
        Show(L"RzBmpBtnAllQuery");
        Show(L"RzBmpBtnSelfQuery");
        break;
    default:
        break;
    }
}

void TFBrimMain::ModeButtonClick(bool left) {
    AppState& app = App();
    if (!app.UiIdle) return;
    MarkModeButton(left ? L"RzBmpBtnAllQuery" : L"RzBmpBtnSelfQuery", left ? L"RzBmpBtnSelfQuery" : L"RzBmpBtnAllQuery");
    if (app.CurrentView == 6) {
        // "清理方式设置" opens the method page, "通用清理规则设置" the general rules.
        const bool rulesPage = !left;
        SelectSettingsEntry(rulesPage ? 1 : 3);
        for (const wchar_t* link : {L"RzURLLabAll", L"RzURLLabNone", L"RzURLLabDefault"}) Show(link, rulesPage);
        ShowPage(rulesPage ? 8 : 9);
        return;
    }
    if (left) {  // "自动清理"
        customMode_ = false;
        for (const wchar_t* name : {L"RzURLLabAll", L"RzURLLabNone", L"BBtn_SelfScan"}) Show(name, false);
        ShowPage(2);
    } else {  // "自定义清理"
        customMode_ = true;
        Show(L"RzURLLabAll");
        Show(L"RzURLLabNone");
        Place(L"BBtn_SelfScan", kCleanNowSlot.x, kCleanNowSlot.y);
        Show(L"BBtn_SelfScan");
        ShowPage(3);
    }
}

void TFBrimMain::StartJunkPage() {
    ShowActionSet(3);
    Place(L"BBtn_Scan", kRescanSlot.x, kRescanSlot.y);
    Place(L"BBtn_Clear", kCleanNowSlot.x, kCleanNowSlot.y);
    ShowPage(4);
    if (auto* scan = Button(L"BBtn_Scan")) scan->Click();
}

void TFBrimMain::StartCustomScan() {
    bool anyTicked = false;
    if (auto* model = ListModel(L"VST_AllDir"))
        model->ForEachDescendant(widgets::kRoot, [&](widgets::NodeId node) {
            anyTicked = anyTicked || model->GetCheck(node) == widgets::CheckState::Checked ||
                        model->GetCheck(node) == widgets::CheckState::Mixed;
        });
    if (!anyTicked) {
        ShowMessageById(90019);
        return;
    }
    StartJunkPage();
}

void TFBrimMain::StartRegistryPage() {
    ShowActionSet(7);
    Place(L"BBtn_Scan", kRescanSlot.x, kRescanSlot.y);
    Place(L"BBtn_Clear", kCleanNowSlot.x, kCleanNowSlot.y);
    ShowPage(7);
    if (ParseStartSwitch(args_) != StartSwitch::ClearReg)
        if (auto* model = ListModel(L"VST_REG"))
            model->ForEachDescendant(widgets::kRoot, [&](widgets::NodeId node) {
                if (model->GetCheckKind(node) != widgets::CheckKind::None)
                    model->SetCheck(node, widgets::CheckState::Checked);
            });
    Show(L"Img_ViewIcon");
    if (auto* scan = Button(L"BBtn_Scan")) scan->Click();
}

void TFBrimMain::BeginTraceScan() {
    if (!traceGroups_[0] && !traceGroups_[1] && !traceGroups_[2]) {
        ShowMessageById(90027);
        return;
    }
    ShowPage(1);
    Show(L"BBtn_ScanClear");
    Show(L"BBtn_hengjiClear");
    Show(L"BBtn_ScanHengji", false);
    if (auto* rescan = Button(L"BBtn_ScanClear")) rescan->Click();
}

void TFBrimMain::ToggleTraceGroup(int group) {
    static const wchar_t* const toggles[] = {L"RzBmpButton1", L"RzBmpButton2", L"RzBmpButton5"};
    widgets::PictureButton* button = Button(toggles[group]);
    if (!button) return;
    // The disabled slot holds the other look: swap them, and let the hot face follow.
    button->SwapFaces(Face::Normal, Face::Disabled);
    button->CopyFace(Face::Normal, Face::Hot);
    traceGroups_[group] = !traceGroups_[group];
}

void TFBrimMain::SetChecksInPage(bool checked) {
    if (!App().UiIdle) return;
    const widgets::CheckState state = checked ? widgets::CheckState::Checked : widgets::CheckState::Unchecked;
    if (currentPage_ == 5) {
        // The plug-in list: every row under its first root; the plug-in view enables its clean.
        if (auto* model = ListModel(L"VDT1")) {
            const widgets::NodeId first = model->FirstChild(widgets::kRoot);
            if (first != widgets::kNoNode) {
                model->BeginUpdate();
                model->ForEachDescendant(first, [&](widgets::NodeId node) { model->SetCheck(node, state); });
                model->EndUpdate();
            }
        }
        return;
    }
    const wchar_t* list = PageList(currentPage_);
    if (!list) return;
    if (auto* model = ListModel(list)) {
        model->BeginUpdate();
        model->SetTopAndDirectChildrenChecks(state);
        model->EndUpdate();
    }
}

void TFBrimMain::SelectAllInPage() { SetChecksInPage(true); }
void TFBrimMain::ClearAllInPage() { SetChecksInPage(false); }

}  // namespace tidemark

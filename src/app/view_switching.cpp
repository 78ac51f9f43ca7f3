// How the main window switches between its views: the frame's controls, the top tabs, the
// page set, the action sets of the header strip and footer, the mode buttons and the footer
// links, each forwarded to the view they belong to.
#include <windows.h>
#include <shellapi.h>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/views/custom_view.h"
#include "app/views/junk_view.h"
#include "app/views/plugins_view.h"
#include "app/views/registry_view.h"
#include "app/views/settings_view.h"
#include "app/views/traces_view.h"
#include "app/widgets/link_label.h"
#include "app/widgets/picture_button.h"

namespace tidemark {

using widgets::Face;

namespace {

struct ActionSetRow {
    ActionSet set;
    std::vector<const wchar_t*> shown;
    std::vector<std::pair<const wchar_t*, ButtonSlot>> placed;
    const wchar_t* leftMode = nullptr;
    const wchar_t* rightMode = nullptr;
};

// What each action set shows; every other control of the header strip and footer is hidden.
// The view slogans and the plug-in line keep their layout row, centred beside the view icon.
const std::vector<ActionSetRow>& ActionSetTable() {
    // A scan of files, junk or custom folders alike.
    static const std::vector<const wchar_t*> fileScan = {
        L"Lab_InforPath", L"BBtn_ScanStop", L"Lab_TotalNum", L"Label2", L"Lab_Totalsize", L"Label3", L"BBtn_Scan",
        L"BBtn_Clear", L"RzURLLabAll", L"RzURLLabNone"};
    // A junk scan also shows its completion banner and the cleaned count in the same place.
    static const std::vector<const wchar_t*> junkScan = [] {
        std::vector<const wchar_t*> names = fileScan;
        for (const wchar_t* name : {L"Lab_ScanFinishTitle", L"Lab_totalFileNumChar",
                                    L"Lab_totalFileNum", L"Lab_totalFileSizeChar", L"Lab_totalFileSize", L"Lab_Time",
                                    L"Lab_ClearInf", L"Lab_ClearNum"})
            names.push_back(name);
        return names;
    }();
    static const std::vector<ActionSetRow> table = {
        {ActionSet::TraceStart,
         {L"BBtn_ScanHengji", L"Lab_TraceSlogan", L"BBtn_hengjiClear", L"Img_ViewIcon"},
         {{L"BBtn_ScanHengji", kRescanSlot}, {L"BBtn_hengjiClear", kCleanNowSlot}}},
        {ActionSet::JunkModes, {L"RzBmpBtnAllQuery", L"RzBmpBtnSelfQuery"}, {}, L"自动清理", L"自定义清理"},
        {ActionSet::JunkScan, junkScan, {}},
        {ActionSet::CustomScan, fileScan, {}},
        {ActionSet::CustomFolders,
         {L"BBtn_Scan", L"BBtn_Clear", L"RzURLLabAll", L"RzURLLabNone", L"Img_ViewIcon"},
         {{L"BBtn_Scan", kRescanSlot}, {L"BBtn_Clear", kCleanNowSlot}}},
        {ActionSet::Plugins,
         {L"Lab_PlugInfo", L"BBtn_PlugScan", L"BBtn_PlugClear", L"RzURLLabAll", L"RzURLLabNone", L"Img_ViewIcon"},
         {{L"BBtn_PlugScan", kRescanSlot}, {L"BBtn_PlugClear", kCleanNowSlot}}},
        {ActionSet::RegistryStart, {L"Img_ViewIcon", L"Lab_RegSlogan"}, {}},
        {ActionSet::RegistryScan,
         {L"SBBtn_RegScanStop", L"BBtn_Scan", L"BBtn_Clear", L"RzURLLabAll", L"RzURLLabNone"},
         {}},
        {ActionSet::Settings,
         {L"BBtn_Save", L"RzBmpBtnAllQuery", L"RzBmpBtnSelfQuery", L"BBtn_RestoreCenter"},
         {{L"BBtn_Save", kCleanNowSlot}},
         L"清理方式设置",
         L"通用清理规则设置"},
        {ActionSet::SettingsRestore,
         {L"BBtn_JournalDelete", L"BBtn_JournalRestore", L"RzBmpBtnAllQuery", L"RzBmpBtnSelfQuery", L"BBtn_RestoreCenter"},
         {{L"BBtn_JournalDelete", kRescanSlot}, {L"BBtn_JournalRestore", kCleanNowSlot}},
         L"清理方式设置",
         L"通用清理规则设置"},
    };
    return table;
}

bool InHeaderStripOrFooter(const LayoutEntry& entry) {
    if (entry.parent) return false;
    return (entry.y >= kHeaderStripTop && entry.y < kPageTop) || (entry.y >= kFooterTop && entry.y < kBottomBarTop);
}

void MarkChosen(widgets::PictureButton* button) {
    if (!button) return;
    button->CopyFace(Face::Normal, Face::StayDown);
    button->CopyFace(Face::Hot, Face::Normal);
}

}  // namespace

void TFBrimMain::ResolveFrameControls() {
    ControlResolver& c = frameControls_;
    for (int tab = 1; tab <= 6; ++tab) frame_.tabs[tab] = c.Button(L"BBtn_Tab" + std::to_wstring(tab));
    frame_.minimise = c.Button(L"BBtn_Min");
    frame_.maximise = c.Button(L"BBtn_Max");
    frame_.restore = c.Button(L"BBtn_Restore");
    frame_.close = c.Button(L"BBtn_Close");
    frame_.modeLeft = c.Button(L"RzBmpBtnAllQuery");
    frame_.modeRight = c.Button(L"RzBmpBtnSelfQuery");
    frame_.selectAll = c.Link(L"RzURLLabAll");
    frame_.selectNone = c.Link(L"RzURLLabNone");
    frame_.maker = c.Link(L"Lab_Maker");
    for (int page = 0; page < kPageCount; ++page) frame_.pages[page] = c.Panel(PageControlName(static_cast<Page>(page)));
    for (const LayoutEntry& entry : MainLayout())
        if (InHeaderStripOrFooter(entry)) frame_.stateControls.push_back(c.AnyKind(entry.name));
    for (const ActionSetRow& row : ActionSetTable()) {
        ResolvedActionSet resolved{row.set, {}, {}, row.leftMode, row.rightMode};
        for (const wchar_t* name : row.shown) resolved.shown.push_back(c.AnyKind(name));
        for (const auto& [name, slot] : row.placed) {
            widgets::PictureButton* button = c.Button(name);
            resolved.placed.emplace_back(button ? button->hwnd() : nullptr, slot);
        }
        frame_.actionSets.push_back(std::move(resolved));
    }
}

// The first-run question's controls, made when it is first shown.
void TFBrimMain::ResolveFirstRunPrompt() {
    if (frame_.firstRunPrompt) return;
    ControlResolver& c = frameControls_;
    frame_.firstRunPrompt = c.Panel(L"FirstRunPrompt");
    frame_.initMethod = c.ComboBox(L"Cbx_initClear");
    frame_.initDontAsk = c.CheckBox(L"CbxInitNext");
    frame_.initOk = c.Button(L"BBtn_InitOk");
    // It offers the first method, and "don't ask again" ticked.
    if (frame_.initMethod) SendMessageW(frame_.initMethod, CB_SETCURSEL, 0, 0);
    if (frame_.initDontAsk) SendMessageW(frame_.initDontAsk, BM_SETCHECK, BST_CHECKED, 0);
    if (frame_.initOk) frame_.initOk->SetOnClick([this] { BBtn_InitOkClick(); });
}

void TFBrimMain::WireHandlers() {
    const struct { widgets::PictureButton* button; void (TFBrimMain::*handler)(); } buttons[] = {
        {frame_.close, &TFBrimMain::Close},
        {frame_.maximise, &TFBrimMain::Maximize},
        {frame_.restore, &TFBrimMain::Restore},
    };
    for (const auto& b : buttons)
        if (b.button) b.button->SetOnClick([this, h = b.handler] { (this->*h)(); });
    if (frame_.minimise) frame_.minimise->SetOnClick([this] { ShowWindow(hwnd_, SW_MINIMIZE); });
    for (int tab = 1; tab <= 6; ++tab)
        if (frame_.tabs[tab]) frame_.tabs[tab]->SetOnClick([this, tab] { SelectTopTab(tab); });
    if (frame_.modeLeft) frame_.modeLeft->SetOnClick([this] { ModeButtonClick(true); });
    if (frame_.modeRight) frame_.modeRight->SetOnClick([this] { ModeButtonClick(false); });
    if (frame_.selectAll) frame_.selectAll->SetOnClick([this] { SelectAllInPage(); });
    if (frame_.selectNone) frame_.selectNone->SetOnClick([this] { ClearAllInPage(); });
    if (frame_.maker)
        frame_.maker->SetOnClick(
            [] { ShellExecuteW(nullptr, L"open", L"http://www.corvane.com/", nullptr, nullptr, SW_SHOWNORMAL); });
}

void TFBrimMain::CreateViews() {
    traces_ = std::make_unique<TracesView>(*this, controls_);
    // "重新扫描" is the traces' and the junk files' both: the view of the page shown owns a press.
    if (const ControlEntry* entry = controls_.Find(L"BBtn_ScanClear"); entry && entry->button)
        entry->button->SetOnClick([this] {
            if (View* view = ViewOfPage(currentPage_)) view->RescanPressed();
        });
}

template <typename V, typename... Args>
V& TFBrimMain::MakeView(std::unique_ptr<V>& view, Args&&... args) {
    if (!view) {
        // While a view is made, the pages its constructor asks for come without their views.
        struct Making {
            int& count;
            explicit Making(int& c) : count(++c) {}
            ~Making() { --count; }
        } making(makingView_);
        view = std::make_unique<V>(*this, controls_, std::forward<Args>(args)...);
    }
    return *view;
}

JunkView& TFBrimMain::Junk() { return MakeView(junk_); }
CustomView& TFBrimMain::Custom() { return MakeView(custom_); }
RegistryView& TFBrimMain::Registry() { return MakeView(registry_, ParseStartSwitch(args_)); }
PluginsView& TFBrimMain::Plugins() { return MakeView(plugins_); }

SettingsView& TFBrimMain::Settings() {
    if (!settings_) MakeView(settings_).FillSettingsTree();
    return *settings_;
}

void TFBrimMain::MakeOwnerOf(std::wstring_view group) {
    if (group == L"FirstRunPrompt") {
        ResolveFirstRunPrompt();
        return;
    }
    if (makingView_) return;
    for (int page = 0; page < kPageCount; ++page)
        if (group == PageControlName(static_cast<Page>(page))) {
            ViewOfPage(static_cast<Page>(page));
            return;
        }
}

View* TFBrimMain::ViewOfTab(int tab) {
    switch (tab) {
    case 1: return traces_.get();
    case 2: return &Junk();
    case 3: return &Custom();
    case 4: return &Registry();
    case 5: return &Plugins();
    case 6: return &Settings();
    default: return nullptr;
    }
}

View* TFBrimMain::ViewOfPage(Page page) {
    switch (page) {
    case Page::TraceGroups:
    case Page::TraceResults: return traces_.get();
    case Page::JunkStart:
    case Page::JunkFolders:
    case Page::JunkResults: return &Junk();
    case Page::Plugins: return &Plugins();
    case Page::RegistryStart:
    case Page::RegistryResults: return &Registry();
    case Page::SettingsTypes:
    case Page::SettingsMethod:
    case Page::SettingsRestore: return &Settings();
    case Page::CustomFolders: return &Custom();
    }
    return nullptr;
}

void TFBrimMain::SelectTopTab(int tab) {
    if (!App().UiIdle) return;
    if (View* view = ViewOfTab(tab)) view->TabPressed();
}

void TFBrimMain::DeselectTopTab() {
    const int current = App().CurrentView;
    if (current >= 1 && current <= 6 && frame_.tabs[current])
        frame_.tabs[current]->CopyFace(Face::StayDown, Face::Normal);
}

void TFBrimMain::MarkTopTab(int tab) {
    DeselectTopTab();
    if (tab >= 1 && tab <= 6) MarkChosen(frame_.tabs[tab]);
    App().CurrentView = tab;
}

void TFBrimMain::ShowPage(Page page) {
    // Everything the page holds, the controls no view looks up included.
    MakeGroup(PageControlName(page).c_str());
    for (int p = 0; p < kPageCount; ++p) ShowControl(frame_.pages[p], p == static_cast<int>(page));
    currentPage_ = page;
}

void TFBrimMain::ShowActionSet(ActionSet set) {
    for (HWND control : frame_.stateControls) ShowControl(control, false);
    for (const ResolvedActionSet& row : frame_.actionSets) {
        if (row.set != set) continue;
        if (row.leftMode && frame_.modeLeft) frame_.modeLeft->SetCaption(row.leftMode);
        if (row.rightMode && frame_.modeRight) frame_.modeRight->SetCaption(row.rightMode);
        for (const auto& [control, slot] : row.placed) PlaceAtSlot(control, slot);
        for (HWND control : row.shown) ShowControl(control);
    }
}

void TFBrimMain::MarkModeButton(bool left) {
    MarkChosen(left ? frame_.modeLeft : frame_.modeRight);
    // The other button's disabled slot holds the look of the mode not chosen.
    if (widgets::PictureButton* other = left ? frame_.modeRight : frame_.modeLeft)
        other->CopyFace(Face::Disabled, Face::Normal);
}

void TFBrimMain::ShowJunkModeButtons(bool visible) {
    for (const ResolvedActionSet& row : frame_.actionSets) {
        if (row.set != ActionSet::JunkModes) continue;
        if (visible && row.leftMode && frame_.modeLeft) frame_.modeLeft->SetCaption(row.leftMode);
        if (visible && row.rightMode && frame_.modeRight) frame_.modeRight->SetCaption(row.rightMode);
    }
    ShowControl(frame_.modeLeft, visible);
    ShowControl(frame_.modeRight, visible);
}

void TFBrimMain::MarkNoModeButton() {
    for (widgets::PictureButton* button : {frame_.modeLeft, frame_.modeRight})
        if (button) button->CopyFace(Face::Disabled, Face::Normal);
}

void TFBrimMain::ModeButtonClick(bool left) {
    if (!App().UiIdle) return;
    MarkModeButton(left);
    // The mode buttons are the junk view's, except under the settings tab, whose page
    // buttons they are (the custom view, entered from the junk view, leaves them showing).
    if (App().CurrentView == 6) Settings().ModeChosen(left);
    else Junk().ModeChosen(left);
}

void TFBrimMain::SetChecksInPage(bool checked) {
    if (!App().UiIdle) return;
    if (View* view = ViewOfPage(currentPage_)) view->SetChecksInPage(currentPage_, checked);
}

void TFBrimMain::SelectAllInPage() { SetChecksInPage(true); }
void TFBrimMain::ClearAllInPage() { SetChecksInPage(false); }

}  // namespace tidemark

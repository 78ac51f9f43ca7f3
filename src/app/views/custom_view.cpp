#include "app/views/custom_view.h"

#include "app/app_state.h"
#include "app/main_window.h"
#include <shlobj.h>

#include "app/views/junk_view.h"
#include "app/views/settings_view.h"
#include "app/widgets/picture_button.h"
#include "app/widgets/tree_list.h"
#include "junk/custom_folders.h"
#include "junk/junk_scan.h"
#include "lang/text_tables.h"
#include "lang/ui_texts.h"
#include "settings/settings_store.h"
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
    if (widgets::TreeList* list = BindList(L"Vst_Custom", folders_)) {
        OneFullWidthColumn(list);
        list->OnRightClick = [this](widgets::NodeId row, POINT screen) { ShowFolderMenu(row, screen); };
    }
    BindList(L"VST_Items", items_);
    BindList(L"VST_DeleteList", deleteList_);
}

void CustomView::TabPressed() {
    SendUsageEvent(UsageEvent::TabCustom);
    const bool fromJunk = App().CurrentView == 2;
    window_.MarkTopTab(3);
    // The folder list is a page of its own, with "扫描" and "清理" and the footer links.
    window_.ShowActionSet(ActionSet::CustomFolders);
    window_.ShowPage(Page::CustomFolders);
    SelectSubTab(1);
    ShowControl(hint_);
    // The result page's list is forgotten whenever the view is entered; coming from the junk
    // view, nothing found here before stays listed either.
    window_.Junk().ClearResults();
    if (fromJunk) {
        items_.Clear();
        deleteList_.Clear();
    }
    for (const widgets::PictureButton* button : otherViewsButtons_) ShowControl(button, false);
    // "扫描" walks the ticked folders with the custom rule set and lists what it finds on the junk
    // view's result page; "清理" cleans what that list shows, and only scans (removing nothing)
    // when no list of these folders has been shown yet.
    const auto onOwnPage = [this] { return App().CurrentView == 3 && window_.CurrentPage() == Page::CustomFolders; };
    if (scan_) scan_->SetOnClick([this, onOwnPage] {
        if (!onOwnPage()) return;
        if (TickedFolders().empty()) {
            ShowMessageById(90019);  // "请选择清理路径"
            return;
        }
        if (!HasCustomRules()) {
            ShowMessageById(90012);  // "请先设定清理规则!"
            return;
        }
        window_.Junk().ScanCustomViewFolders(TickedFolders());
    });
    if (clean_) clean_->SetOnClick([this, onOwnPage] {
        if (!onOwnPage()) return;
        if (TickedFolders().empty()) {
            ShowMessageById(90019);
            return;
        }
        if (!HasCustomRules()) {
            ShowMessageById(90012);
            return;
        }
        window_.Junk().CleanCustomViewFolders(TickedFolders());
    });
    ShowControl(clean_);
    ShowControl(scan_);
    RefillFolders();
}

bool CustomView::HasCustomRules() const {
    const JunkRuleSet rules =
        BuildCustomJunkRuleSetFrom(ReadSettingText(kFileExtCustom), ReadSettingText(kFileExtCustomEnabled), App().UiLanguageId);
    return !rules.patterns.empty() || !rules.extensions.empty();
}

void CustomView::SetChecksInPage(Page page, bool checked) {
    if (page != Page::CustomFolders) return;
    for (widgets::NodeId node : folders_.Children(widgets::kRoot))
        folders_.SetCheck(node, checked ? widgets::CheckState::Checked : widgets::CheckState::Unchecked);
}

std::vector<std::wstring> CustomView::TickedFolders() const {
    std::vector<std::wstring> folders;
    for (widgets::NodeId node : folders_.Children(widgets::kRoot)) {
        if (folders_.GetCheck(node) == widgets::CheckState::Checked) folders.push_back(folders_.Text(node, 0));
    }
    return folders;
}

void CustomView::RefillFolders() {
    folders_.Clear();
    for (const std::wstring& path : CustomFolderEntries(ReadSettingText(kCustomFileExt))) {
        widgets::RowOptions row;
        row.checkKind = widgets::CheckKind::TwoState;
        row.check = widgets::CheckState::Checked;
        folders_.AddRow(widgets::kRoot, {path}, row);
    }
}

bool CustomView::AddCustomFolderPath(const std::wstring& path) {
    const std::optional<std::wstring> list = CustomFolderListWith(ReadSettingText(kCustomFileExt), path);
    if (!list) return false;
    (void)WriteSettingText(kCustomFileExt, *list);
    RefillFolders();
    return true;
}

void CustomView::AddCustomFolder() {
    const std::wstring title = GetUiText(90018, App().UiLanguageId);
    BROWSEINFOW info{};
    info.hwndOwner = window_.hwnd();
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
    if (!chosen) return;
    wchar_t path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    if (ok && path[0]) AddCustomFolderPath(path);
}

void CustomView::DeleteCustomFolder(widgets::NodeId row) {
    if (row == widgets::kNoNode || !folders_.IsValid(row)) return;
    folders_.RemoveRow(row);
    std::vector<std::wstring> rest;
    for (widgets::NodeId node : folders_.Children(widgets::kRoot)) rest.push_back(folders_.Text(node, 0));
    (void)WriteSettingText(kCustomFileExt, CustomFolderListText(rest));
}

void CustomView::EditCustomRules() {
    window_.SelectTopTab(6);
    window_.Settings().SelectSettingsEntry(2);
}

void CustomView::ShowFolderMenu(widgets::NodeId row, POINT screen) {
    enum : UINT { kAdd = 1038, kDelete = 1039, kRules = 1040 };
    HMENU menu = CreatePopupMenu();
    for (UINT id : {kAdd, kDelete, kRules}) {
        const std::wstring text = GetUiText(static_cast<int>(id), App().UiLanguageId);
        AppendMenuW(menu, MF_STRING | (id == kDelete && row == widgets::kNoNode ? MF_GRAYED : 0), id, text.c_str());
    }
    const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, 0, window_.hwnd(), nullptr);
    DestroyMenu(menu);
    if (chosen == kAdd) AddCustomFolder();
    if (chosen == kDelete) DeleteCustomFolder(row);
    if (chosen == kRules) EditCustomRules();
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

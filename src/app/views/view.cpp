#include "app/views/view.h"

#include <shellapi.h>

#include <algorithm>

#include "app/app_state.h"
#include "app/main_window.h"

#include "app/widgets/picture_button.h"
#include "app/widgets/tree_list.h"

namespace tidemark {

BusyScope::BusyScope(TFBrimMain& window, int& depth) : window_(window), depth_(depth), idle_(App().UiIdle) {
    ++depth_;
    ++window_.operations_;
    App().UiIdle = false;
}

BusyScope::~BusyScope() {
    App().UiIdle = idle_;
    --depth_;
    // The close that waited for the loop runs once the outermost operation has unwound.
    if (--window_.operations_ == 0) window_.FinishDeferredClose();
}

std::wstring PageControlName(Page page) { return L"TabSheet" + std::to_wstring(static_cast<int>(page)); }

View::View(TFBrimMain& window, ControlTable& table, const wchar_t* name) : window_(window), controls_(table, name) {}

void View::ShowFileInFolder(const std::wstring& path) {
    const std::wstring arguments = L"/select,\"" + path + L"\"";
    ShellExecuteW(nullptr, L"open", L"explorer.exe", arguments.c_str(), nullptr, SW_SHOWNORMAL);
}

void View::OneFullWidthColumn(widgets::TreeList* list) {
    if (!list) return;
    RECT page{};
    GetClientRect(list->hwnd(), &page);
    list->SetColumnWidths({std::max<int>(page.right - GetSystemMetrics(SM_CXVSCROLL), 400)});
}

widgets::TreeList* View::BindList(std::wstring_view name, widgets::TreeListModel& rows) {
    widgets::TreeList* list = controls_.List(name);
    if (list) list->SetModel(&rows);
    return list;
}

void PlaceAtSlot(HWND control, ButtonSlot slot) {
    if (!control) return;
    RECT client;
    GetClientRect(GetParent(control), &client);
    const int dx = client.right > 0 ? client.right - kDesignClientWidth : 0;
    const int dy = client.bottom > 0 ? client.bottom - kDesignClientHeight : 0;
    // The slots sit in the footer, which keeps its distance to the bottom and right edges.
    const bool footer = slot.y >= kFooterTop;
    SetWindowPos(control, nullptr, slot.x + (footer ? dx : 0), slot.y + (footer ? dy : 0), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlaceAtSlot(const widgets::PictureButton* button, ButtonSlot slot) {
    if (button) PlaceAtSlot(button->hwnd(), slot);
}

void SetTopRowChecks(widgets::TreeListModel& model, bool checked) {
    model.BeginUpdate();
    model.SetTopAndDirectChildrenChecks(checked ? widgets::CheckState::Checked : widgets::CheckState::Unchecked);
    model.EndUpdate();
}

}  // namespace tidemark

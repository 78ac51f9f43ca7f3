// The settings view: the settings tree, the file-type list of the general and custom rule
// sets, the cleaning-method page, and the save command.
#include <windows.h>
#include <commctrl.h>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/widgets/tree_list.h"
#include "junk/file_types.h"
#include "lang/text_tables.h"
#include "lang/ui_texts.h"
#include "settings/settings_store.h"
#include "system/text_util.h"

namespace tidemark {

using widgets::CheckKind;
using widgets::CheckState;
using widgets::kRoot;
using widgets::NodeId;

namespace {

constexpr COLORREF kUserTypeColor = RGB(0x2F, 0x8A, 0xE5);
constexpr UINT_PTR kKeySubclass = 1;
constexpr UINT kDeleteUserTypeCommand = 1041;

// The type box takes Enter as "add"; the method drop-down ignores the keyboard.
LRESULT CALLBACK KeySubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* window = reinterpret_cast<TFBrimMain*>(data);
    wchar_t className[16] = {};
    GetClassNameW(hwnd, className, 16);
    const bool combo = lstrcmpiW(className, L"COMBOBOX") == 0;
    if (combo && (msg == WM_KEYDOWN || msg == WM_CHAR || msg == WM_SYSKEYDOWN || msg == WM_KEYUP)) return 0;
    if (!combo && msg == WM_KEYDOWN && wp == VK_RETURN) {
        window->BBtn_SetAddClick();
        return 0;
    }
    if (!combo && msg == WM_CHAR && wp == L'\r') return 0;  // no beep
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

void TFBrimMain::FillSettingsTree() {
    widgets::TreeListModel* tree = ListModel(L"VST_set");
    if (!tree) return;
    tree->Clear();
    setUpData_.clear();
    const unsigned lang = App().UiLanguageId;
    setUpData_.push_back({GetUiText(90016, lang), 0, 0});
    const NodeId root = tree->AddRow(kRoot, {setUpData_.back().name}, {.userData = 0, .expanded = true});
    const int pages[][2] = {{1002, 1}, {1003, 2}, {1004, 3}};
    for (const auto& [id, page] : pages) {
        setUpData_.push_back({GetUiText(id, lang), page, 1});
        tree->AddRow(root, {setUpData_.back().name}, {.userData = setUpData_.size() - 1});
    }
    if (widgets::TreeList* list = List(L"VST_set"))
        list->OnSelectionChanged = [this](NodeId node) { SettingsTreeSelected(node); };
    if (HWND edit = Control(L"Edt_TypeName")) SetWindowSubclass(edit, KeySubclass, kKeySubclass, reinterpret_cast<DWORD_PTR>(this));
    if (HWND combo = Control(L"Cbx_SetMethod")) SetWindowSubclass(combo, KeySubclass, kKeySubclass, reinterpret_cast<DWORD_PTR>(this));
    if (widgets::TreeList* items = List(L"Vst_SetItems"))
        items->OnRightClick = [this](NodeId node, POINT screen) {
            if (node == widgets::kNoNode) return;
            ListModel(L"Vst_SetItems")->Select(node);
            HMENU menu = CreatePopupMenu();
            const std::wstring text = GetUiText(kDeleteUserTypeCommand, App().UiLanguageId);
            AppendMenuW(menu, MF_STRING, kDeleteUserTypeCommand, text.c_str());
            const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, 0, hwnd_, nullptr);
            DestroyMenu(menu);
            if (chosen == kDeleteUserTypeCommand) DeleteUserType();
        };
}

void TFBrimMain::SelectSettingsEntry(int page) {
    widgets::TreeListModel* tree = ListModel(L"VST_set");
    if (!tree) return;
    NodeId found = widgets::kNoNode;
    tree->ForEachDescendant(kRoot, [&](NodeId node) {
        if (setUpData_[tree->UserData(node)].page == page) found = node;
    });
    if (found == widgets::kNoNode) return;
    tree->Select(found);
    SettingsTreeSelected(found);  // selecting from code fires the handler as a click would
}

void TFBrimMain::SettingsTreeSelected(NodeId node) {
    widgets::TreeListModel* tree = ListModel(L"VST_set");
    if (!tree || node == widgets::kNoNode) return;
    const TSetUpData& data = setUpData_[tree->UserData(node)];
    if (data.kind != 1) return;
    SetText(L"Lab_ClearReg", data.name);
    ShowSettingsPage(data.page - 1);
}

void TFBrimMain::AddTypeRow(const TSetUpDataItems& item) {
    widgets::TreeListModel* model = ListModel(L"Vst_SetItems");
    setItems_.push_back(item);
    widgets::RowOptions options;
    options.checkKind = CheckKind::TwoState;
    options.check = item.state == L"0" ? CheckState::Checked : CheckState::Unchecked;
    options.userData = setItems_.size() - 1;
    if (item.userAdded == L"1") options.style.textColor = kUserTypeColor;
    model->AddRow(kRoot, {item.description, item.type}, options);
}

void TFBrimMain::ShowSettingsPage(int page) {
    widgets::TreeListModel* model = ListModel(L"Vst_SetItems");
    if (!model) return;
    settingsPage_ = page;
    model->BeginUpdate();
    model->Clear();
    setItems_.clear();
    const unsigned lang = App().UiLanguageId;
    const std::wstring userLabel = GetUiText(90002, lang);
    if (page == 0) {
        const std::wstring list = ReadSettingText(kFileExt), states = ReadSettingText(kFileExtEnabled);
        TextList entries;
        SplitToList(list, entries, kTypeListSeparator);
        for (std::size_t i = 0; i < kBuiltInTypeCount; ++i) {
            const BuiltInType& type = BuiltInTypeTable[i];
            wchar_t state = type.recommended;
            if (states.size() >= kBuiltInTypeCount && (states[i] == L'0' || states[i] == L'1')) state = states[i];
            AddTypeRow({GetUiText(type.textId, lang), type.type, std::wstring(1, state), L"0"});
        }
        if (states.size() == kBuiltInTypeCount + entries.size())
            for (std::size_t j = 0; j < entries.size(); ++j) {
                const wchar_t state = states[kBuiltInTypeCount + j];
                if (!entries[j].empty() && (state == L'0' || state == L'1'))
                    AddTypeRow({userLabel, entries[j], std::wstring(1, state), L"1"});
            }
    } else if (page == 1) {
        const std::wstring list = ReadSettingText(kFileExtCustom), states = ReadSettingText(kFileExtCustomEnabled);
        TextList entries;
        SplitToList(list, entries, kTypeListSeparator);
        if (entries.size() == states.size())
            for (std::size_t j = 0; j < entries.size(); ++j)
                if (!entries[j].empty() && (states[j] == L'0' || states[j] == L'1'))
                    AddTypeRow({userLabel, entries[j], std::wstring(1, states[j]), L"1"});
    } else {
        const std::int32_t method = ReadSettingInt(kDirectDel, 0);
        SendMessageW(Control(L"Cbx_SetMethod"), CB_SETCURSEL, method == 1 ? 1 : 0, 0);
    }
    model->EndUpdate();
}

void TFBrimMain::BBtn_SetAddClick() {
    widgets::TreeListModel* model = ListModel(L"Vst_SetItems");
    HWND edit = Control(L"Edt_TypeName");
    if (!model || !edit) return;
    wchar_t text[512] = {};
    GetWindowTextW(edit, text, 512);
    const std::wstring type = TrimmedType(text);
    // A "/" would split the entry in two when the list is read back.
    if (!IsAcceptableUserType(type)) {
        ShowMessageById(90008);
        return;
    }
    bool exists = false;
    model->ForEachDescendant(kRoot, [&](NodeId node) { exists = exists || model->Text(node, 1) == type; });
    if (exists) {
        ShowMessageById(90007);
        return;
    }
    AddTypeRow({GetUiText(90002, App().UiLanguageId), type, L"0", L"1"});
    NodeId last = widgets::kNoNode;
    model->ForEachDescendant(kRoot, [&](NodeId node) { last = node; });
    if (widgets::TreeList* list = List(L"Vst_SetItems")) {
        list->Select(last);
        SetFocus(list->hwnd());
    }
    SaveSettings(true);
}

void TFBrimMain::DeleteUserType() {
    widgets::TreeListModel* model = ListModel(L"Vst_SetItems");
    if (!model) return;
    const NodeId node = model->Selected();
    if (node == widgets::kNoNode) return;
    if (setItems_[model->UserData(node)].userAdded != L"1") {
        ShowMessageById(90004);
        return;
    }
    model->RemoveRow(node);
}

void TFBrimMain::RecommendedTypes() {
    widgets::TreeListModel* model = ListModel(L"Vst_SetItems");
    if (!model) return;
    model->BeginUpdate();
    model->ForEachDescendant(kRoot, [&](NodeId node) {
        const std::size_t index = model->UserData(node);
        const bool builtIn = setItems_[index].userAdded == L"0" && index < kBuiltInTypeCount;
        const bool on = builtIn && BuiltInTypeTable[index].recommended == L'0';
        model->SetCheck(node, on ? CheckState::Checked : CheckState::Unchecked);
    });
    model->EndUpdate();
}

void TFBrimMain::SaveSettings(bool silent) {
    if (!App().UiIdle) return;
    bool saved = false;
    if (settingsPage_ == 2) {
        const LRESULT method = SendMessageW(Control(L"Cbx_SetMethod"), CB_GETCURSEL, 0, 0);
        saved = WriteSettingInt(kDirectDel, method == 1 ? 1 : 0);
    } else {
        widgets::TreeListModel* model = ListModel(L"Vst_SetItems");
        if (!model) return;
        std::wstring states, list;
        model->ForEachDescendant(kRoot, [&](NodeId node) {
            states += model->GetCheck(node) == CheckState::Checked ? L'0' : L'1';
            const TSetUpDataItems& item = setItems_[model->UserData(node)];
            if (item.userAdded == L"1") list += (list.empty() ? L"" : kTypeListSeparator) + item.type;
        });
        saved = SaveTypeSettings(settingsPage_ == 1, list, states);
    }
    if (!silent) ShowMessageById(saved ? 90005 : 90006);
}

}  // namespace tidemark

#include "app/views/settings_view.h"

#include <commctrl.h>

#include <exception>
#include <initializer_list>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/widgets/link_label.h"
#include "app/widgets/picture_button.h"
#include "app/widgets/tree_list.h"
#include "junk/file_types.h"
#include "lang/text_tables.h"
#include "lang/ui_texts.h"
#include "removal/removal_guard.h"
#include "removal/removal_service.h"
#include "settings/settings_store.h"
#include "system/ansi_text.h"
#include "system/prompt.h"
#include "system/text_util.h"

namespace tidemark {

using widgets::CheckKind;
using widgets::CheckState;
using widgets::Face;
using widgets::kRoot;
using widgets::NodeId;

namespace {

constexpr COLORREF kUserTypeColor = RGB(0x2F, 0x8A, 0xE5);
constexpr UINT_PTR kKeySubclass = 1;
constexpr UINT kDeleteUserTypeCommand = 1041;

// The settings tree's entries and the pages they show.
constexpr int kRestoreCenterEntry = 4;
constexpr int kRestoreCenterPage = kRestoreCenterEntry - 1;

// What a journal entry's run is called in the list; a command not in the table as it is.
struct CommandName {
    const wchar_t* command;
    int textId;
};
constexpr CommandName kCommandNames[] = {
    {L"reg fix", 90038},
    {L"plugins clean", 90039},
    {L"plugins delete", 90050},
    {L"plugins unload", 90051},
    {L"repair", 90040},
    {L"repair run", 90040},
};

std::wstring Text(int id) { return GetUiText(id, App().UiLanguageId); }

std::wstring CommandDescription(const std::wstring& command) {
    for (const CommandName& name : kCommandNames)
        if (command == name.command) return Text(name.textId);
    return command;
}

// "2026-12-11T01:35:12" as "2026-12-11 01:35:12".
std::wstring EntryTime(const JournalEntry& entry) {
    std::wstring time = entry.Time;
    if (time.size() > 10 && time[10] == L'T') time[10] = L' ';
    return time;
}

// A text with its "%d" marks replaced by the numbers, in order.
std::wstring WithCounts(std::wstring text, std::initializer_list<std::size_t> counts) {
    std::size_t at = 0;
    for (std::size_t count : counts) {
        at = text.find(L"%d", at);
        if (at == std::wstring::npos) break;
        const std::wstring number = std::to_wstring(count);
        text.replace(at, 2, number);
        at += number.size();
    }
    return text;
}

bool AskYes(const std::wstring& text) {
    return CurrentPrompt().Ask(PromptRequest{PromptKind::YesNo, MessageTexts[0], text}) == AnswerYes;
}

// The entry a question is about, on a line of its own below it.
std::wstring EntryLine(const JournalEntry& entry) {
    return EntryTime(entry) + L"  " + CommandDescription(entry.Command) + L"  " + Text(90034) + L":" +
           std::to_wstring(entry.Items.size());
}

// The type box takes Enter as "add"; the method drop-down ignores the keyboard.
LRESULT CALLBACK KeySubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* view = reinterpret_cast<SettingsView*>(data);
    wchar_t className[16] = {};
    GetClassNameW(hwnd, className, 16);
    const bool combo = lstrcmpiW(className, L"COMBOBOX") == 0;
    if (combo && (msg == WM_KEYDOWN || msg == WM_CHAR || msg == WM_SYSKEYDOWN || msg == WM_KEYUP)) return 0;
    if (!combo && msg == WM_KEYDOWN && wp == VK_RETURN) {
        view->BBtn_SetAddClick();
        return 0;
    }
    if (!combo && msg == WM_CHAR && wp == L'\r') return 0;  // no beep
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

SettingsView::SettingsView(TFBrimMain& window, ControlTable& table) : View(window, table, L"SettingsView") {
    typeEdit_ = controls_.Edit(L"Edt_TypeName");
    methodBox_ = controls_.ComboBox(L"Cbx_SetMethod");
    pageTitle_ = controls_.Label(L"Lab_ClearReg");
    selectAll_ = controls_.Link(L"RzURLLabAll");
    selectNone_ = controls_.Link(L"RzURLLabNone");
    recommended_ = controls_.Link(L"RzURLLabDefault");
    if (widgets::TreeList* tree = BindList(L"VST_set", tree_))
        tree->OnSelectionChanged = [this](NodeId node) { SettingsTreeSelected(node); };
    typeList_ = BindList(L"Vst_SetItems", types_);
    if (typeList_) typeList_->OnRightClick = [this](NodeId node, POINT screen) { ShowTypeMenu(node, screen); };
    if (auto* add = controls_.Button(L"BBtn_SetAdd")) add->SetOnClick([this] { BBtn_SetAddClick(); });
    if (auto* save = controls_.Button(L"BBtn_Save")) save->SetOnClick([this] { SaveSettings(false); });
    if (recommended_)
        recommended_->SetOnClick([this] {
            if (App().UiIdle) RecommendedTypes();
        });
    journalNote_ = controls_.Label(L"Lab_JournalNote");
    BindList(L"Vst_Journal", journal_);
    restoreCenter_ = controls_.Button(L"BBtn_RestoreCenter");
    if (restoreCenter_)
        restoreCenter_->SetOnClick([this] {
            if (App().UiIdle) SelectSettingsEntry(kRestoreCenterEntry);
        });
    if (auto* restore = controls_.Button(L"BBtn_JournalRestore")) restore->SetOnClick([this] { RestoreJournalEntry(); });
    if (auto* remove = controls_.Button(L"BBtn_JournalDelete")) remove->SetOnClick([this] { DeleteJournalEntry(); });
    for (HWND control : {typeEdit_, methodBox_})
        if (control) SetWindowSubclass(control, KeySubclass, kKeySubclass, reinterpret_cast<DWORD_PTR>(this));
}

SettingsView::~SettingsView() {
    for (HWND control : {typeEdit_, methodBox_})
        if (control && IsWindow(control)) RemoveWindowSubclass(control, KeySubclass, kKeySubclass);
}

void SettingsView::TabPressed() {
    window_.MarkTopTab(6);
    // The method page first, as if "清理方式设置" were pressed.
    ModeChosen(true);
}

void SettingsView::SetChecksInPage(Page page, bool checked) {
    if (page == Page::SettingsTypes) SetTopRowChecks(types_, checked);
}

void SettingsView::ModeChosen(bool methodPage) { SelectSettingsEntry(methodPage ? 3 : 1); }

void SettingsView::FillSettingsTree() {
    tree_.Clear();
    setUpData_.clear();
    const unsigned lang = App().UiLanguageId;
    setUpData_.push_back({GetUiText(90016, lang), 0, 0});
    const NodeId root = tree_.AddRow(kRoot, {setUpData_.back().name}, {.userData = 0, .expanded = true});
    const int pages[][2] = {{1002, 1}, {1003, 2}, {1004, 3}, {90035, kRestoreCenterEntry}};
    for (const auto& [id, page] : pages) {
        setUpData_.push_back({GetUiText(id, lang), page, 1});
        tree_.AddRow(root, {setUpData_.back().name}, {.userData = setUpData_.size() - 1});
    }
}

void SettingsView::ShowTypeMenu(NodeId node, POINT screen) {
    if (node == widgets::kNoNode) return;
    types_.Select(node);
    HMENU menu = CreatePopupMenu();
    const std::wstring text = GetUiText(kDeleteUserTypeCommand, App().UiLanguageId);
    AppendMenuW(menu, MF_STRING, kDeleteUserTypeCommand, text.c_str());
    const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, 0, window_.hwnd(), nullptr);
    DestroyMenu(menu);
    if (chosen == kDeleteUserTypeCommand) DeleteUserType();
}

void SettingsView::SelectSettingsEntry(int page) {
    NodeId found = widgets::kNoNode;
    tree_.ForEachDescendant(kRoot, [&](NodeId node) {
        if (setUpData_[tree_.UserData(node)].page == page) found = node;
    });
    if (found == widgets::kNoNode) return;
    tree_.Select(found);
    SettingsTreeSelected(found);  // selecting from code fires the handler as a click would
}

void SettingsView::SettingsTreeSelected(NodeId node) {
    if (node == widgets::kNoNode) return;
    const TSetUpData& data = setUpData_[tree_.UserData(node)];
    if (data.kind != 1) return;
    if (pageTitle_) SetWindowTextW(pageTitle_, data.name.c_str());
    ShowSettingsPage(data.page - 1);
}

void SettingsView::AddTypeRow(const TSetUpDataItems& item) {
    setItems_.push_back(item);
    widgets::RowOptions options;
    options.checkKind = CheckKind::TwoState;
    options.check = item.state == L"0" ? CheckState::Checked : CheckState::Unchecked;
    options.userData = setItems_.size() - 1;
    if (item.userAdded == L"1") options.style.textColor = kUserTypeColor;
    types_.AddRow(kRoot, {item.description, item.type}, options);
}

// The page set, the footer and the header strip's page buttons follow the entry shown, while the
// settings tab is the one chosen.
void SettingsView::ShowPageFrame(int page) {
    if (App().CurrentView != 6) return;
    const bool restoreCenter = page == kRestoreCenterPage;
    window_.ShowActionSet(restoreCenter ? ActionSet::SettingsRestore : ActionSet::Settings);
    if (page == 0 || page == 2) window_.MarkModeButton(page == 2);
    else window_.MarkNoModeButton();
    if (restoreCenter_) restoreCenter_->CopyFace(restoreCenter ? Face::Hot : Face::Disabled, Face::Normal);
    // Ticks are for the type lists; only the general rules have recommended ones.
    ShowControl(selectAll_, page == 0 || page == 1);
    ShowControl(selectNone_, page == 0 || page == 1);
    ShowControl(recommended_, page == 0);
    window_.ShowPage(restoreCenter ? Page::SettingsRestore : page == 2 ? Page::SettingsMethod : Page::SettingsTypes);
}

void SettingsView::ShowSettingsPage(int page) {
    settingsPage_ = page;
    ShowPageFrame(page);
    if (page == kRestoreCenterPage) {
        FillJournalList();
        return;
    }
    types_.BeginUpdate();
    types_.Clear();
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
        SendMessageW(methodBox_, CB_SETCURSEL, method == 1 ? 1 : 0, 0);
    }
    types_.EndUpdate();
}

void SettingsView::BBtn_SetAddClick() {
    if (!typeEdit_) return;
    wchar_t text[512] = {};
    GetWindowTextW(typeEdit_, text, 512);
    const std::wstring type = TrimmedType(text);
    // A "/" would split the entry in two when the list is read back.
    if (!IsAcceptableUserType(type)) {
        ShowMessageById(90008);
        return;
    }
    bool exists = false;
    types_.ForEachDescendant(kRoot, [&](NodeId node) { exists = exists || types_.Text(node, 1) == type; });
    if (exists) {
        ShowMessageById(90007);
        return;
    }
    AddTypeRow({GetUiText(90002, App().UiLanguageId), type, L"0", L"1"});
    NodeId last = widgets::kNoNode;
    types_.ForEachDescendant(kRoot, [&](NodeId node) { last = node; });
    if (typeList_) {
        typeList_->Select(last);
        SetFocus(typeList_->hwnd());
    }
    SaveSettings(true);
}

void SettingsView::DeleteUserType() {
    const NodeId node = types_.Selected();
    if (node == widgets::kNoNode) return;
    if (setItems_[types_.UserData(node)].userAdded != L"1") {
        ShowMessageById(90004);
        return;
    }
    types_.RemoveRow(node);
}

void SettingsView::RecommendedTypes() {
    types_.BeginUpdate();
    types_.ForEachDescendant(kRoot, [&](NodeId node) {
        const std::size_t index = types_.UserData(node);
        const bool builtIn = setItems_[index].userAdded == L"0" && index < kBuiltInTypeCount;
        const bool on = builtIn && BuiltInTypeTable[index].recommended == L'0';
        types_.SetCheck(node, on ? CheckState::Checked : CheckState::Unchecked);
    });
    types_.EndUpdate();
}

void SettingsView::SaveSettings(bool silent) {
    // The restore center has nothing to save (its type list is empty: saving it would clear the
    // general rules).
    if (!App().UiIdle || settingsPage_ == kRestoreCenterPage) return;
    bool saved = false;
    if (settingsPage_ == 2) {
        const LRESULT method = SendMessageW(methodBox_, CB_GETCURSEL, 0, 0);
        saved = WriteSettingInt(kDirectDel, method == 1 ? 1 : 0);
    } else {
        std::wstring states, list;
        types_.ForEachDescendant(kRoot, [&](NodeId node) {
            states += types_.GetCheck(node) == CheckState::Checked ? L'0' : L'1';
            const TSetUpDataItems& item = setItems_[types_.UserData(node)];
            if (item.userAdded == L"1") list += (list.empty() ? L"" : kTypeListSeparator) + item.type;
        });
        saved = SaveTypeSettings(settingsPage_ == 1, list, states);
    }
    if (!silent) ShowMessageById(saved ? 90005 : 90006);
}

void SettingsView::FillJournalList() {
    std::vector<std::wstring> damaged;
    entries_ = Journal::OfUser().List(&damaged);
    damaged_ = damaged.size();
    journal_.BeginUpdate();
    journal_.Clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const JournalEntry& entry = entries_[i];
        journal_.AddRow(kRoot, {EntryTime(entry), CommandDescription(entry.Command), std::to_wstring(entry.Items.size())},
                        {.userData = i});
    }
    journal_.EndUpdate();
    // A damaged entry is never shown or touched; the line below the list only counts them.
    std::wstring note;
    if (damaged_ > 0) note = WithCounts(Text(90047), {damaged_});
    else if (entries_.empty()) note = Text(90048);
    if (journalNote_) SetWindowTextW(journalNote_, note.c_str());
}

const JournalEntry* SettingsView::SelectedJournalEntry() const {
    const NodeId node = journal_.Selected();
    if (node == widgets::kNoNode || !journal_.IsValid(node)) return nullptr;
    const std::size_t index = journal_.UserData(node);
    return index < entries_.size() ? &entries_[index] : nullptr;
}

std::optional<std::wstring> SettingsView::ConfirmChosenEntry(int question) {
    if (!window_.CanStartOperation()) return std::nullopt;
    const JournalEntry* entry = SelectedJournalEntry();
    if (!entry) {
        ShowMessageById(90041);
        return std::nullopt;
    }
    const std::wstring id = entry->Id;
    if (!AskYes(Text(question) + L"\r\n" + EntryLine(*entry))) return std::nullopt;
    return id;
}

void SettingsView::RestoreJournalEntry() {
    const std::optional<std::wstring> id = ConfirmChosenEntry(90042);
    if (!id) return;
    std::vector<RestoredItem> results;
    bool ended = false;
    {
        BusyScope busy(window_, busy_);
        HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        // A file goes back only where a removal would be allowed, never through a link.
        const RemovalService& removals = ProcessRemovalService();
        try {
            results = Journal::OfUser().Restore(*id, {}, [&removals](const std::wstring& path) { return removals.AllowsPlace(path); });
        } catch (const std::exception& error) {
            ended = true;
            ShowUnexpectedFailure(FromAnsi(error.what()));
        }
        SetCursor(previous ? previous : LoadCursorW(nullptr, IDC_ARROW));
    }
    if (window_.Closed()) return;
    // What was put back has left the journal: the list shows what is left.
    FillJournalList();
    if (ended) return;
    if (results.empty()) {
        ShowMessageById(90045);
        return;
    }
    std::size_t restored = 0, kept = 0, failed = 0;
    for (const RestoredItem& result : results) {
        switch (result.Result) {
            case RestoreResult::Restored: ++restored; break;
            case RestoreResult::Kept: ++kept; break;
            case RestoreResult::Failed: ++failed; break;
        }
    }
    std::wstring text = WithCounts(Text(90044), {restored, kept, failed});
    if (kept + failed > 0) text += L"\r\n" + Text(90049);
    CurrentPrompt().Ask(PromptRequest{PromptKind::Info, MessageTexts[0], text});
}

void SettingsView::DeleteJournalEntry() {
    const std::optional<std::wstring> id = ConfirmChosenEntry(90043);
    if (!id) return;
    const bool removed = Journal::OfUser().Remove(*id);
    FillJournalList();
    if (!removed) ShowMessageById(90046);
}

}  // namespace tidemark

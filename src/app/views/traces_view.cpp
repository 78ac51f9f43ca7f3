#include "app/views/traces_view.h"

#include <shellapi.h>

#include <algorithm>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/message_pump.h"
#include "app/widgets/picture_button.h"
#include "app/widgets/tree_list.h"
#include "lang/text_tables.h"
#include "lang/ui_texts.h"
#include "settings/settings_store.h"
#include "support/usage_log.h"
#include "system/file_ops.h"
#include "junk/junk_scan.h"
#include "system/reg_ops.h"
#include "system/text_case.h"

namespace tidemark {

using widgets::CheckKind;
using widgets::CheckState;
using widgets::Face;
using widgets::NodeId;
using widgets::RowOptions;

namespace {

constexpr COLORREF kGroupBack = 16707297;  // light blue behind the group rows
constexpr COLORREF kPendingText = RGB(0x5B, 0x6B, 0x7B);
constexpr wchar_t kHistoryFailed[] = L"(IE历史记录未能清除)";
constexpr UINT kLocateCommand = 1;
constexpr wchar_t kSlogan[] = L"清理掉您使用电脑时的各种痕迹,保护你的上网隐私";

// "扫描完成" and what follows it when a scan found nothing, in the interface's script.
const wchar_t* NothingFoundNote() {
    return ScriptOfLanguage(App().UiLanguageId) == Script::Traditional ? L"，沒有發現使用痕跡" : L"，没有发现使用痕迹";
}

const wchar_t* ElapsedWord() {
    return ScriptOfLanguage(App().UiLanguageId) == Script::Traditional ? L"  用時 " : L"  用时 ";
}

void Enable(widgets::PictureButton* button, bool enabled) {
    if (button) EnableWindow(button->hwnd(), enabled ? TRUE : FALSE);
}

}  // namespace

// The engine reports each item as it starts and ends it, and every entry as it is found: its rows
// follow (a large temporary folder fills its item while it is walked).
class TracesView::RowSink final : public Sink<TraceEntry> {
public:
    explicit RowSink(TracesView& view) : view_(view) {}
    void Found(const TraceEntry& entry) override { view_.AddFoundRow(entry); }
    void Failed(const Failure&) override { ++unreadable; }
    void Progressed(const Progress& progress) override {
        const auto colon = progress.current.find(L':');
        if (colon == std::wstring::npos) return;
        view_.RefreshItemOf(std::stoi(progress.current.substr(0, colon)), std::stoi(progress.current.substr(colon + 1)));
    }

    std::uint64_t unreadable = 0;

private:
    TracesView& view_;
};

TracesView::TracesView(TFBrimMain& window, ControlTable& table) : View(window, table, L"TracesView") {
    start_ = controls_.Button(L"BBtn_ScanHengji");
    rescan_ = controls_.Button(L"BBtn_ScanClear");
    clean_ = controls_.Button(L"BBtn_hengjiClear");
    stop_ = controls_.Button(L"BBtn_ScanStop");
    status_ = controls_.Label(L"Lab_TraceSlogan");
    cards_ = {controls_.Button(L"RzBmpButton1"), controls_.Button(L"RzBmpButton2"), controls_.Button(L"RzBmpButton5")};
    loading_ = controls_.AnyKind(L"Ani_Loading");
    widgets::TreeList* list = BindList(L"VST_DefaultData", rows_);
    list_ = list;
    // One column as wide as the page: the trace's name, or the file or value it found.
    OneFullWidthColumn(list);
    if (list) list->OnRightClick = [this](NodeId row, POINT screen) {
        HMENU menu = CreatePopupMenu();
        if (!menu) return;
        AppendMenuW(menu, MF_STRING | (CanLocate(row) ? 0 : MF_GRAYED), kLocateCommand, L"定位文件");
        const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, 0, window_.hwnd(), nullptr);
        DestroyMenu(menu);
        if (chosen == kLocateCommand) LocateTraceFile(row);
    };
    if (start_) start_->SetOnClick([this] { BeginTraceScan(); });
    if (clean_) clean_->SetOnClick([this] { CleanTraces(); });
    if (stop_) stop_->SetOnClick([] { App().Stop.Request(); });
    for (int group = 0; group < 3; ++group)
        if (cards_[group]) cards_[group]->SetOnClick([this, group] { ToggleTraceGroup(group); });
}

void TracesView::TabPressed() {
    SendUsageEvent(UsageEvent::TabTraces);
    window_.MarkTopTab(1);
    window_.ShowActionSet(ActionSet::TraceStart);
    window_.ShowPage(Page::TraceGroups);
    // The line under the tabs says what the view is for again, not how the last run ended.
    if (status_) SetWindowTextW(status_, kSlogan);
}

void TracesView::SetChecksInPage(Page page, bool checked) {
    if (page == Page::TraceResults && !Busy()) SetTopRowChecks(rows_, checked);
}

std::wstring TracesView::ItemText(const TraceItem& item) const {
    std::wstring text = GetUiText(TraceTextId(item.Table, item.Row), App().UiLanguageId);
    int files = 0, values = 0;
    for (const TraceEntry& entry : item.Entries) (entry.Kind == TraceEntryKind::File ? files : values) += 1;
    if (files + values == 0) return text;
    const bool traditional = ScriptOfLanguage(App().UiLanguageId) == Script::Traditional;
    std::wstring found = traditional ? L"共掃描到" : L"共扫描到";
    if (files > 0) found += std::to_wstring(files) + (traditional ? L"個文件" : L"个文件");
    if (files > 0 && values > 0) found += L", ";
    if (values > 0) found += std::to_wstring(values) + (traditional ? L"個登錄值" : L"个注册表值");
    return text + L" (" + found + L")";
}

std::wstring TracesView::EntryText(const TraceEntry& entry) const {
    if (entry.Kind == TraceEntryKind::File) return PathAsStored(entry.Text);
    const bool traditional = ScriptOfLanguage(App().UiLanguageId) == Script::Traditional;
    std::wstring key = entry.RootName;
    if (!entry.KeyPath.empty()) key += L"\\" + entry.KeyPath;
    const std::wstring name = entry.Text.empty() ? (traditional ? L"(預設)" : L"(默认)") : entry.Text;
    return key + L"  \u2192  " + name;
}

std::wstring TracesView::PathAsStored(const std::wstring& path) const {
    const std::size_t slash = path.rfind(L'\\');
    if (path.size() < 4 || path[1] != L':' || path[2] != L'\\' || slash == std::wstring::npos) return path;
    const std::wstring folder = path.substr(0, slash);
    std::wstring& stored = storedFolders_[UpperCased(folder)];
    if (stored.empty()) {
        // Each part after the drive, as its folder lists it.
        stored = std::wstring(1, static_cast<wchar_t>(towupper(path[0]))) + L":";
        std::size_t start = 3;
        while (start <= folder.size()) {
            const std::size_t end = std::min(folder.find(L'\\', start), folder.size());
            const std::wstring part = folder.substr(start, end - start);
            WIN32_FIND_DATAW data{};
            const HANDLE find =
                part.empty() || part.find_first_of(L"*?") != std::wstring::npos
                    ? INVALID_HANDLE_VALUE
                    : FindFirstFileW(ExtendedPath(stored + L"\\" + part).c_str(), &data);
            if (find != INVALID_HANDLE_VALUE) FindClose(find);
            stored += L"\\" + (find != INVALID_HANDLE_VALUE ? std::wstring(data.cFileName) : part);
            start = end + 1;
        }
    }
    return stored + path.substr(slash);
}

void TracesView::BuildTraceTree() {
    rows_.BeginUpdate();
    rows_.Clear();
    groupRows_.fill(widgets::kNoNode);
    for (int g = 0; g < 3; ++g) {
        itemRows_[g].assign(tree_.Groups[g].Items.size(), widgets::kNoNode);
        // A group not chosen is hidden with its items; what they found stays for the next time.
        if (!tree_.Groups[g].Selected) continue;
        RowOptions group;
        group.style.bold = true;
        group.style.backColor = kGroupBack;
        group.expanded = true;
        groupRows_[g] = rows_.AddRow(widgets::kRoot, {GetUiText(TraceGroups[g].CaptionId, App().UiLanguageId)}, group);
        for (std::size_t i = 0; i < tree_.Groups[g].Items.size(); ++i) {
            RowOptions item;
            item.expanded = true;
            itemRows_[g][i] = rows_.AddRow(groupRows_[g], {std::wstring()}, item);
            RefreshItem(g, static_cast<int>(i));
        }
    }
    rows_.SetAllExpanded(true);
    rows_.EndUpdate();
}

void TracesView::RefreshItem(int group, int index) {
    const NodeId row = itemRows_[group][index];
    if (row == widgets::kNoNode) return;
    const TraceItem& item = tree_.Groups[group].Items[index];
    rows_.BeginUpdate();
    for (NodeId child : rows_.Children(row)) rows_.RemoveRow(child);
    rows_.SetText(row, 0, ItemText(item));
    // Scanned or cleaned items in the list's own colour, the others in grey.
    widgets::RowStyle style;
    if (!item.Done) style.textColor = kPendingText;
    rows_.SetStyle(row, style);
    for (const TraceEntry& entry : item.Entries) {
        RowOptions options;
        options.checkKind = CheckKind::TriState;
        options.check = entry.Ticked ? CheckState::Checked : CheckState::Unchecked;
        rows_.AddRow(row, {EntryText(entry)}, options);
    }
    rows_.SetExpanded(row, true);
    rows_.EndUpdate();
}

void TracesView::RefreshItemOf(int table, int rowInTable) {
    for (int g = 0; g < 3; ++g)
        if (TraceGroups[g].Table == table && rowInTable >= 0 &&
            rowInTable < static_cast<int>(tree_.Groups[g].Items.size()))
            RefreshItem(g, rowInTable);
}

void TracesView::AddFoundRow(const TraceEntry& entry) {
    for (int g = 0; g < 3; ++g) {
        if (TraceGroups[g].Table != entry.Table || entry.Row < 0 ||
            entry.Row >= static_cast<int>(itemRows_[g].size()))
            continue;
        const NodeId row = itemRows_[g][entry.Row];
        if (row == widgets::kNoNode) return;
        RowOptions options;
        options.checkKind = CheckKind::TriState;
        options.check = entry.Ticked ? CheckState::Checked : CheckState::Unchecked;
        rows_.AddRow(row, {EntryText(entry)}, options);
        return;
    }
}

void TracesView::ReadTicks() {
    for (int g = 0; g < 3; ++g)
        for (std::size_t i = 0; i < tree_.Groups[g].Items.size(); ++i) {
            const NodeId row = itemRows_[g][i];
            if (row == widgets::kNoNode) continue;
            std::vector<TraceEntry>& entries = tree_.Groups[g].Items[i].Entries;
            const std::vector<NodeId> children = rows_.Children(row);
            for (std::size_t e = 0; e < entries.size() && e < children.size(); ++e)
                entries[e].Ticked = rows_.GetCheck(children[e]) == CheckState::Checked;
        }
}

void TracesView::SetStatus(int textId) {
    if (status_) SetWindowTextW(status_, GetUiText(textId, App().UiLanguageId).c_str());
}

std::wstring TracesView::Status() const {
    if (!status_) return {};
    wchar_t text[256] = {};
    GetWindowTextW(status_, text, 256);
    return text;
}

void TracesView::BeginTraceScan() {
    if (!tree_.Groups[0].Selected && !tree_.Groups[1].Selected && !tree_.Groups[2].Selected) {
        ShowMessageById(90027);
        return;
    }
    window_.ShowPage(Page::TraceResults);
    ShowControl(rescan_);
    ShowControl(clean_);
    ShowControl(start_, false);
    if (rescan_) rescan_->Click();
}

void TracesView::StartTraceScan() {
    if (!window_.CanStartOperation()) return;
    BusyScope busy(window_, busy_);
    Enable(rescan_, false);
    Enable(clean_, false);
    App().Stop.Reset();  // a close waiting would have refused the start
    SendUsageEvent(UsageEvent::TraceScan);
    ShowControl(stop_);
    ShowControl(loading_);
    SetStatus(90023);
    const std::wstring scanning = Status();
    BuildTraceTree();
    if (list_) list_->ScrollToRow(0);  // a new list starts at its top
    RowSink sink(*this);
    const DWORD start = GetTickCount();
    // The elapsed time beside the state, refreshed at a human rate between the pump's runs.
    class TimedPump final : public Pump {
    public:
        TimedPump(HWND status, std::wstring text, DWORD start) : status_(status), text_(std::move(text)), start_(start) {}
        void Poll() override {
            pump_.Poll();
            const DWORD now = GetTickCount();
            if (now - last_ < 250) return;
            last_ = now;
            if (status_) SetWindowTextW(status_, (text_ + ElapsedWord() + ElapsedText((now - start_) / 1000)).c_str());
        }

    private:
        MessagePump pump_;
        HWND status_;
        std::wstring text_;
        DWORD start_, last_ = 0;
    } pump(status_, scanning, start);
    ::tidemark::StartTraceScan(tree_, TracePlacesOfSystem(), {sink, pump, App().Stop});
    ShowControl(stop_, false);
    ShowControl(loading_, false);
    std::size_t found = 0;
    for (const TraceGroupState& group : tree_.Groups)
        if (group.Selected)
            for (const TraceItem& item : group.Items) found += item.Entries.size();
    std::wstring status = GetUiText(90024, App().UiLanguageId);
    if (found == 0 && !App().Stop.Requested()) status += NothingFoundNote();
    status += ElapsedWord() + ElapsedText((GetTickCount() - start) / 1000) + UnreadableNote(sink.unreadable);
    if (status_) SetWindowTextW(status_, status.c_str());
    Enable(rescan_, true);
    Enable(clean_, true);
}

void TracesView::CleanTraces() {
    if (!window_.CanStartOperation()) return;
    TraceCleanResult result;
    bool closing = false;
    {
        BusyScope busy(window_, busy_);
        Enable(clean_, false);
        Enable(rescan_, false);
        App().Stop.Reset();  // a close waiting would have refused the start
        SetStatus(90025);
        ShowControl(loading_);
        ReadTicks();
        TraceCleanOptions options;
        options.Recycle = ReadRegIntDefault(HKEY_CURRENT_USER, kSettingsKey, kDirectDel, 0) != 0;
        options.ClearHistory = ClearHistory;
        RowSink sink(*this);
        MessagePump pump;
        result = ::tidemark::CleanTraces(tree_, options, {sink, pump, App().Stop});
        closing = window_.ClosePending();
        ShowControl(loading_, false);
    }
    // A close asked for meanwhile has run as the busy scope ended: nothing is left to show.
    if (closing) return;
    window_.SelectTopTab(1);
    std::wstring status = GetUiText(90011, App().UiLanguageId);
    if (result.HistoryFailed) status += kHistoryFailed;
    if (status_) SetWindowTextW(status_, status.c_str());
    Enable(clean_, true);
    Enable(rescan_, true);
}

void TracesView::ToggleTraceGroup(int group) {
    widgets::PictureButton* card = cards_[group];
    if (!card) return;
    // The disabled slot holds the other look: swap them, and let the hot face follow.
    card->SwapFaces(Face::Normal, Face::Disabled);
    card->CopyFace(Face::Normal, Face::Hot);
    tree_.Groups[group].Selected = !tree_.Groups[group].Selected;
}

bool TracesView::CanLocate(NodeId row) const {
    if (!rows_.IsValid(row)) return false;
    const std::wstring text = rows_.Text(row, 0);
    return !text.empty() && text.find(L':') != std::wstring::npos &&
           GetFileAttributesW(ExtendedPath(text).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void TracesView::LocateTraceFile(NodeId row) {
    if (!CanLocate(row)) return;
    ShowFileInFolder(rows_.Text(row, 0));
}

}  // namespace tidemark

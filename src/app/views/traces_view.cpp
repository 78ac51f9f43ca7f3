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
#include "system/reg_ops.h"

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
    widgets::TreeList* list = BindList(L"VST_DefaultData", rows_);
    if (list) {
        // One column as wide as the page: the trace's name, or the file or value it found.
        RECT page{};
        GetClientRect(list->hwnd(), &page);
        list->SetColumnWidths({std::max<int>(page.right - GetSystemMetrics(SM_CXVSCROLL), 400)});
    }
    if (list) list->OnRightClick = [this](NodeId row, POINT screen) {
        HMENU menu = CreatePopupMenu();
        if (!menu) return;
        AppendMenuW(menu, MF_STRING | (CanLocate(row) ? 0 : MF_GRAYED), kLocateCommand, L"定位文件");
        const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, 0, window_.hwnd(), nullptr);
        DestroyMenu(menu);
        if (chosen == kLocateCommand) LocateTraceFile(row);
    };
    if (start_) start_->SetOnClick([this] { BeginTraceScan(); });
    if (rescan_) rescan_->SetOnClick([this] { StartTraceScan(); });
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
}

void TracesView::SetChecksInPage(Page page, bool checked) {
    if (page == Page::TraceResults && !Busy()) SetTopRowChecks(rows_, checked);
}

std::wstring TracesView::ItemText(const TraceItem& item) const {
    std::wstring text = GetUiText(TraceTextId(item.Table, item.Row), App().UiLanguageId);
    if (item.Count > 0) {
        wchar_t found[64];
        swprintf(found, 64, L"共扫描到%d个文件", item.Count);
        text += L" (" + std::wstring(found) + L")";
    }
    return text;
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
        rows_.AddRow(row, {entry.Text}, options);
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
        rows_.AddRow(row, {entry.Text}, options);
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
    SetStatus(90023);
    BuildTraceTree();
    RowSink sink(*this);
    MessagePump pump;
    ::tidemark::StartTraceScan(tree_, TracePlacesOfSystem(), {sink, pump, App().Stop});
    ShowControl(stop_, false);
    SetStatus(90024);
    if (sink.unreadable > 0 && status_) SetWindowTextW(status_, (Status() + UnreadableNote(sink.unreadable)).c_str());
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
        ReadTicks();
        TraceCleanOptions options;
        options.Recycle = ReadRegIntDefault(HKEY_CURRENT_USER, kSettingsKey, kDirectDel, 0) != 0;
        options.ClearHistory = ClearHistory;
        RowSink sink(*this);
        MessagePump pump;
        result = ::tidemark::CleanTraces(tree_, options, {sink, pump, App().Stop});
        closing = window_.ClosePending();
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
    const std::wstring arguments = L"/select,\"" + rows_.Text(row, 0) + L"\"";
    ShellExecuteW(nullptr, L"open", L"explorer.exe", arguments.c_str(), nullptr, SW_SHOWNORMAL);
}

}  // namespace tidemark

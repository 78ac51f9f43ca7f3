#include "app/views/registry_view.h"

#include <cwchar>

#include "app/main_window.h"
#include "app/message_pump.h"
#include "app/registry_jump.h"
#include "app/widgets/picture_button.h"
#include "app/widgets/tree_list.h"
#include "junk/junk_scan.h"
#include "lang/text_tables.h"
#include "lang/ui_texts.h"
#include "undo/journal.h"
#include "support/health_score.h"
#include "support/usage_log.h"
#include "system/ansi_text.h"
#include "system/disk_space.h"
#include "system/prompt.h"
#include "system/sys_misc.h"

namespace tidemark {

namespace {

using widgets::CheckKind;
using widgets::CheckState;
using widgets::kRoot;
using widgets::NodeId;

constexpr wchar_t kFixFailed[] = L"清理失败，重起后尝试重新清理！";
constexpr wchar_t kFixFailedTitle[] = L"系统提示";
constexpr UINT kLocateCommand = 1;

// The time since startTicks as "hh:mm:ss".
std::wstring ElapsedSince(DWORD startTicks) { return ElapsedText((GetTickCount() - startTicks) / 1000); }

std::wstring TextOf(HWND control) {
    if (!control) return {};
    wchar_t text[64] = {};
    GetWindowTextW(control, text, 64);
    return text;
}

void SetText(HWND control, const std::wstring& text) {
    if (control) SetWindowTextW(control, text.c_str());
}

// The window's pump, and the counter and clock refreshed at a human rate between its runs.
class ScanPump final : public Pump {
public:
    explicit ScanPump(std::function<void()> refresh) : refresh_(std::move(refresh)), last_(GetTickCount()) {}
    void Poll() override {
        pump_.Poll();
        const DWORD now = GetTickCount();
        if (now - last_ < 100) return;
        last_ = now;
        refresh_();
    }

private:
    MessagePump pump_;
    std::function<void()> refresh_;
    DWORD last_;
};

class RowSink final : public Sink<TDataRegItems> {
public:
    explicit RowSink(std::function<void(const TDataRegItems&)> add) : add_(std::move(add)) {}
    void Found(const TDataRegItems& row) override { add_(row); }
    void Failed(const Failure&) override { ++unreadable_; }
    std::uint64_t Unreadable() const { return unreadable_; }

private:
    std::function<void(const TDataRegItems&)> add_;
    std::uint64_t unreadable_ = 0;
};

// Every finding's key the same way: the root's full name, then the path below it.
std::wstring FullKeyName(const TDataRegItems& row) {
    std::wstring path = row.KeyPath;
    while (!path.empty() && path.front() == L'\\') path.erase(0, 1);
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    const std::wstring root = RootName(row.Root);
    return path.empty() ? root : root + L"\\" + path;
}

}  // namespace

RegistryView::RegistryView(TFBrimMain& window, ControlTable& table, StartSwitch startSwitch)
    : View(window, table, L"RegistryView"), startSwitch_(startSwitch) {
    start_ = controls_.Button(L"RzBmpButton7");
    scan_ = controls_.Button(L"BBtn_Scan");
    clean_ = controls_.Button(L"BBtn_Clear");
    stop_ = controls_.Button(L"SBBtn_RegScanStop");
    viewIcon_ = controls_.Icon(L"Img_ViewIcon");
    loading_ = controls_.AnyKind(L"Ani_Loading");
    count_ = controls_.Label(L"Label4");
    elapsed_ = controls_.Label(L"Lab_TimeRegCount");
    finalCount_ = controls_.Label(L"Lab_FinRegNum");
    finalTime_ = controls_.Label(L"Lab_FinRegTime");
    scanningBanner_ = {controls_.Label(L"SLab_RegTotalNum"), count_, elapsed_};
    finishedBanner_ = {controls_.Label(L"SLab_RegScanFinishTitle"), controls_.Label(L"SLab_RegtotalFileNumChar"),
                       finalCount_};
    finishedTime_ = {controls_.Label(L"SLab_Regtotaltime"), finalTime_};
    scoreButton_ = controls_.Button(L"BBtn_FreeDisk");
    regLine_ = controls_.Button(L"BBtn_ScoreRegLine");
    diskLine_ = controls_.Button(L"BBtn_ScoreDiskLine");
    diskPercent_ = controls_.Label(L"Lab_DiskPercent");
    scoreText_ = controls_.Label(L"Lab_Score");
    scoreBar_ = controls_.Panel(L"Img_ScoreBar");
    regLineText_ = controls_.Label(L"Lab_ScoreReg");
    diskLineText_ = controls_.Label(L"Lab_ScoreDisk");
    adminNote_ = controls_.Label(L"Lab_RegAdminNote");
    categoryRecords_ = RegistryCategories(App().UiLanguageId);
    BindList(L"VST_REG", categories_);
    for (const TDataRegDefault& record : categoryRecords_) {
        const bool ticked = RegCategoryTable()[record.Category].TickedAtStart;
        categories_.AddRow(kRoot, {record.Name},
                           {.checkKind = CheckKind::TwoState,
                            .check = ticked ? CheckState::Checked : CheckState::Unchecked,
                            .userData = static_cast<std::uintptr_t>(record.Category)});
    }
    widgets::TreeList* results = BindList(L"VST_RegItems", found_);
    if (results) {
        results->OnRightClick = [this, results](NodeId node, POINT screen) {
            if (node == widgets::kNoNode) return;
            found_.Select(node);
            // The menu's only item is there only while the window is idle.
            if (!App().UiIdle) return;
            HMENU menu = CreatePopupMenu();
            AppendMenuW(menu, MF_STRING, kLocateCommand, L"定位注册表");
            const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, 0, results->hwnd(), nullptr);
            DestroyMenu(menu);
            if (chosen == kLocateCommand) LocateRegistryEntry();
        };
    }
    Jump = [](const std::wstring& path) { JumpToRegistryKey(path); };
    if (start_) start_->SetOnClick([this] { StartRegistryPage(); });
    if (stop_) stop_->SetOnClick([this] { StopClick(); });
    if (scoreButton_) scoreButton_->SetOnClick([this] { RefreshHealthScore(); });
    if (regLine_) regLine_->SetOnClick([this] { ScoreLineClick(0); });
    if (diskLine_) diskLine_->SetOnClick([this] { ScoreLineClick(1); });
}

namespace {
constexpr UINT_PTR kDeferredScanTimer = 0x5245;  // "RE"
RegistryView* deferredScanView = nullptr;
}  // namespace

RegistryView::~RegistryView() {
    if (deferredScanView == this) {
        KillTimer(window_.hwnd(), kDeferredScanTimer);
        deferredScanView = nullptr;
    }
}

void CALLBACK RegistryView::DeferredScan(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    RegistryView* view = deferredScanView;
    deferredScanView = nullptr;
    if (view && view->scan_ && view->window_.CurrentPage() == Page::RegistryResults) view->scan_->Click();
}

void RegistryView::StartRegistryPageFromSwitch() {
    TakeFooterButtons();
    window_.ShowActionSet(ActionSet::RegistryScan);
    PlaceAtSlot(scan_, kRescanSlot);
    PlaceAtSlot(clean_, kCleanNowSlot);
    window_.ShowPage(Page::RegistryResults);
    ShowControl(viewIcon_);
    deferredScanView = this;
    SetTimer(window_.hwnd(), kDeferredScanTimer, 1, &RegistryView::DeferredScan);
}

void RegistryView::TabPressed() {
    SendUsageEvent(UsageEvent::TabRegistry);
    window_.MarkTopTab(4);
    window_.ShowActionSet(ActionSet::RegistryStart);
    window_.ShowPage(Page::RegistryStart);
}

void RegistryView::SetChecksInPage(Page page, bool checked) {
    if (page == Page::RegistryResults && !Busy()) SetTopRowChecks(found_, checked);
}

// "扫描" and "清理" are shared by the file views: whichever view shows them owns their press.
void RegistryView::TakeFooterButtons() {
    const auto onOwnPage = [this] { return window_.CurrentPage() == Page::RegistryResults; };
    if (scan_) scan_->SetOnClick([this, onOwnPage] {
        if (onOwnPage()) StartRegistryScan();
    });
    if (clean_) clean_->SetOnClick([this, onOwnPage] {
        if (onOwnPage()) FixRegistry();
    });
}

void RegistryView::StartRegistryPage() {
    TakeFooterButtons();
    window_.ShowActionSet(ActionSet::RegistryScan);
    PlaceAtSlot(scan_, kRescanSlot);
    PlaceAtSlot(clean_, kCleanNowSlot);
    window_.ShowPage(Page::RegistryResults);
    if (startSwitch_ != StartSwitch::ClearReg)
        categories_.ForEachDescendant(kRoot, [&](NodeId node) {
            if (categories_.GetCheckKind(node) != CheckKind::None) categories_.SetCheck(node, CheckState::Checked);
        });
    ShowControl(viewIcon_);
    if (scan_) scan_->Click();
}

std::vector<int> RegistryView::TickedCategories() const {
    std::vector<int> ticked;
    for (NodeId node : categories_.Children(kRoot))
        if (categories_.GetCheck(node) == CheckState::Checked) ticked.push_back(static_cast<int>(categories_.UserData(node)));
    return ticked;
}

void RegistryView::ClearResults() {
    found_.Clear();
    items_.clear();
    countValue_ = 0;
    ShowCount();
}

void RegistryView::AddFinding(const TDataRegItems& row) {
    items_.push_back(row);
    // On 64-bit Windows the key says which registry view it belongs to.
    const std::wstring view = RegistryViewLabel(ViewNumber(row.View), App().UiLanguageId);
    found_.AddRow(kRoot, {row.CategoryName, row.Name, view.empty() ? FullKeyName(row) : L"[" + view + L"] " + FullKeyName(row)},
                  {.checkKind = CheckKind::TwoState, .check = CheckState::Checked, .userData = items_.size() - 1});
    ++countValue_;
}

void RegistryView::ShowCount() { SetText(count_, std::to_wstring(countValue_)); }

void RegistryView::ShowScanBanner(bool scanning) {
    for (HWND label : scanningBanner_) ShowControl(label, scanning);
    for (HWND label : finishedBanner_) ShowControl(label, !scanning);
    for (HWND label : finishedTime_) ShowControl(label, !scanning && startSwitch_ != StartSwitch::ClearReg);
}

void RegistryView::StartRegistryScan() {
    if (!window_.CanStartOperation()) return;
    BusyScope busy(window_, busy_);
    ShowControl(loading_);
    if (scan_) EnableWindow(scan_->hwnd(), FALSE);
    const DWORD start = GetTickCount();
    App().Stop.Reset();
    SendUsageEvent(UsageEvent::RegistryScan);
    for (HWND label : finishedBanner_) ShowControl(label, false);
    for (HWND label : finishedTime_) ShowControl(label, false);
    for (HWND label : scanningBanner_) ShowControl(label, true);
    ShowControl(adminNote_, false);
    ShowControl(stop_);
    ClearResults();
    SetText(elapsed_, L"00:00:00");
    const std::vector<int> categories = TickedCategories();
    RowSink sink([this](const TDataRegItems& row) { AddFinding(row); });
    try {
        ScanPump pump([&] {
            ShowCount();
            SetText(elapsed_, ElapsedSince(start));
        });
        SystemPathProbe probe;
        RegScanRun run{sink, pump, App().Stop, probe, categoryRecords_};
        found_.BeginUpdate();
        ScanRegistryCategories(categories, run);
        found_.EndUpdate();
    } catch (const std::exception& error) {
        found_.EndUpdate();
        ShowUnexpectedFailure(FromAnsi(error.what()));
    }
    ShowCount();
    const std::wstring elapsed = ElapsedSince(start);
    SetText(elapsed_, elapsed);
    SetText(finalCount_, std::to_wstring(countValue_));
    SetText(finalTime_, elapsed + UnreadableNote(sink.Unreadable()));
    ShowScanBanner(false);
    ShowControl(stop_, false);
    ShowControl(loading_, false);
    if (scan_) EnableWindow(scan_->hwnd(), TRUE);
    if (countValue_ == 0) ShowMessageById(90013);
}

void RegistryView::StopClick() { App().Stop.Request(); }

void RegistryView::FixRegistry() {
    if (!window_.CanStartOperation()) return;
    BusyScope busy(window_, busy_);
    App().Stop.Reset();
    SendUsageEvent(UsageEvent::RegistryClean);
    // The ticked rows, in the list's order.
    std::vector<NodeId> ticked;
    std::vector<TDataRegItems> records;
    for (NodeId node : found_.Children(kRoot)) {
        if (found_.GetCheck(node) != CheckState::Checked) continue;
        ticked.push_back(node);
        records.push_back(items_[found_.UserData(node)]);
    }
    // A removal the system refused keeps its row; everything else leaves the list. A refusal
    // for want of administrator rights is counted as the fix makes it, so each row reported
    // knows whether it was one.
    std::vector<bool> keep(records.size(), false);
    AdminRefusalTally refusals;
    struct Outcomes final : Sink<TDataRegItems> {
        explicit Outcomes(AdminRefusalTally& r) : refusals(r) {}
        std::vector<Outcome> seen;
        std::vector<bool> forRights;
        AdminRefusalTally& refusals;
        void Processed(const TDataRegItems&, Outcome outcome) override {
            seen.push_back(outcome);
            forRights.push_back(refusals.TakeNew() > 0 && outcome == Outcome::Failed);
        }
    } outcomes(refusals);
    bool failed = false, onlyForRights = true;
    // What the fix removes goes into the undo journal first; without one nothing is removed.
    RecordedRun journal(L"reg fix");
    if (!journal.Ready()) {
        ShowJournalFailure(journal.Why());
        return;
    }
    try {
        MessagePump pump;
        StopToken noStop;
        SystemPathProbe probe;
        FixRegistryItems(records, WalkMode::Apply, Operation<TDataRegItems>{outcomes, pump, noStop}, probe,
                         journal.Service());
        for (std::size_t i = 0; i < outcomes.seen.size(); ++i) {
            keep[i] = outcomes.seen[i] == Outcome::Failed || outcomes.seen[i] == Outcome::Refused;
            failed = failed || keep[i];
            if (keep[i] && !outcomes.forRights[i]) onlyForRights = false;
        }
    } catch (const std::exception& error) {
        // What the fix did before is not known row by row: every row stays for another try.
        failed = true;
        onlyForRights = false;
        keep.assign(records.size(), true);
        ShowUnexpectedFailure(FromAnsi(error.what()));
    }
    const bool undoable = !journal.Finish().empty();
    if (!failed) {
        ShowControl(adminNote_, false);
        // What was fixed leaves the list before the message says so.
        ClearResults();
        SetText(finalCount_, L"0");  // the banner no longer counts what is gone
        ShowDoneMessage(90011, undoable);
        return;
    }
    // Refused for want of administrator rights: said once, above the list, and no box when
    // nothing else failed (another try would fail the same way until the program runs as
    // administrator).
    ShowControl(adminNote_, refusals.Total() > 0);
    if (!onlyForRights) CurrentPrompt().Ask(PromptRequest{PromptKind::Info, kFixFailedTitle, kFixFailed});
    // The rows that failed stay (unticked ones too) for another try after a restart.
    std::vector<TDataRegItems> kept;
    std::vector<bool> keepNode(items_.size(), true);
    for (std::size_t i = 0; i < ticked.size(); ++i) keepNode[found_.UserData(ticked[i])] = keep[i];
    const std::vector<TDataRegItems> before = items_;
    ClearResults();
    found_.BeginUpdate();
    for (std::size_t i = 0; i < before.size(); ++i)
        if (keepNode[i]) AddFinding(before[i]);
    found_.EndUpdate();
    ShowCount();
    SetText(finalCount_, std::to_wstring(countValue_));
}

void RegistryView::LocateRegistryEntry() {
    const NodeId node = found_.Selected();
    if (node == widgets::kNoNode || !found_.IsValid(node)) return;
    const TDataRegItems& item = items_[found_.UserData(node)];
    if (item.KeyPath.empty()) return;
    if (Jump) Jump(FullKeyName(item));
}

void RegistryView::RefreshHealthScore() {
    if (window_.CanStartOperation()) {
        // The measurement lets the window breathe: nothing else may start meanwhile.
        BusyScope busy(window_, busy_);
        SetText(diskPercent_, L"0");
        SetText(count_, L"0");
        SetText(diskPercent_, std::to_wstring(DiskFreePercent()));
        ClearResults();
        try {
            RowSink sink([this](const TDataRegItems& row) { AddFinding(row); });
            MessagePump pump;
            StopToken noStop;
            SystemPathProbe probe;
            RegScanRun run{sink, pump, noStop, probe, categoryRecords_};
            found_.BeginUpdate();
            ScanForHealthScore(run);
            found_.EndUpdate();
        } catch (const std::exception& error) {
            found_.EndUpdate();
            ShowUnexpectedFailure(FromAnsi(error.what()));
        }
        ShowCount();
        SetText(regLineText_, GetUiText(1008, App().UiLanguageId) + TextOf(count_) + GetUiText(90003, App().UiLanguageId));
        SetText(diskLineText_, GetUiText(1009, App().UiLanguageId) + TextOf(diskPercent_) + L"%");
    }
    int score = 0;
    if (!HealthScoreFromTexts(TextOf(count_), TextOf(diskPercent_), score)) return;  // texts keep their values
    score_ = score;
    barWidth_ = tidemark::ScoreBarWidth(score);
    ShowScore();
}

void RegistryView::ShowScore() {
    SetText(scoreText_, std::to_wstring(score_));
    if (scoreBar_) {
        RECT bar;
        GetWindowRect(scoreBar_, &bar);
        SetWindowPos(scoreBar_, nullptr, 0, 0, barWidth_, bar.bottom - bar.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ShowControl(scoreBar_, barWidth_ > 0);
    }
}

void RegistryView::ScoreLineClick(int marker) { window_.SelectTopTab(marker == 0 ? 4 : 2); }

}  // namespace tidemark

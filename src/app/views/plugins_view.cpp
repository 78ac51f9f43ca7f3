#include "app/views/plugins_view.h"

#include "app/app_state.h"
#include "app/backup_file_dialog.h"
#include "app/main_window.h"
#include "app/message_pump.h"
#include "app/registry_jump.h"
#include "app/views/frm_plug_infor.h"
#include "app/widgets/picture_button.h"
#include "engine/boot_delete.h"
#include "engine/cleaner.h"
#include "engine/plugin_clean.h"
#include "engine/soft_obj.h"
#include "lang/text_tables.h"
#include "lang/ui_texts.h"
#include "repair/browser_repair.h"
#include "support/usage_log.h"
#include "system/file_ops.h"
#include "system/prompt.h"
#include "system/services.h"
#include "system/sys_misc.h"
#include "system/win_info.h"
#include "system/win_sys.h"
#include "undo/journal.h"

namespace tidemark {

namespace {

constexpr wchar_t kNoEngine[] = L"程序没有初始化，无法操作";
constexpr wchar_t kCleanQuestion[] = L"为了保证清理效果，请在清理前退出IE(或者其他的浏览器)\r\r请确定是否开始清理系统?";
constexpr wchar_t kLeftoversSafeMode[] = L"清理没有完全成功，可以再进行一次清理，或者重启系统后执行清理操作！";
constexpr wchar_t kLeftovers[] = L"清理没有完全成功，请重新启动电脑，然后再次尝试清理操作！";
constexpr wchar_t kBootListNotCommitted[] = L"需要重启后删除的文件没有登记成功，重启后这些文件不会被删除！";
constexpr wchar_t kUnexpectedError[] = L"操作出错：";

void Enable(widgets::PictureButton* button, bool enabled) {
    if (button) EnableWindow(button->hwnd(), enabled ? TRUE : FALSE);
}

class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_ ? previous_ : LoadCursorW(nullptr, IDC_ARROW)); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

}  // namespace

PostCleanRepairs& PluginPostCleanRepairs() {
    // The browser, shell and WinSock2 repairs; the WinSock2 backup is asked for with the save
    // dialog, owned by the window the user works in.
    static PostCleanRepairs repairs = [](bool (*deleteFile)(const std::wstring&), bool (*removeTree)(const std::wstring&)) {
        struct ChooserScope {
            BackupFileChooser previous = SetBackupFileChooser(
                [](const BackupFileRequest& request) { return AskBackupFile(GetActiveWindow(), request); });
            ~ChooserScope() { SetBackupFileChooser(std::move(previous)); }
        } scope;
        RunPostCleanRepairs(deleteFile, removeTree);
    };
    return repairs;
}

PluginsView::PluginsView(TFBrimMain& window, ControlTable& table) : View(window, table, L"PluginsView") {
    scan_ = controls_.Button(L"BBtn_PlugScan");
    clean_ = controls_.Button(L"BBtn_PlugClear");
    label_ = controls_.Label(L"Lab_PlugInfo");
    loading_ = controls_.Panel(L"PanlLoading");
    BindList(L"VDT1", results_.Rows());
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(window.hwnd(), WM_GETFONT, 0, 0));
    cards_ = std::make_unique<PluginCards>(controls_.Panel(L"ScrollBox1"), font);
    cards_->OnCheckClick = [this](int index) { CardCheckClick(index); };
    cards_->OnDetailsClick = [this](int index) { CardDetailsClick(index); };
    if (scan_) scan_->SetOnClick([this] { btnScanClick(); });
    if (clean_) clean_->SetOnClick([this] { btnCleanClick(); });
}

PluginsView::~PluginsView() = default;

void PluginsView::TabPressed() {
    AppState& app = App();
    app.UiIdle = false;
    SendUsageEvent(UsageEvent::TabPlugins);
    window_.MarkTopTab(5);
    window_.ShowActionSet(ActionSet::Plugins);
    window_.ShowPage(Page::Plugins);
    if (scan_) scan_->Click();
    app.UiIdle = true;
}

void PluginsView::SetChecksInPage(Page page, bool checked) {
    if (page != Page::Plugins || Busy()) return;
    SetPluginChecks(checked);
}

void PluginsView::SetPluginChecks(bool checked) {
    const std::vector<widgets::NodeId> objects = results_.Objects(results_.PluginCategory());
    results_.Rows().BeginUpdate();
    for (std::size_t i = 0; i < objects.size(); ++i) {
        results_.SetTicked(objects[i], checked);
        cards_->SetTicked(static_cast<int>(i), checked);
    }
    results_.Rows().EndUpdate();
    UpdateCleanButton();
}

void PluginsView::OnNewPlugin(const PluginFound& found, widgets::NodeId category) {
    results_.NewObject(*found.Plugin, category);
    MessagePump().Drain();
}

void PluginsView::UpdateCleanButton() { Enable(clean_, results_.TickedCount() > 0); }

void PluginsView::btnScanClick() {
    SendUsageEvent(UsageEvent::PluginScan);
    TCleaner* cleaner = window_.Cleaner();
    if (!cleaner) {
        ShowError(kNoEngine);
        return;
    }
    BusyScope busy(window_, busy_);
    ShowControl(loading_);
    if (loading_) BringWindowToTop(loading_);
    if (label_) SetWindowTextW(label_, GetUiText(90023, App().UiLanguageId).c_str());
    {
        WaitCursor wait;
        try {
            results_.SetScanning(true);
            Enable(scan_, false);
            Enable(clean_, false);
            ShowControl(clean_, false);
            MessagePump().Drain();
            const widgets::NodeId category = results_.PluginCategory();
            results_.ClearCategory(category);
            cards_->Build({});
            // Every plug-in a scan makes becomes a node of the plug-in category.
            class Reporter final : public Sink<PluginFound> {
            public:
                Reporter(PluginsView& view, widgets::NodeId category) : view_(view), category_(category) {}
                void Found(const PluginFound& found) override { view_.OnNewPlugin(found, category_); }

            private:
                PluginsView& view_;
                widgets::NodeId category_;
            } reporter(*this, category);
            TObjCatalog& catalog = results_.Catalog(category);
            for (const PluginScan scan : kPluginScanOrder) {
                catalog.Found = (cleaner->*scan)(&reporter);
                results_.Repaint(category);
            }
            catalog.Found = catalog.Total = static_cast<std::int32_t>(results_.Rows().ChildCount(category));
            DefinitionFixRequests() = ScriptFixRequests{};
            results_.ResetChecks(4);
            results_.SetScanning(false);
            BuildCards();
            if (label_) {
                std::wstring text = GetUiText(90026, App().UiLanguageId);
                const std::size_t at = text.find(L"%d");
                if (at != std::wstring::npos) text.replace(at, 2, std::to_wstring(cards_->Count()));
                SetWindowTextW(label_, text.c_str());
            }
            ShowControl(loading_, false);
        } catch (...) {
            // The scan stops where the error came; the user hears why.
            ShowControl(loading_, false);
            ShowError(kUnexpectedError + CurrentExceptionReason());
        }
        results_.SetScanning(false);
        UpdateCleanButton();
    }
    Enable(scan_, true);
    ShowControl(scan_);
    ShowControl(clean_);
}

void PluginsView::btnCleanClick() {
    SendUsageEvent(UsageEvent::PluginClean);
    TCleaner* cleaner = window_.Cleaner();
    if (!cleaner) {
        ShowError(kNoEngine);
        return;
    }
    if (AskOkCancel(kCleanQuestion) != AnswerOk) return;
    // A stop left over from another view's operation must not cut this clean short.
    if (!window_.ClosePending()) App().Stop.Reset();
    BusyScope busy(window_, busy_);
    WaitCursor wait;
    Enable(scan_, false);
    Enable(clean_, false);
    // The ticked objects in the cards' order; the clean itself is the engine's.
    std::vector<TPluginObj*> chosen;
    for (widgets::NodeId category : {results_.DefinitionCategory(), results_.PluginCategory()}) {
        for (widgets::NodeId object : results_.Objects(category)) {
            if (!results_.IsTicked(object)) continue;
            if (auto* plugin = dynamic_cast<TPluginObj*>(results_.ObjectOf(object))) chosen.push_back(plugin);
        }
    }
    // Unexpected errors, and what stayed of the plan: refused for want of administrator rights
    // (counted as the clean makes each refusal, so the entry reported next knows it was one),
    // or for any other reason.
    AdminRefusalTally refusals;
    class Errors final : public Sink<PluginCleanRecord> {
    public:
        explicit Errors(AdminRefusalTally& refusals) : refusals_(refusals) {}
        void Processed(const PluginCleanRecord& record, Outcome outcome) override {
            const bool refused = refusals_.TakeNew() > 0;
            if (!record.Item) return;
            if (outcome == Outcome::Failed && refused) {
                ++forRights;
            } else if (outcome == Outcome::Deferred) {
                ++deferred;
            } else if (outcome == Outcome::Failed || outcome == Outcome::Refused) {
                ++otherFailures;
            }
        }
        void Failed(const Failure& failure) override { lines += failure.item + L"\r"; }
        std::wstring lines;
        int forRights = 0, deferred = 0, otherFailures = 0;

    private:
        AdminRefusalTally& refusals_;
    } errors(refusals);
    MessagePump pump;
    PluginCleanRun run{{errors, pump, App().Stop}, WalkMode::Apply, PluginPostCleanRepairs(), {}};
    // Everything the clean and its repairs change goes into the undo journal first; without a
    // journal nothing is changed.
    RecordedRun journal(L"plugins clean");
    if (!journal.Ready()) {
        Enable(scan_, true);
        Enable(clean_, true);
        ShowJournalFailure(journal.Why());
        return;
    }
    {
        const ScopedJournal recording(*journal.Run());
        lastClean_ = CleanPlugins(*cleaner, chosen, run);
    }
    const bool undoable = !journal.Finish().empty();
    // The scan that follows shows what is still there (it is skipped when the window is closing).
    Enable(scan_, true);
    if (!App().Stop.Requested()) btnScanClick();
    if (!errors.lines.empty()) ShowError(kUnexpectedError + errors.lines);
    // Without administrator rights the boot-time list (in the system folder, its entry under
    // HKEY_LOCAL_MACHINE) cannot be committed, and what was left for the restart stays there.
    const bool committed = lastClean_.Boot == BootCommitResult::Committed || lastClean_.Boot == BootCommitResult::NotNeeded;
    const bool bootForRights = !committed && !HasAdminRights();
    // Everything that stayed stayed for want of administrator rights: the line above the cards
    // says so once, instead of a failure box.
    const bool needsRights = errors.forRights > 0 || (bootForRights && errors.deferred > 0);
    const bool onlyForRights = needsRights && errors.lines.empty() && errors.otherFailures == 0 &&
                               (errors.deferred == 0 || bootForRights);
    if (!committed && !onlyForRights) ShowError(kBootListNotCommitted);
    if (needsRights && label_) SetWindowTextW(label_, GetUiText(90052, App().UiLanguageId).c_str());
    // Without the rescan (the window is closing) the ticks say nothing of what is left.
    if (App().Stop.Requested()) return;
    if (results_.TickedCount() > 0) {
        if (!onlyForRights) ShowInfo(IsSafeMode() ? kLeftoversSafeMode : kLeftovers);
    } else if (undoable && !needsRights) {
        ShowDoneMessage(90011, true);
    }
}

void PluginsView::BuildCards() {
    std::vector<PluginCard> cards;
    for (widgets::NodeId object : results_.Objects(results_.PluginCategory())) {
        PluginCard card;
        card.Name = results_.CardName(object);
        card.Type = results_.CardType(object);
        const std::wstring file = results_.CardFile(object);
        card.File = L"文件名称:" + file;
        std::wstring company;
        if (!file.empty() && GetFileCompanyName(file, company)) card.Company = L"公司名称:" + company;
        else card.Company = L"公司名称:";
        card.Ticked = results_.IsTicked(object);
        cards.push_back(std::move(card));
    }
    cards_->Build(cards);
}

widgets::NodeId PluginsView::ObjectAtCard(int index) const {
    const std::vector<widgets::NodeId> objects = results_.Objects(results_.PluginCategory());
    return index >= 0 && static_cast<std::size_t>(index) < objects.size() ? objects[static_cast<std::size_t>(index)]
                                                                          : widgets::kNoNode;
}

void PluginsView::CardCheckClick(int index) {
    // The cards stand for the objects of the last scan: while a scan or clean runs they may no
    // longer do.
    if (Busy() || results_.Scanning()) return;
    const widgets::NodeId object = ObjectAtCard(index);
    if (object == widgets::kNoNode) return;
    const bool ticked = !results_.IsTicked(object);
    results_.SetTicked(object, ticked);
    cards_->SetTicked(index, ticked);
    UpdateCleanButton();
    results_.Repaint(object);
}

std::vector<std::wstring> PluginsView::DetailsOf(int index) const {
    const widgets::NodeId object = ObjectAtCard(index);
    return object == widgets::kNoNode ? std::vector<std::wstring>{} : results_.DetailLines(object);
}

void PluginsView::CardDetailsClick(int index) {
    if (Busy() || results_.Scanning() || ObjectAtCard(index) == widgets::kNoNode) return;
    BusyScope busy(window_, busy_);
    if (std::unique_ptr<TFrmPlugInfor> form = TFrmPlugInfor::Create(window_.hwnd(), DetailsOf(index))) form->ShowModal();
}

void PluginsView::ForgetResults() {
    results_.ClearCategory(results_.PluginCategory());
    results_.ClearCategory(results_.DefinitionCategory());
    cards_->Build({});
    UpdateCleanButton();
}

void PluginsView::actDeleteExecute() {
    if (Busy()) return;
    const widgets::NodeId focused = results_.Rows().Selected();
    if (focused == widgets::kNoNode || results_.KindOf(focused) != NodeKind::Entry) return;
    // One entry removed by hand is a change like any clean's: into the undo journal first.
    RecordedRun journal(L"plugins delete");
    if (!journal.Ready()) {
        ShowJournalFailure(journal.Why());
        return;
    }
    const ScopedJournal recording(*journal.Run());
    results_.DeleteEntry(focused);
}

void PluginsView::actUnloadExecute() {
    if (Busy()) return;
    WaitCursor wait;
    RecordedRun journal(L"plugins unload");
    if (!journal.Ready()) {
        ShowJournalFailure(journal.Why());
        return;
    }
    const ScopedJournal recording(*journal.Run());
    if (results_.UnloadObject(results_.Rows().Selected())) UpdateCleanButton();
}

void PluginsView::actSelectAllExecute() {
    if (Busy()) return;
    results_.ResetChecks(2);
    SetPluginChecks(true);
}

void PluginsView::actUnselectAllExecute() {
    if (Busy()) return;
    results_.ResetChecks(0);
    SetPluginChecks(false);
}

void PluginsView::actFilePropertyExecute() {
    const std::wstring path = results_.PathOf(results_.Rows().Selected());
    if (!path.empty()) GetWinSys().ShowFileProperties(window_.hwnd(), path);
}

void PluginsView::actFindObjExecute() {
    const std::wstring path = results_.PathOf(results_.Rows().Selected());
    if (!path.empty()) TCleaner::ShowInExplorer(path);
}

void PluginsView::actQueryWebInfoExecute() {
    const std::wstring path = results_.PathOf(results_.Rows().Selected());
    if (!path.empty()) OpenProcessInfoPage(path);
}

void PluginsView::actStopServerExecute() {
    const widgets::NodeId focused = results_.Rows().Selected();
    const TCleanItem* item = results_.KindOf(focused) == NodeKind::Entry ? results_.ItemOf(focused) : nullptr;
    if (!item || item->ItemKind != ItemService || !StopServiceByName(item->Text)) {
        ShowInfo(L"操作失败");
        return;
    }
    results_.Repaint(focused);
    results_.Repaint(results_.Rows().Parent(focused));
}

void PluginsView::actOpenByRegeditExecute() {
    const widgets::NodeId focused = results_.Rows().Selected();
    const TCleanItem* item = results_.KindOf(focused) == NodeKind::Entry ? results_.ItemOf(focused) : nullptr;
    if (!item) return;
    if (item->ItemKind == ItemRegKey) {
        JumpToRegistryKey(item->Text);
    } else if (item->ItemKind == ItemRegValue) {
        // A value path ends with its name: the editor opens at the key that holds it.
        const std::size_t slash = item->Text.rfind(L'\\');
        if (slash != std::wstring::npos) JumpToRegistryKey(item->Text.substr(0, slash));
    }
}

}  // namespace tidemark

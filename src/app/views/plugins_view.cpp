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
#include "engine/soft_obj.h"
#include "lang/text_tables.h"
#include "repair/browser_repair.h"
#include "support/usage_log.h"
#include "system/file_ops.h"
#include "system/prompt.h"
#include "system/services.h"
#include "system/sys_misc.h"
#include "system/win_info.h"
#include "system/win_sys.h"

namespace tidemark {

namespace {

constexpr wchar_t kNoEngine[] = L"程序没有初始化，无法操作";
constexpr wchar_t kCleanQuestion[] = L"为了保证清理效果，请在清理前退出IE(或者其他的浏览器)\r\r请确定是否开始清理系统?";
constexpr wchar_t kLeftoversSafeMode[] = L"清理没有完全成功，可以再进行一次清理，或者重启系统后执行清理操作！";
constexpr wchar_t kLeftovers[] = L"清理没有完全成功，请重新启动电脑，然后再次尝试清理操作！";

void* ContextOf(widgets::NodeId category) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(category)); }

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

PluginsView::~PluginsView() {
    if (TCleaner* cleaner = window_.Cleaner()) cleaner->OnNewPlugin = nullptr;
}

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

void PluginsView::OnNewPlugin(TPluginObj& plugin, void* context) {
    const auto category = static_cast<widgets::NodeId>(reinterpret_cast<std::uintptr_t>(context));
    results_.NewObject(plugin, category);
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
            cleaner->OnNewPlugin = [this](TCleaner&, TPluginObj& plugin, void* context) { OnNewPlugin(plugin, context); };
            TObjCatalog& catalog = results_.Catalog(category);
            for (int (TCleaner::*scan)(void*) : {&TCleaner::ScanHelperObjects, &TCleaner::ScanToolbars,
                                                &TCleaner::ScanMenuExtensions, &TCleaner::ScanToolbarButtons,
                                                &TCleaner::ScanExplorerBars}) {
                catalog.Found = (cleaner->*scan)(ContextOf(category));
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
    try {
        for (widgets::NodeId category : {results_.DefinitionCategory(), results_.PluginCategory()}) {
            for (widgets::NodeId object : results_.Objects(category)) {
                if (App().Stop.Requested()) break;
                if (!results_.IsTicked(object)) continue;
                try {
                    results_.ObjectOf(object)->Clean();
                } catch (...) {
                }
                MessagePump().Drain();
            }
        }
        if (const PostCleanRepairs& repairs = PluginPostCleanRepairs()) repairs(&DeleteFileForce, &RemoveFolderTree);
        const ScriptFixRequests fixes = DefinitionFixRequests();
        if (fixes.HostsFixWanted) {
            std::wstring hosts;
            GetWinSys().GetHostsPath(hosts);
            if (!hosts.empty()) cleaner->FixHostsFile(hosts);
        }
        if (fixes.NotifyFixWanted) cleaner->FixWinlogonNotify();
    } catch (...) {
    }
    // The scan that follows shows what is still there (it is skipped when the window is closing).
    Enable(scan_, true);
    if (!App().Stop.Requested()) {
        try {
            btnScanClick();
        } catch (...) {
        }
    }
    try {
        if (results_.TickedCount() > 0) {
            CommitBootDelete();
            // Without the rescan (the window is closing) the ticks say nothing of what is left.
            if (!App().Stop.Requested()) ShowInfo(IsSafeMode() ? kLeftoversSafeMode : kLeftovers);
        }
    } catch (...) {
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
    if (TCleaner* cleaner = window_.Cleaner()) cleaner->OnNewPlugin = nullptr;
    results_.ClearCategory(results_.PluginCategory());
    results_.ClearCategory(results_.DefinitionCategory());
    cards_->Build({});
    UpdateCleanButton();
}

void PluginsView::actDeleteExecute() {
    if (Busy()) return;
    const widgets::NodeId focused = results_.Rows().Selected();
    if (focused == widgets::kNoNode || results_.KindOf(focused) != NodeKind::Entry) return;
    results_.DeleteEntry(focused);
}

void PluginsView::actUnloadExecute() {
    if (Busy()) return;
    WaitCursor wait;
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

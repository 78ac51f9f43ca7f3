#include "app/views/junk_view.h"

#include <shellapi.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/message_pump.h"
#include "app/views/custom_view.h"
#include "app/widgets/link_label.h"
#include "app/widgets/picture_button.h"
#include "app/widgets/tree_list.h"
#include "lang/text_tables.h"
#include "lang/ui_texts.h"
#include "junk/custom_folders.h"
#include "settings/settings_store.h"
#include "support/usage_log.h"
#include "system/file_ops.h"
#include "system/text_case.h"

namespace tidemark {

namespace {

using widgets::CheckKind;
using widgets::CheckState;
using widgets::kNoNode;
using widgets::kRoot;
using widgets::NodeId;

void SetText(HWND label, const std::wstring& text) {
    if (label) SetWindowTextW(label, text.c_str());
}

void Enable(widgets::PictureButton* button, bool enabled) {
    if (button) EnableWindow(button->hwnd(), enabled ? TRUE : FALSE);
}

void ShowAll(const std::vector<HWND>& controls, bool visible) {
    for (HWND control : controls) ShowControl(control, visible);
}


// Labels change at most ten times a second.
class Throttle {
public:
    bool Due() {
        const DWORD now = GetTickCount();
        if (now - last_ < 100) return false;
        last_ = now;
        return true;
    }

private:
    DWORD last_ = GetTickCount() - 1000;
};

// The space a clean freed, after its file count: " (释放 1.25 MB)".
std::wstring FreedNote(std::uint64_t bytes) {
    const bool traditional = ScriptOfLanguage(App().UiLanguageId) == Script::Traditional;
    const std::uint64_t centiKb = (bytes * 100 + 512) / 1024;
    const std::wstring size = bytes < 1024        ? std::to_wstring(bytes) + (traditional ? L" 位元組" : L" 字节")
                              : centiKb >= 102400 ? CentiTextTwoDecimals(CentiMbOfCentiKb(centiKb)) + L" MB"
                                                  : CentiTextTwoDecimals(centiKb) + L" KB";
    return std::wstring(traditional ? L" 個 (釋放 " : L" 个 (释放 ") + size + L")";
}

}  // namespace

JunkView::JunkView(TFBrimMain& window, ControlTable& table) : View(window, table, L"JunkView") {
    start_ = controls_.Button(L"RzBmpButton9");
    customStart_ = controls_.Button(L"BBtn_SelfScan");
    scan_ = controls_.Button(L"BBtn_Scan");
    clean_ = controls_.Button(L"BBtn_Clear");
    selectAll_ = controls_.Link(L"RzURLLabAll");
    selectNone_ = controls_.Link(L"RzURLLabNone");
    if (widgets::TreeList* tree = BindList(L"VST_AllDir", folders_))
    {
        OneFullWidthColumn(tree);
        tree->OnExpanding = [this](NodeId row) { ExpandFolderRow(row); };
        tree->IncrementalSearch = true;
        tree->OnRightClick = [this](NodeId row, POINT screen) {
            if (row == kNoNode) return;
            HMENU menu = CreatePopupMenu();
            const std::wstring text = GetUiText(1037, App().UiLanguageId);
            AppendMenuW(menu, MF_STRING, 1037, text.c_str());
            const UINT chosen =
                TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, 0, window_.hwnd(), nullptr);
            DestroyMenu(menu);
            if (chosen == 1037) ImportCustomFolder(row);
        };
    }
    FillFolderRoots();
    if (widgets::LinkLabel* link = controls_.Link(L"Lnk_CustomFolders")) link->SetOnClick([this] { window_.SelectTopTab(3); });
    if (widgets::TreeList* results = BindList(L"VST_type", found_)) {
        results->OnRightClick = [this](NodeId row, POINT screen) {
            if (row == kNoNode) return;
            HMENU menu = CreatePopupMenu();
            if (!menu) return;
            AppendMenuW(menu, MF_STRING | (CanLocate(row) ? 0 : MF_GRAYED), 1, L"定位文件");
            const UINT chosen =
                TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, 0, window_.hwnd(), nullptr);
            DestroyMenu(menu);
            if (chosen == 1 && CanLocate(row)) ShowFileInFolder(found_.Text(row, 2));
        };
    }
    loading_ = controls_.AnyKind(L"Ani_Loading");
    if (start_) start_->SetOnClick([this] { StartJunkPage(); });
    if (customStart_) customStart_->SetOnClick([this] { StartCustomScan(); });
    label2_ = controls_.Label(L"Label2");
    label3_ = controls_.Label(L"Label3");
    inforPath_ = controls_.Label(L"Lab_InforPath");
    time_ = controls_.Label(L"Lab_Time");
    totalNum_ = controls_.Label(L"Lab_totalFileNum");
    totalSize_ = controls_.Label(L"Lab_totalFileSize");
    clearNum_ = controls_.Label(L"Lab_ClearNum");
    scanBanner_ = {controls_.Label(L"Lab_TotalNum"), label2_, controls_.Label(L"Lab_Totalsize"), label3_, inforPath_};
    finishBanner_ = {controls_.Label(L"Lab_ScanFinishTitle"), controls_.Label(L"Lab_totalFileNumChar"), totalNum_, controls_.Label(L"Lab_totalFileSizeChar"),
                     totalSize_, time_};
    clearLabels_ = {controls_.Label(L"Lab_ClearInf"), clearNum_};
    panelDel_ = controls_.Panel(L"PanelDel");
    barBack_ = controls_.Panel(L"ImageBack");
    bar_ = controls_.Panel(L"Imageproess");
    percent_ = controls_.Label(L"Lab_prect");
    stop_ = controls_.Button(L"BBtn_ScanStop");
    rescan_ = controls_.Button(L"BBtn_ScanClear");
    cancel_ = controls_.Button(L"BBtn_Cancel");
    closeClear_ = controls_.Button(L"BBtn_CloseClear");
    if (cancel_) cancel_->SetOnClick([this] { CancelClean(); });
    if (closeClear_) closeClear_->SetOnClick([this] { CloseProgress(); });
}

void JunkView::TabPressed() {
    SendUsageEvent(UsageEvent::TabJunk);
    window_.MarkTopTab(2);
    window_.ShowActionSet(ActionSet::JunkModes);
    // Back in the mode chosen last, as if its button were pressed.
    window_.MarkModeButton(!customMode_);
    ModeChosen(!customMode_);
}

void JunkView::RescanPressed() {
    if (window_.CurrentPage() == Page::JunkResults) BBtn_ScanClick();
}

bool JunkView::CanLocate(NodeId row) const {
    if (!found_.IsValid(row) || found_.Parent(row) == kRoot) return false;  // a group row names no file
    const std::wstring path = found_.Text(row, 2);
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(ExtendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void JunkView::SetChecksInPage(Page page, bool checked) {
    if (page == Page::JunkFolders) SetTopRowChecks(folders_, checked);
    if (page == Page::JunkResults) SetTopRowChecks(found_, checked);
}

void JunkView::ModeChosen(bool automatic) {
    // From the result page too: the strip shows the modes alone again.
    window_.ShowActionSet(ActionSet::JunkModes);
    customMode_ = !automatic;
    customViewFolders_.reset();
    ShowControl(selectAll_, customMode_);
    ShowControl(selectNone_, customMode_);
    if (customMode_) PlaceAtSlot(customStart_, kCleanNowSlot);
    ShowControl(customStart_, customMode_);
    window_.ShowPage(customMode_ ? Page::JunkFolders : Page::JunkStart);
}

void JunkView::StartJunkPage() {
    // "扫描", "清理" and "扫描中止" are shared by the file views: whichever shows them owns their press.
    const auto onOwnPage = [this] { return window_.CurrentPage() == Page::JunkResults; };
    if (scan_) scan_->SetOnClick([this, onOwnPage] {
        if (onOwnPage()) BBtn_ScanClick();
    });
    if (clean_) clean_->SetOnClick([this, onOwnPage] {
        if (onOwnPage()) BBtn_ClearClick();
    });
    if (stop_) stop_->SetOnClick([this] { StopScan(); });
    window_.ShowActionSet(ActionSet::JunkScan);
    ShowAll(finishBanner_, false);
    ShowAll(clearLabels_, false);
    // The scanning banner and the stop button come when a scan starts, not before its checks.
    ShowScanning(false);
    PlaceAtSlot(scan_, kRescanSlot);
    PlaceAtSlot(clean_, kCleanNowSlot);
    window_.ShowPage(Page::JunkResults);
    if (scan_) scan_->Click();
    // Once a list is shown, the same place offers "重新扫描".
    if (window_.CurrentPage() == Page::JunkResults && rescan_) {
        ShowControl(scan_, false);
        PlaceAtSlot(rescan_, kRescanSlot);
        ShowControl(rescan_);
    }
}

void JunkView::StartCustomScan() {
    bool anyTicked = false;
    folders_.ForEachDescendant(widgets::kRoot, [&](widgets::NodeId node) {
        const widgets::CheckState state = folders_.GetCheck(node);
        anyTicked = anyTicked || state == widgets::CheckState::Checked || state == widgets::CheckState::Mixed;
    });
    if (!anyTicked) {
        ShowMessageById(90019);
        return;
    }
    StartJunkPage();
}

std::vector<std::wstring> JunkView::FolderList() const {
    if (customViewFolders_) return *customViewFolders_;
    if (!customMode_) return automaticFolders_.empty() ? window_.Context().Drives.Roots : automaticFolders_;
    return CustomFolderList();
}

std::vector<std::wstring> JunkView::CustomFolderList() const {
    // Fully ticked rows give their path and are not entered; partly ticked rows are entered.
    std::vector<std::wstring> folders;
    std::function<void(NodeId)> walk = [&](NodeId parent) {
        for (NodeId node : folders_.Children(parent)) {
            const CheckState state = folders_.GetCheck(node);
            if (state == CheckState::Checked) folders.push_back(FolderPath(node));
            else if (state == CheckState::Mixed) walk(node);
        }
    };
    walk(kRoot);
    return folders;
}

void JunkView::ImportCustomFolder(NodeId row) {
    if (row == kNoNode || !folders_.IsValid(row)) return;
    const std::optional<std::wstring> list = CustomFolderListWith(ReadSettingText(kCustomFileExt), FolderPath(row));
    if (list) (void)WriteSettingText(kCustomFileExt, *list);
    // The list it joined, where it can be scanned.
    window_.SelectTopTab(3);
}

std::wstring JunkView::FolderPath(NodeId row) const {
    const std::uintptr_t index = folders_.UserData(row);
    return index < folderPaths_.size() ? folderPaths_[index] : std::wstring();
}

NodeId JunkView::AddFolderRow(NodeId parent, const std::wstring& path, const std::wstring& name, CheckState check) {
    widgets::RowOptions options;
    options.checkKind = CheckKind::TriState;
    options.check = check;
    options.userData = folderPaths_.size();
    options.mayHaveChildren = true;
    folderPaths_.push_back(path);
    return folders_.AddRow(parent, {name}, options);
}

void JunkView::FillFolderRoots() {
    folders_.Clear();
    folderPaths_.clear();
    for (const std::wstring& root : window_.Context().Drives.Roots) {
        // No CD-ROM, no floppy drive: a scan must never wait for a medium.
        const std::wstring upper = UpperCased(root);
        if (upper == L"A:\\" || upper == L"B:\\" || GetDriveTypeW(root.c_str()) == DRIVE_CDROM) continue;
        std::wstring name = root;
        wchar_t label[MAX_PATH + 1] = {};
        if (root.size() == 3 && root[1] == L':' &&
            GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0) && label[0])
            name = std::wstring(label) + L"(" + root.substr(0, 2) + L")";
        AddFolderRow(kRoot, root, name, CheckState::Checked);
    }
}

void JunkView::ExpandFolderRow(NodeId row) {
    if (folders_.ChildCount(row) > 0) return;
    const std::wstring path = FolderPath(row);
    if (path.empty()) return;
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const std::wstring folder = path.back() == L'\\' ? path : path + L'\\';
    HANDLE find = FindFirstFileW(ExtendedPath(folder + L"*.*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L".." || !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
                (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            names.push_back(name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return UpperCased(a) < UpperCased(b);
    });
    const CheckState check = folders_.GetCheck(row) == CheckState::Checked ? CheckState::Checked : CheckState::Unchecked;
    for (const std::wstring& name : names) AddFolderRow(row, folder + name, name, check);
    if (names.empty()) folders_.SetMayHaveChildren(row, false);
}

void JunkView::ShowScanning(bool scanning) {
    ShowAll(scanBanner_, scanning);
    ShowControl(stop_, scanning);
    // The mode buttons share the strip with the scanning banner; beside the finished one they
    // stay, so another mode is one press away. The custom folders' scans have no modes.
    window_.ShowJunkModeButtons(!scanning && App().CurrentView == 2);
    if (scanning) {
        ShowAll(finishBanner_, false);
        ShowAll(clearLabels_, false);
    }
}

void JunkView::ScanCustomViewFolders(std::vector<std::wstring> folders) {
    if (!window_.CanStartOperation()) return;
    customViewFolders_ = std::move(folders);
    StartJunkPage();
}

void JunkView::CleanCustomViewFolders(std::vector<std::wstring> folders) {
    if (!window_.CanStartOperation()) return;
    if (customViewFolders_ && *customViewFolders_ == folders && toClean_ > 0) {
        BBtn_ClearClick();
        return;
    }
    ScanCustomViewFolders(std::move(folders));
}

void JunkView::StopScan() { App().Stop.Request(); }

void JunkView::BBtn_ScanClick() {
    // No scan starts under another operation: a queued press during a clean would otherwise
    // replace the result the clean is walking.
    if (!window_.CanStartOperation()) return;
    const BusyScope busy(window_, busy_);
    Enable(rescan_, false);
    const DWORD start = GetTickCount();
    App().Stop.Reset();
    SendUsageEvent(UsageEvent::JunkScan);
    if (ReadSettingText(kFileExtEnabled).size() < kBuiltInTypeCount) (void)WriteSettingText(kFileExtEnabled, kDefaultTypeStates);
    ClearResults();
    window_.Custom().DeleteListRows().Clear();
    const auto finish = [&] { Enable(rescan_, true); };

    JunkScanRequest request;
    request.folders = FolderList();
    if (request.folders.empty()) {
        ShowMessageById(90019);
        finish();
        return;
    }
    request.rules = customViewFolders_ ? BuildCustomJunkRuleSetFrom(ReadSettingText(kFileExtCustom),
                                                                    ReadSettingText(kFileExtCustomEnabled), App().UiLanguageId)
                                       : BuildJunkRuleSet(App().UiLanguageId);
    if (request.rules.patterns.empty() && request.rules.extensions.empty()) {
        ShowMessageById(90012);
        finish();
        return;
    }
    request.excludedFolders = SystemAppDataFolders();
    SetText(inforPath_, L"");
    SetText(label2_, L"0");
    SetText(label3_, L"0");
    ShowScanning(true);
    ShowControl(loading_);

    class Rows final : public Sink<JunkListed> {
    public:
        Rows(JunkView& view, DWORD start) : view_(view), start_(start) {}
        void Found(const JunkListed& listed) override {
            const JunkScanResult& result = listed.result;
            const JunkFile& file = result.files[listed.index];
            while (view_.groupRows_.size() < result.groups.size()) {
                widgets::RowOptions group;
                group.checkKind = CheckKind::TriState;
                group.check = CheckState::Checked;
                group.userData = view_.groupRows_.size();
                view_.groupRows_.push_back(view_.found_.AddRow(kRoot, {L"", L"", L"", L""}, group));
            }
            const NodeId groupRow = view_.groupRows_[file.group];
            view_.found_.SetText(groupRow, 0, GroupRowText(result.groups[file.group]));
            widgets::RowOptions row;
            row.checkKind = CheckKind::TriState;
            row.check = CheckState::Checked;
            row.userData = listed.index;
            view_.fileRows_.resize(listed.index + 1, kNoNode);
            view_.fileRows_[listed.index] =
                view_.found_.AddRow(groupRow, {file.name, CentiTextTwoDecimals(file.centiKb), result.FullPath(file), L""}, row);
            count_ = result.files.size();
            total_ = result.totalCentiKb;
            if (counters_.Due()) ShowCounters();
        }
        void Progressed(const Progress& progress) override {
            // The running time before the folder being walked.
            if (path_.Due())
                SetText(view_.inforPath_, ElapsedText((GetTickCount() - start_) / 1000) + L"  " + progress.current);
        }
        void ShowCounters() {
            SetText(view_.label2_, std::to_wstring(count_));
            SetText(view_.label3_, CentiTextTwoDecimals(total_));
        }

    private:
        JunkView& view_;
        DWORD start_;
        Throttle counters_, path_;
        std::size_t count_ = 0;
        std::uint64_t total_ = 0;
    } rows(*this, start);
    MessagePump pump;
    try {
        result_ = ScanJunk(request, {rows, pump, App().Stop});
    } catch (...) {
        // The page is left usable; the failure itself goes on to the window's own handler.
        ShowScanning(false);
        ShowControl(loading_, false);
        finish();
        throw;
    }
    rows.ShowCounters();
    // What was found, also after a stop.
    toClean_ = result_.files.size();
    SetText(totalNum_, std::to_wstring(result_.files.size()));
    SetText(totalSize_, CentiText(CentiMbOfCentiKb(result_.totalCentiKb)) + L" MB");
    SetText(label2_, L"0");
    SetText(label3_, L"0");
    ShowScanning(false);
    ShowControl(loading_, false);
    ShowAll(finishBanner_, true);
    SetText(time_, ElapsedText((GetTickCount() - start) / 1000) + UnreadableNote(result_.unreadable));
    finish();
}

void JunkView::BBtn_ClearClick() {
    if (!window_.CanStartOperation()) return;
    const BusyScope busy(window_, busy_);
    App().Stop.Reset();
    SendUsageEvent(UsageEvent::JunkClean);
    if (toClean_ == 0) {
        ShowMessageById(90010);
        return;
    }
    RECT back{};
    if (barBack_) GetClientRect(barBack_, &back);
    CleanProgressBar progress(back.right > 0 ? back.right : 1, toClean_);
    const JunkMethod method = JunkMethodOfSetting(ReadSettingInt(kDirectDel, 0));
    widgets::TreeListModel& deleteList = window_.Custom().DeleteListRows();
    deleteList.Clear();
    ShowControl(panelDel_);
    if (panelDel_) BringWindowToTop(panelDel_);
    ShowControl(cancel_);
    ShowControl(closeClear_, false);
    ShowAll(clearLabels_, false);
    SetText(clearNum_, L"0");
    const auto showBar = [&] {
        if (bar_ && barBack_) {
            RECT r{};
            GetWindowRect(barBack_, &r);
            MapWindowPoints(nullptr, GetParent(bar_), reinterpret_cast<POINT*>(&r), 2);
            MoveWindow(bar_, r.left, r.top, progress.Width(), r.bottom - r.top, TRUE);
        }
        SetText(percent_, std::to_wstring(progress.Percent()) + L"%");
    };
    showBar();

    // Ticked files of ticked (or partly ticked) groups, group by group.
    std::vector<std::uint32_t> order;
    for (std::size_t g = 0; g < groupRows_.size() && g < result_.groups.size(); ++g) {
        if (found_.GetCheck(groupRows_[g]) == CheckState::Unchecked) continue;
        for (const std::uint32_t index : result_.groups[g].files)
            if (FileRow(index) != kNoNode && found_.GetCheck(FileRow(index)) == CheckState::Checked) order.push_back(index);
    }

    class Report final : public Sink<JunkCleanRecord> {
    public:
        Report(JunkView& view, CleanProgressBar& bar, widgets::TreeListModel& deleteList, JunkMethod method,
               const std::function<void()>& showBar)
            : view_(view), bar_(bar), deleteList_(deleteList), method_(method), showBar_(showBar) {}
        void Processed(const JunkCleanRecord& record, Outcome outcome) override {
            if (outcome == Outcome::Done || outcome == Outcome::Recycled) {
                ++cleaned_;
                freed_ += record.result.files[record.index].bytes;
            }
            if (method_ == JunkMethod::Direct && (outcome == Outcome::Deferred || outcome == Outcome::Failed)) {
                const JunkFile& file = record.result.files[record.index];
                const JunkGroup& group = record.result.groups[file.group];
                deleteList_.AddRow(kRoot, {L"    " + group.description, file.name, CentiText(file.centiKb),
                                           record.result.FullPath(file)});
            }
            bar_.Advance();
            if (throttle_.Due()) {
                showBar_();
                SetText(view_.clearNum_, std::to_wstring(cleaned_));
            }
        }
        std::uint64_t cleaned_ = 0;
        std::uint64_t freed_ = 0;

    private:
        JunkView& view_;
        CleanProgressBar& bar_;
        widgets::TreeListModel& deleteList_;
        JunkMethod method_;
        const std::function<void()>& showBar_;
        Throttle throttle_;
    };
    const std::function<void()> showBarFn = showBar;
    Report report(*this, progress, deleteList, method, showBarFn);
    MessagePump pump;
    ShowControl(loading_);
    try {
        lastClean_ = CleanJunkFiles(result_, order, method, {report, pump, App().Stop});
    } catch (...) {
        // The page is left usable; the failure itself goes on to the window's own handler.
        ShowControl(panelDel_, false);
        ShowControl(loading_, false);
        App().UiIdle = true;
        throw;
    }
    ShowControl(loading_, false);
    freedBytes_ = report.freed_;
    ClearResults();
    SetText(totalNum_, L"0");
    SetText(totalSize_, L"0");
    if (lastClean_.stopped) {
        ShowControl(panelDel_, false);
        return;  // cancelled, or the window is closing: the scope's end makes it idle
    }
    progress.Finish();
    showBar();
    ShowControl(closeClear_);
    ShowControl(cancel_, false);
    // What was removed: a file left in place or kept for the restart is not counted as cleaned.
    SetText(clearNum_, std::to_wstring(lastClean_.Cleaned()) + FreedNote(freedBytes_));
    ShowAll(finishBanner_, false);
    ShowAll(clearLabels_, true);
}

// Only asks the running clean to stop; the window becomes idle when the clean has returned.
void JunkView::CancelClean() { App().Stop.Request(); }

void JunkView::CloseProgress() { ShowControl(panelDel_, false); }

}  // namespace tidemark

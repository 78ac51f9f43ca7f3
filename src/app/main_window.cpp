#include "app/main_window.h"

#include <windowsx.h>

#include "app/app_state.h"
#include "app/interface_pictures.h"
#include "app/list_controls.h"
#include "app/views/custom_view.h"
#include "app/views/junk_view.h"
#include "app/views/plugins_view.h"
#include "removal/removal_service.h"
#include "app/views/registry_view.h"
#include "app/views/settings_view.h"
#include "app/views/traces_view.h"
#include "app/widgets/header_bar.h"
#include "app/widgets/link_label.h"
#include "app/widgets/paint_util.h"
#include "app/widgets/picture_button.h"
#include "app/widgets/picture_view.h"
#include "app/widgets/tree_list.h"
#include "core/startup_context.h"
#include "lang/text_tables.h"
#include "lang/ui_texts.h"
#include "settings/settings_store.h"
#include "support/usage_log.h"
#include "support/win7_identity.h"
#include "system/file_ops.h"
#include "system/fixed_drives.h"
#include "system/rule_macros.h"
#include "system/text_util.h"
#include "system/win_info.h"
#include "undo/journal.h"
#include "engine/removal_guard_system.h"
#include "engine/process_sheet.h"
#include "engine/removal_guard_system.h"
#include "removal/removal_service.h"
#include "system/win_sys.h"

namespace tidemark {

using widgets::ButtonLook;
using widgets::Face;
namespace skin = widgets::skin;

struct TFBrimMain::Owned {
    std::vector<std::unique_ptr<widgets::PictureButton>> buttons;
    std::vector<std::unique_ptr<widgets::LinkLabel>> links;
    std::vector<std::unique_ptr<widgets::PictureView>> pictures;
    std::vector<std::unique_ptr<widgets::TreeList>> lists;
    std::vector<std::unique_ptr<widgets::HeaderBar>> headers;
};

namespace {

constexpr wchar_t kPanelClass[] = L"TidemarkPanel";

// Whether a control is among those to set up: every control (no set), or one just made.
bool Wanted(const std::set<std::wstring, std::less<>>* fresh, std::wstring_view name) {
    return !fresh || fresh->contains(name);
}
constexpr wchar_t kBackProperty[] = L"TidemarkBack";
constexpr wchar_t kForeProperty[] = L"TidemarkFore";

// Colours of a label, kept on the control for the WM_CTLCOLORSTATIC of whoever hosts it.
void SetLabelColors(HWND control, COLORREF back, COLORREF fore) {
    SetPropW(control, kBackProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(back) + 1));
    SetPropW(control, kForeProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(fore) + 1));
}

// The background a panel or label was given (white when none).
COLORREF BackColorOf(HWND control) {
    const auto back = reinterpret_cast<ULONG_PTR>(GetPropW(control, kBackProperty));
    return back ? static_cast<COLORREF>(back - 1) : RGB(255, 255, 255);
}

LRESULT LabelColors(HDC dc, HWND control) {
    const auto fore = reinterpret_cast<ULONG_PTR>(GetPropW(control, kForeProperty));
    const COLORREF backColor = BackColorOf(control);
    const COLORREF foreColor = fore && fore - 1 != 0xFFFFFFFF ? static_cast<COLORREF>(fore - 1) : RGB(0x20, 0x20, 0x20);
    SetTextColor(dc, foreColor);
    SetBkColor(dc, backColor);
    SetDCBrushColor(dc, backColor);
    return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
}

// Panels (the pages and regions) paint their colour and hand their children's notifications
// to the window that owns them.
LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
        return SendMessageW(GetParent(hwnd), msg, wp, lp);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return LabelColors(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(hwnd, &r);
        widgets::FillSolid(reinterpret_cast<HDC>(wp), r, BackColorOf(hwnd));
        return 1;
    }
    case WM_GETFONT:
        return SendMessageW(GetParent(hwnd), WM_GETFONT, 0, 0);
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

bool RegisterClasses(HINSTANCE instance, WNDPROC mainProc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(instance, TFBrimMain::kClassName, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = mainProc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, 0));
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = TFBrimMain::kClassName;
        if (!RegisterClassExW(&wc)) return false;
    }
    if (!GetClassInfoExW(instance, kPanelClass, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = PanelProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kPanelClass;
        if (!RegisterClassExW(&wc)) return false;
    }
    return true;
}

// The full-window-drag setting for this logon only (never written to the user profile).
void SetDragFullWindows(bool on) { SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, on, nullptr, 0); }

// The background a control of the main window sits on, by the region it is in.
COLORREF RegionColorAt(int y) {
    if (y >= kHeaderStripTop && y < kPageTop) return skin::Strip;
    if (y >= kFooterTop) return skin::Strip;
    return RGB(255, 255, 255);
}

COLORREF PanelColor(const LayoutEntry& entry) {
    const std::wstring name = entry.name;
    if (name == L"FirstRunPrompt" || name == L"PanelDel" || name == L"Pnl_Result") return skin::Strip;
    if (name == L"ImageBack") return skin::Separator;
    if (name == L"Imageproess" || name == L"Img_ScoreBar") return skin::Accent;
    return RGB(255, 255, 255);
}

}  // namespace

TFBrimMain::TFBrimMain() : owned_(std::make_unique<Owned>()) {}

std::unique_ptr<TFBrimMain> TFBrimMain::Create(const std::vector<std::wstring>& args, bool quitOnDestroy) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterClasses(instance, widgets::InstanceWindowProc<TFBrimMain>)) return nullptr;
    std::unique_ptr<TFBrimMain> window(new TFBrimMain);
    window->args_ = args;
    window->quitOnDestroy_ = quitOnDestroy;
    CreateWindowExW(WS_EX_APPWINDOW, kClassName, kCaption,
                    WS_POPUP | WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN,
                    CW_USEDEFAULT, CW_USEDEFAULT, 800, 630, nullptr, nullptr, instance, window.get());
    if (!window->hwnd_) return nullptr;
    return window;
}

TFBrimMain::~TFBrimMain() {
    if (hwnd_) {
        // Gone without a close request (a test ending, say): no close sequence.
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    if (&CurrentPrompt() == &prompt_) SetPrompt(previousPrompt_);
}

HWND TFBrimMain::Control(const std::wstring& name) const {
    const ControlEntry* entry = controls_.Find(name);
    return entry ? entry->hwnd : nullptr;
}

widgets::PictureButton* TFBrimMain::Button(const std::wstring& name) const {
    const ControlEntry* entry = controls_.Find(name);
    return entry ? entry->button : nullptr;
}

widgets::LinkLabel* TFBrimMain::Link(const std::wstring& name) const {
    const ControlEntry* entry = controls_.Find(name);
    return entry ? entry->link : nullptr;
}

widgets::PictureView* TFBrimMain::Picture(const std::wstring& name) const {
    const ControlEntry* entry = controls_.Find(name);
    return entry ? entry->picture : nullptr;
}

widgets::TreeList* TFBrimMain::List(const std::wstring& name) const {
    const ControlEntry* entry = controls_.Find(name);
    return entry ? entry->list : nullptr;
}

widgets::TreeListModel* TFBrimMain::ListModel(const std::wstring& name) const {
    const widgets::TreeList* list = List(name);
    return list ? list->Model() : nullptr;
}

widgets::HeaderBar* TFBrimMain::Header(const std::wstring& name) const {
    const ControlEntry* entry = controls_.Find(name);
    return entry ? entry->header : nullptr;
}

LRESULT TFBrimMain::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        RunStartupSequence();
        return 0;
    case WM_TIMER:
        if (wp == kFirstRunTimer) FirstRunTimerFired();
        else if (wp == kDragTimer) DragTimerFired();
        return 0;
    case WM_COMMAND:
        return 0;  // the standard controls here need no answer; picture buttons call back
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return LabelColors(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_.get());
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        ++painting_;
        Paint();
        --painting_;
        return 0;
    case WM_NCPAINT:
    case WM_NCACTIVATE: {
        ++painting_;
        const LRESULT result = DefWindowProcW(hwnd_, msg, wp, lp);
        --painting_;
        return result;
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        // Other code asking for the caption gets nothing; painting the frame still shows it.
        if (painting_ == 0) {
            if (msg == WM_GETTEXT && wp > 0 && lp) *reinterpret_cast<wchar_t*>(lp) = L'\0';
            return 0;
        }
        return DefWindowProcW(hwnd_, msg, wp, lp);
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, kMinWidth);
        info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, kMinHeight);
        return 0;
    }
    case WM_SIZE:
        Reflow();
        return 0;
    case WM_LBUTTONDOWN:
        StartMove();
        return 0;
    case WM_MOUSEMOVE:
        // Dragging over the title picture moves the window too.
        if ((wp & MK_LBUTTON) && GET_Y_LPARAM(lp) < skin::TitleHeight) StartMove();
        return 0;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == SC_MAXIMIZE) {
            Maximize();
            return 0;
        }
        if ((wp & 0xFFF0) == SC_RESTORE && IsZoomed(hwnd_)) {
            Restore();
            return 0;
        }
        return DefWindowProcW(hwnd_, msg, wp, lp);
    case WM_CLOSE:
        Close();
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd_, kFirstRunTimer);
        KillTimer(hwnd_, kDragTimer);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        if (quitOnDestroy_) PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

void TFBrimMain::StartMove() {
    ReleaseCapture();
    SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

void TFBrimMain::CreateControls() {
    font_.reset(CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0, L"宋体"));
    // What the first view shows is made now; every other page's controls, and the off-screen
    // panels', when something first asks for one of them.
    controls_.SetMaker([this](std::wstring_view name) {
        if (const LayoutEntry* entry = FindLayoutEntry(name))
            if (const wchar_t* group = DeferredGroupOf(*entry)) MakeGroup(group);
    });
    for (const LayoutEntry& entry : MainLayout())
        if (!DeferredGroupOf(entry)) CreateControl(entry);
    ResolveFrameControls();
    // The first-run question comes up as soon as the window is up: made with it.
    if (ReadSettingInt(kInitSet, 0) == 0) ResolveFirstRunPrompt();
    WireHandlers();
    CreateViews();
}

void TFBrimMain::MakeGroup(const wchar_t* group) {
    if (!madeGroups_.insert(group).second) return;
    NameSet fresh;
    for (const LayoutEntry& entry : MainLayout()) {
        const wchar_t* owner = DeferredGroupOf(entry);
        if (!owner || std::wstring_view(owner) != group) continue;
        CreateControl(entry);
        fresh.insert(entry.name);
    }
    // Made during the start, a group is set up with everything else once the start gets there.
    if (setUpAtStart_) SetUpControls(&fresh);
    // Its owner comes with it: a page's view (which binds the page's lists), the frame's part
    // of the first-run question.
    MakeOwnerOf(group);
}

void TFBrimMain::SetUpControls(const NameSet* fresh) {
    ApplyControlTexts(App().UiLanguageId, fresh);
    SetInitialColumnWidths(fresh);
    LoadInterfacePictures(fresh);
    // Made after the window changed size: laid out for the size it has now.
    if (fresh && (laidOut_.cx != kDesignClientWidth || laidOut_.cy != kDesignClientHeight)) {
        laidOut_ = SIZE{};
        Reflow();
    }
}

void TFBrimMain::CreateControl(const LayoutEntry& entry) {
    const ControlEntry* parentEntry = entry.parent ? controls_.FindMade(entry.parent) : nullptr;
    HWND parent = entry.parent ? (parentEntry ? parentEntry->hwnd : nullptr) : hwnd_;
    if (!parent) return;
    const RECT rect{entry.x, entry.y, entry.x + entry.width, entry.y + entry.height};
    const std::wstring text = entry.textId ? GetUiText(entry.textId, App().UiLanguageId) : entry.text;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const COLORREF parentBack = entry.parent ? BackColorOf(parent) : RegionColorAt(entry.y);
    ControlEntry control;
    control.layout = &entry;
    auto plain = [&](const wchar_t* windowClass, DWORD style, DWORD exStyle = 0) {
        return CreateWindowExW(exStyle, windowClass, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, entry.x,
                               entry.y, entry.width, entry.height, parent, nullptr, instance, nullptr);
    };
    switch (entry.kind) {
    case ControlKind::Panel:
        control.hwnd = plain(kPanelClass, WS_CLIPCHILDREN | (std::wstring(entry.name) == L"FirstRunPrompt" ? WS_BORDER : 0));
        SetLabelColors(control.hwnd, PanelColor(entry), 0xFFFFFFFF);
        break;
    case ControlKind::Label:
        control.hwnd = plain(L"STATIC", SS_LEFT | SS_NOPREFIX |
                                           (std::wstring(entry.name) == L"Lab_InforPath" ? SS_PATHELLIPSIS : SS_ENDELLIPSIS));
        SetLabelColors(control.hwnd, parentBack, entry.textColor);
        break;
    case ControlKind::Edit:
        control.hwnd = plain(L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
        break;
    case ControlKind::ComboBox:
        control.hwnd = plain(L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST);
        break;
    case ControlKind::CheckBox:
        control.hwnd = plain(L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX);
        SetLabelColors(control.hwnd, parentBack, entry.textColor);
        break;
    case ControlKind::Icon: {
        control.hwnd = plain(L"STATIC", SS_ICON | SS_CENTERIMAGE);
        SetLabelColors(control.hwnd, parentBack, entry.textColor);
        HICON icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, LR_SHARED));
        SendMessageW(control.hwnd, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        break;
    }
    case ControlKind::Button: {
        auto button = widgets::PictureButton::Create(parent, rect, entry.look, text);
        if (!button) return;
        if (entry.look == ButtonLook::Large) button->LoadFaceResources(L"SkinStart");
        if (entry.look == ButtonLook::Action) button->LoadFaceResources(L"SkinAction");
        control.hwnd = button->hwnd();
        control.button = button.get();
        owned_->buttons.push_back(std::move(button));
        break;
    }
    case ControlKind::LinkLabel: {
        auto link = widgets::LinkLabel::Create(parent, rect, text, parentBack);
        if (!link) return;
        control.hwnd = link->hwnd();
        control.link = link.get();
        owned_->links.push_back(std::move(link));
        break;
    }
    case ControlKind::Picture:
    case ControlKind::Animation: {
        auto picture = widgets::PictureView::Create(
            parent, rect,
            entry.kind == ControlKind::Animation ? widgets::PictureView::Mode::Animate : widgets::PictureView::Mode::Stretch,
            parentBack);
        if (!picture) return;
        control.hwnd = picture->hwnd();
        control.picture = picture.get();
        owned_->pictures.push_back(std::move(picture));
        break;
    }
    case ControlKind::TreeList: {
        auto list = CreateTreeList(parent, rect);
        if (!list) return;
        control.hwnd = WindowOf(list.get());
        control.list = list.get();
        owned_->lists.push_back(std::move(list));
        break;
    }
    case ControlKind::HeaderBar: {
        auto header = CreateHeaderBar(parent, rect);
        if (!header) return;
        control.hwnd = WindowOf(header.get());
        control.header = header.get();
        owned_->headers.push_back(std::move(header));
        break;
    }
    }
    if (!control.hwnd) return;
    SendMessageW(control.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    ShowWindow(control.hwnd, entry.visible ? SW_SHOWNA : SW_HIDE);
    controls_.Add(control);
}

void TFBrimMain::Reflow() {
    RECT client;
    GetClientRect(hwnd_, &client);
    if (client.right == 0 || client.bottom == 0) return;  // minimised
    // Laid out for this size already (the window is made at the design size): nothing moves.
    if (client.right == laidOut_.cx && client.bottom == laidOut_.cy) return;
    laidOut_ = SIZE{client.right, client.bottom};
    // Each control follows its parent's growth by its anchors; parents come first in the table.
    std::map<std::wstring, SIZE> growth;
    growth[L""] = SIZE{client.right - kDesignClientWidth, client.bottom - kDesignClientHeight};
    HDWP batch = BeginDeferWindowPos(static_cast<int>(controls_.Size()));
    for (const LayoutEntry& e : MainLayout()) {
        const ControlEntry* control = controls_.FindMade(e.name);
        if (!control) continue;
        const SIZE g = growth[e.parent ? e.parent : L""];
        int x = e.x, y = e.y, w = e.width, h = e.height;
        if (e.anchors & AnchorRight) x += g.cx;
        if (e.anchors & AnchorBottom) y += g.cy;
        if (e.anchors & StretchWidth) w += g.cx;
        if (e.anchors & StretchHeight) h += g.cy;
        if (e.anchors & CenterHorizontal) x += g.cx / 2;
        growth[e.name] = SIZE{w - e.width, h - e.height};
        if (std::wstring(e.name) == L"Imageproess") continue;  // its width is the progress
        // Without the copy of the old picture every moved control repaints: Wine's copy of a
        // window resized a moment ago would leave white boxes where controls were.
        if (batch) batch = DeferWindowPos(batch, control->hwnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    }
    if (batch) EndDeferWindowPos(batch);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void TFBrimMain::Maximize() {
    ShowWindow(hwnd_, SW_MAXIMIZE);
    ShowControl(frame_.maximise, false);
    ShowControl(frame_.restore, true);
}

void TFBrimMain::Restore() {
    ShowWindow(hwnd_, SW_RESTORE);
    ShowControl(frame_.restore, false);
    ShowControl(frame_.maximise, true);
}

void TFBrimMain::ApplyLanguageTexts(unsigned langId) {
    App().ApplicationTitle = GetUiText(0, langId);
    ApplyControlTexts(langId, nullptr);
    FillTextArrays(langId);
    if (frame_.initMethod) SendMessageW(frame_.initMethod, CB_SETCURSEL, 0, 0);
}

void TFBrimMain::ApplyControlTexts(unsigned langId, const NameSet* fresh) {
    // The text table also names menu items, which are no controls of the layout.
    for (const ControlText& entry : ControlTextTable()) {
        if (!Wanted(fresh, entry.control)) continue;
        const ControlEntry* found = controls_.FindMade(entry.control);
        if (!found) continue;
        const std::wstring text = GetUiText(entry.id, langId);
        HWND control = found->hwnd;
        if (entry.slot == TextSlot::Caption) {
            if (found->button) found->button->SetCaption(text);
            else SetWindowTextW(control, text.c_str());
        } else {
            const int index = entry.slot == TextSlot::Item0 ? 0 : 1;
            if (SendMessageW(control, CB_GETCOUNT, 0, 0) > index) SendMessageW(control, CB_DELETESTRING, index, 0);
            SendMessageW(control, CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text.c_str()));
        }
    }
    // Header bars get their column titles (old sections removed first).
    for (HeaderBar bar : {HeaderBar::DeleteList, HeaderBar::Items, HeaderBar::Reg, HeaderBar::Set, HeaderBar::Type,
                          HeaderBar::Expect, HeaderBar::Journal}) {
        if (!Wanted(fresh, HeaderBarName(bar))) continue;
        const ControlEntry* found = controls_.FindMade(HeaderBarName(bar));
        if (found && found->header)
            SetHeaderSections(found->header, HeaderColumnTexts(bar, langId), HeaderSectionWidths(found->header));
    }
}

void TFBrimMain::SetInitialColumnWidths(const NameSet* fresh) {
    const struct { HeaderBar bar; const wchar_t* list; std::vector<int> widths; } columns[] = {
        {HeaderBar::Reg, L"VST_RegItems", {150, 175, 400}},
        {HeaderBar::Items, L"VST_Items", {100, 150, 100, 175}},
        {HeaderBar::DeleteList, L"VST_DeleteList", {100, 150, 100, 175}},
        {HeaderBar::Type, L"VST_type", {201, 100, 500, 10}},
        {HeaderBar::Set, L"Vst_SetItems", {200, 200}},
        {HeaderBar::Expect, L"VDT1", {309, 150}},
        {HeaderBar::Journal, L"Vst_Journal", {180, 300, 100}},
    };
    for (const auto& c : columns) {
        const wchar_t* headerName = HeaderBarName(c.bar);
        // A header and its list are set up together, once both are made.
        if (!Wanted(fresh, headerName) && !Wanted(fresh, c.list)) continue;
        const ControlEntry* headerEntry = controls_.FindMade(headerName);
        const ControlEntry* listEntry = controls_.FindMade(c.list);
        widgets::HeaderBar* header = headerEntry ? headerEntry->header : nullptr;
        widgets::TreeList* list = listEntry ? listEntry->list : nullptr;
        if (!header || !list) continue;
        SetHeaderWidths(header, c.widths);
        std::vector<int>& listWidths = listColumns_[c.list];
        listWidths.clear();
        for (int w : c.widths) listWidths.push_back(w + 1);
        SetListColumnWidths(list, listWidths);
        FollowListScroll(header, list);
        // Dragging a section edge sizes the list's column to the section plus one pixel.
        OnHeaderSectionResized(header, [this, list, name = std::wstring(c.list)](int section, int width) {
            std::vector<int>& widths = listColumns_[name];
            if (section < 0 || section >= static_cast<int>(widths.size())) return;
            widths[section] = width + 1;
            SetListColumnWidths(list, widths);
        });
    }
}

void TFBrimMain::RunStartupSequence() {
    AppState& app = App();
    prompt_.SetOwner(hwnd_);

    // 1. Where the program lives; the context the engines work in (system facts, fixed drives,
    // the special-folder table, the log library beside the program, the boot-time list, and
    // the window's message boxes as the prompt), built the way the console program builds it.
    app.AppFolder = ExecutableFolder();
    previousPrompt_ = &CurrentPrompt();
    SetProcessRater(RateProcessFile);
    // What no removal may touch: the system's folders and its own files, read when first needed.
    SetRemovalPlacesSource([] { return ProtectedPlacesOfSystem(nullptr); });
    context_ = BuildStartupContext(StartupOptions{app.AppFolder, &prompt_});
    app.LogLibraryPath = context_.LogLibraryPath;
    // 2. The start record goes out from a thread of its own.
    TUPThread::Start();
    // 7–8 come before 3–6: the controls take their texts from the language as they are made.
    // 7. Which picture set: 936, 950 or another code page.
    app.CodePageIndex = CodePageIndexOf(GetACP());
    // 8. The interface language.
    app.UiLanguageId = GetSystemDefaultLangID();
    CreateControls();
    // 3. The plug-in tree's two root rows belong to the plug-in view's list.
    // 4. The hand-point cursor of every picture button.
    HCURSOR hand = LoadCursorW(GetModuleHandleW(nullptr), L"hand");
    widgets::PictureButton::SetHandCursor(hand ? hand : LoadCursorW(nullptr, IDC_HAND));
    // 5. The version label reads "软件版本:1.31" from the layout.
    // 6. On Windows 7 the maker's library gives the window its application identity.
    app.OsVersionCode = context_.VersionCode;
    if (app.OsVersionCode == VerWin7) SetWin7AppIdentity(hwnd_, app.AppFolder);
    // 9. Every text of the chosen language, and the application title.
    ApplyLanguageTexts(app.UiLanguageId);
    // 10. Idle, no view chosen yet; the hidden start is remembered for the close.
    app.UiIdle = true;
    app.CurrentView = 0;
    app.CurrentSubView = 0;
    app.AppDir = WithoutTrailingBackslash(app.AppFolder);
    app.HiddenStartMode = ParseStartSwitch(args_) == StartSwitch::QkGui;
    // 11. Caption-less (the style has none), 800 x 630, centred.
    SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - 800) / 2, (GetSystemMetrics(SM_CYSCREEN) - 630) / 2,
                 800, 630, SWP_NOZORDER | SWP_NOACTIVATE);
    // 12. The fixed drives, as the context found them.
    app.FixedDriveRoots = context_.Drives.Roots;
    app.FixedDriveCount = context_.Drives.Count;
    // 13–15. The registry categories, the shared small-icon list and the folder tree's roots are
    // filled by their views.
    // 16–17. The special-folder table was built with the context.
    // 18. The work folder for the extracted pictures: the temporary folder + "brim".
    app.WorkFolder = context_.Folders[8] + L"brim";
    CreateDirectoryW(app.WorkFolder.c_str(), nullptr);
    // 19. Column widths of the list headers.
    SetInitialColumnWidths(nullptr);
    // 20–21. The interface pictures, written to the work folder and loaded when first shown.
    LoadInterfacePictures(nullptr);
    // From here on a group of controls made later is set up when it is made.
    setUpAtStart_ = true;
    // 22. The trace tree (the settings tree is filled when its view is first made).
    traces_->BuildTraceTree();
    // 23. The usage-trace view first, as a press of its tab.
    SelectTopTab(1);
    // 24. The command-line switch: the junk view, or the registry view with its scan started.
    ApplyCommandLine();
    // 25. The engines are made when a view first needs them (the plug-in view's scan); the
    // journal's purge waits until the window is up.
    // 26. After the message loop starts: the first-run question, and saving the drag setting.
    SetTimer(hwnd_, kFirstRunTimer, 1, nullptr);
    SetTimer(hwnd_, kDragTimer, 1, nullptr);
}

void TFBrimMain::LoadInterfacePictures(const NameSet* fresh) {
    const AppState& app = App();
    // Only controls made already: lookups here never make one.
    const auto made = [this, fresh](const wchar_t* name) -> const ControlEntry* {
        return Wanted(fresh, name) ? controls_.FindMade(name) : nullptr;
    };
    const bool traditional = app.CodePageIndex == 1;
    const std::wstring folder = app.WorkFolder;
    // Each picture is written to the work folder and loaded when it is first shown.
    auto prepare = [folder, traditional](const std::wstring& file) {
        return [folder, traditional, file] { return WriteInterfacePicture(folder, file, traditional); };
    };
    auto available = [traditional](const wchar_t* file) { return HasInterfacePicture(file, traditional); };
    const struct { const wchar_t* control; const wchar_t* file; } pictures[] = {
        {L"Ani_Waitfor", L"waitfor.gif"}, {L"Ani_Loading", L"g_Loading.gif"}, {L"Img_ScoreBG", L"ScoreBG.png"}};
    for (const auto& p : pictures)
        if (const ControlEntry* entry = made(p.control); entry && entry->picture && available(p.file))
            entry->picture->LoadWhenShown(folder + L"\\" + p.file, prepare(p.file));
    if (available(L"Headtable.png"))
        for (const LayoutEntry& row : MainLayout())
            if (row.kind == ControlKind::HeaderBar)
                if (const ControlEntry* entry = made(row.name); entry && entry->header)
                    entry->header->SetBackgroundPictureWhenShown(folder + L"\\Headtable.png", prepare(L"Headtable.png"));
    for (const TabPictureGroup& group : TabPictureGroups()) {
        const ControlEntry* entry = made(group.button);
        widgets::PictureButton* button = entry ? entry->button : nullptr;
        if (!button) continue;
        for (int digit = 1; digit <= 4; ++digit) {
            const std::wstring file = group.group + std::to_wstring(digit) + L".bmp";
            if (HasInterfacePicture(file, traditional))
                button->LoadFaceWhenShown(static_cast<Face>(digit - 1), folder + L"\\" + file, prepare(file));
        }
    }
}

void TFBrimMain::ApplyCommandLine() {
    switch (ParseStartSwitch(args_)) {
    case StartSwitch::ClearFile: SelectTopTab(2); break;
    case StartSwitch::ClearReg:
        SelectTopTab(4);
        Registry().StartRegistryPageFromSwitch();  // as a press of its start button, the scan once the loop runs
        break;
    default: break;
    }
}

TCleaner* TFBrimMain::Cleaner() const {
    if (!cleanerMade_) CreateEngines();
    return cleaner_.get();
}

void TFBrimMain::CreateEngines() const {
    cleanerMade_ = true;
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    try {
        // The definitions the program carries and the plug-in table; either failing to load
        // leaves no engine.
        cleaner_ = TCleaner::Create(nullptr, DefaultCleanHost(), nullptr);
    } catch (...) {
        cleaner_.reset();
    }
    // A definition whose check an unexpected error ended was not fully checked: say which.
    if (cleaner_ && !cleaner_->Definitions().RoutineFailures().empty()) {
        std::wstring which;
        for (const Failure& failure : cleaner_->Definitions().RoutineFailures()) which += failure.item + L"\r\n";
        ShowUnexpectedFailure(which);
    }
    SetCursor(previous ? previous : LoadCursorW(nullptr, IDC_ARROW));
}

void TFBrimMain::FirstRunTimerFired() {
    KillTimer(hwnd_, kFirstRunTimer);
    // The undo journal keeps 30 days and 500 MB at most.
    Journal::OfUser().Purge(kJournalDays, kJournalBytes, FileTimeNow());
    AppState& app = App();
    if (app.CodePageIndex != 0) {
        ShowMessageById(90020);
        Close();
        return;
    }
    if (ReadSettingInt(kInitSet, 0) == 0) {
        app.UiIdle = false;
        ResolveFirstRunPrompt();
        ShowControl(frame_.firstRunPrompt);
        BringWindowToTop(frame_.firstRunPrompt);
    }
}

void TFBrimMain::DragTimerFired() {
    KillTimer(hwnd_, kDragTimer);
    AppState& app = App();
    if (app.HiddenStartMode) return;
    BOOL on = FALSE;
    if (!SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &on, 0)) return;
    app.SavedDragFullWindows = on ? 1 : 0;
    app.DragSettingSaved = true;
    SetDragFullWindows(false);
}

void TFBrimMain::BBtn_InitOkClick() {
    const LRESULT method = SendMessageW(frame_.initMethod, CB_GETCURSEL, 0, 0);
    const bool dontAskAgain = SendMessageW(frame_.initDontAsk, BM_GETCHECK, 0, 0) == BST_CHECKED;
    (void)WriteSettingInt(kDirectDel, static_cast<std::int16_t>(method == 1 ? 1 : 0));
    (void)WriteSettingInt(kInitSet, dontAskAgain ? 1 : 0);
    App().UiIdle = true;
    ShowControl(frame_.firstRunPrompt, false);
}

void TFBrimMain::RunCloseSequence() {
    AppState& app = App();
    try {
        SendUsageRecord(UsageClose, L"");
    } catch (...) {
        // As below: nothing may keep the window from closing.
    }
    try {
        if (app.DragSettingSaved) SetDragFullWindows(app.SavedDragFullWindows == 1);
    } catch (...) {
        // As below.
    }
    try {
        if (!app.HiddenStartMode) {
            app.Stop.Request();
            // Our own tree removal rather than the shell's file operation: the same result
            // (everything gone, no question, no recycle bin), never through a link, and a
            // fifth of the time (the shell's costs some 0.2 s for the pictures under Wine).
            ProcessRemovalService().RemoveFolderTree(app.WorkFolder);
        }
    } catch (...) {
        // The close goes on whatever one of its steps met: the window must go.
    }
    // The cleaning engine is freed last.
}

void TFBrimMain::Close() {
    if (!hwnd_ || closed_) return;
    if (OperationRunning()) {
        // Whatever view runs a loop, its controls and engine objects must outlive it.
        App().Stop.Request();
        closeDeferred_ = true;
        return;
    }
    closed_ = true;
    if (quitOnDestroy_) {
        // The system takes the program's own window and its children down with the process,
        // which costs far less than destroying them one by one (about 0.1 s under Wine). When
        // the close has a record to send, the maker's log library may take its time: the window
        // goes at once and the sequence runs behind it. Otherwise the sequence takes a few
        // milliseconds, less than hiding the window would, and the window goes with the process.
        if (UsageLogPresent()) ShowWindow(hwnd_, SW_HIDE);
        RunCloseSequence();
        KillTimer(hwnd_, kFirstRunTimer);
        KillTimer(hwnd_, kDragTimer);
        PostQuitMessage(0);
        return;
    }
    RunCloseSequence();
    DestroyWindow(hwnd_);
}

void TFBrimMain::SetCleaner(std::unique_ptr<TCleaner> cleaner) {
    if (plugins_) plugins_->ForgetResults();
    cleaner_ = std::move(cleaner);
    cleanerMade_ = true;
}

void TFBrimMain::FinishDeferredClose() {
    if (!closeDeferred_) return;
    closeDeferred_ = false;
    Close();
}

void TFBrimMain::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    UniqueMemoryDC buffer(CreateCompatibleDC(dc));
    UniqueGdiObject canvas(CreateCompatibleBitmap(dc, client.right, client.bottom));
    {
        SelectedObject selectCanvas(buffer.get(), canvas.get());
        HDC b = buffer.get();
        const int growY = client.bottom - kDesignClientHeight;
        const int footerTop = kFooterTop + growY, bottomTop = kBottomBarTop + growY;
        // The title area ends with the top tabs, whose pictures run to its last row.
        widgets::FillTitleGradient(b, RECT{0, 0, client.right, kHeaderStripTop}, 0);
        widgets::FillSolid(b, RECT{0, kHeaderStripTop, client.right, kPageTop}, skin::Strip);
        widgets::FillSolid(b, RECT{0, kPageTop - 1, client.right, kPageTop}, skin::Separator);
        widgets::FillSolid(b, RECT{0, kPageTop, client.right, footerTop}, RGB(255, 255, 255));
        widgets::FillSolid(b, RECT{0, footerTop, client.right, client.bottom}, skin::Strip);
        widgets::FillSolid(b, RECT{0, footerTop, client.right, footerTop + 1}, skin::Separator);
        widgets::FillSolid(b, RECT{0, bottomTop, client.right, bottomTop + 1}, skin::Separator);
        // The two-pixel side frames.
        widgets::FillSolid(b, RECT{0, skin::TitleHeight, 2, client.bottom}, skin::TitleBottom);
        widgets::FillSolid(b, RECT{client.right - 2, skin::TitleHeight, client.right, client.bottom}, skin::TitleBottom);
        // Icon and product title at the top left.
        HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, LR_SHARED));
        if (icon) DrawIconEx(b, 10, 8, icon, 16, 16, 0, nullptr, DI_NORMAL);
        SelectedObject selectFont(b, font_.get());
        SetBkMode(b, TRANSPARENT);
        SetTextColor(b, RGB(255, 255, 255));
        RECT title{32, 6, 400, 26};
        DrawTextW(b, L"CorvaneTidemark", -1, &title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
               ps.rcPaint.bottom - ps.rcPaint.top, b, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    }
    EndPaint(hwnd_, &ps);
}

}  // namespace tidemark

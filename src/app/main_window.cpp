#include "app/main_window.h"

#include <windowsx.h>

#include "app/app_state.h"
#include "lang/text_tables.h"
#include "lang/ui_texts.h"
#include "settings/settings_store.h"
#include "support/usage_log.h"
#include "system/file_ops.h"
#include "system/fixed_drives.h"
#include "system/rule_macros.h"
#include "system/text_util.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 630;
constexpr int kTitleHeight = 104;
constexpr wchar_t kPanelClass[] = L"TidemarkPanel";

// Panels hand their children's notifications to the window that owns them.
LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return SendMessageW(GetParent(hwnd), msg, wp, lp);
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
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = TFBrimMain::kClassName;
        if (!RegisterClassExW(&wc)) return false;
    }
    if (!GetClassInfoExW(instance, kPanelClass, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = PanelProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = CreateSolidBrush(RGB(0xEA, 0xF3, 0xFC));
        wc.lpszClassName = kPanelClass;
        if (!RegisterClassExW(&wc)) return false;
    }
    return true;
}

std::wstring ExeFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

// The full-window-drag setting for this logon only (never written to the user profile).
void SetDragFullWindows(bool on) { SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, on, nullptr, 0); }

}  // namespace

std::unique_ptr<TFBrimMain> TFBrimMain::Create(const std::vector<std::wstring>& args,
                                               bool quitOnDestroy) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterClasses(instance, WindowProc)) return nullptr;
    std::unique_ptr<TFBrimMain> window(new TFBrimMain);
    window->args_ = args;
    window->quitOnDestroy_ = quitOnDestroy;
    CreateWindowExW(WS_EX_APPWINDOW, kClassName, kCaption,
                    WS_POPUP | WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                    CW_USEDEFAULT, CW_USEDEFAULT, kWidth, kHeight, nullptr, nullptr, instance,
                    window.get());
    if (!window->hwnd_) return nullptr;
    return window;
}

TFBrimMain::~TFBrimMain() {
    if (hwnd_) {
        // Gone without a close request (a test ending, say): no close sequence.
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (previousPrompt_ || &CurrentPrompt() == &prompt_) SetPrompt(previousPrompt_);
}

HWND TFBrimMain::Control(const std::wstring& name) const {
    const auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}

LRESULT CALLBACK TFBrimMain::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<TFBrimMain*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TFBrimMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return self->Handle(msg, wp, lp);
    } catch (...) {
        // Nothing may escape into Windows; the message counts as handled.
        return 0;
    }
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
        OnCommand(reinterpret_cast<HWND>(lp), HIWORD(wp));
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        // Texts on the light panels: no white box behind them.
        HDC dc = reinterpret_cast<HDC>(wp);
        SetBkMode(dc, TRANSPARENT);
        return static_cast<LRESULT>(GetClassLongPtrW(GetParent(reinterpret_cast<HWND>(lp)), GCLP_HBRBACKGROUND));
    }
    case WM_PAINT:
        Paint();
        return 0;
    case WM_LBUTTONDOWN:
        // The bare background moves the window, as a caption would.
        ReleaseCapture();
        SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_DESTROY:
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        if (quitOnDestroy_) PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

HWND TFBrimMain::AddControl(const wchar_t* name, const wchar_t* windowClass, DWORD style, int x,
                            int y, int w, int h, HWND parent) {
    HWND control = CreateWindowExW(0, windowClass, L"", WS_CHILD | style, x, y, w, h,
                                   parent ? parent : hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!control) return nullptr;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    controls_[name] = control;
    names_[control] = name;
    return control;
}

void TFBrimMain::CreateControls() {
    font_.reset(CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                            DEFAULT_QUALITY, 0, L"宋体"));
    AddControl(L"BBtn_Min", L"BUTTON", WS_VISIBLE | BS_PUSHBUTTON, kWidth - 66, 6, 28, 22);
    AddControl(L"BBtn_Close", L"BUTTON", WS_VISIBLE | BS_PUSHBUTTON, kWidth - 36, 6, 28, 22);
    SetWindowTextW(Control(L"BBtn_Min"), L"–");
    SetWindowTextW(Control(L"BBtn_Close"), L"×");

    // The first-run question: a panel hidden until the first-run timer shows it.
    HWND panel = AddControl(L"FirstRunPrompt", kPanelClass, WS_BORDER | WS_CLIPCHILDREN, 200, 240, 356, 97);
    AddControl(L"Lab_initClear", L"STATIC", WS_VISIBLE, 16, 16, 110, 20, panel);
    AddControl(L"Cbx_initClear", L"COMBOBOX", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL,
               124, 12, 214, 120, panel);
    AddControl(L"CbxInitNext", L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 16, 58, 160, 20, panel);
    AddControl(L"BBtn_InitOk", L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 258, 54, 80, 26, panel);
    SetWindowTextW(Control(L"BBtn_InitOk"), L"确  认");
    SendMessageW(Control(L"CbxInitNext"), BM_SETCHECK, BST_CHECKED, 0);
}

void TFBrimMain::ApplyLanguageTexts(unsigned langId) {
    App().ApplicationTitle = GetUiText(0, langId);
    for (const ControlText& entry : ControlTextTable()) {
        HWND control = Control(entry.control);
        if (!control) continue;
        const std::wstring text = GetUiText(entry.id, langId);
        if (entry.slot == TextSlot::Caption) {
            SetWindowTextW(control, text.c_str());
        } else {
            // Items are set by position: insert the first, then the second after it.
            const int index = entry.slot == TextSlot::Item0 ? 0 : 1;
            if (SendMessageW(control, CB_GETCOUNT, 0, 0) > index)
                SendMessageW(control, CB_DELETESTRING, index, 0);
            SendMessageW(control, CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text.c_str()));
        }
    }
    FillTextArrays(langId);
    SendMessageW(Control(L"Cbx_initClear"), CB_SETCURSEL, 0, 0);
}

void TFBrimMain::RunStartupSequence() {
    AppState& app = App();
    previousPrompt_ = SetPrompt(&prompt_);
    prompt_.SetOwner(hwnd_);
    CreateControls();

    // 1–2: where the program lives, and the start record from its own thread.
    app.AppFolder = ExeFolder();
    app.LogLibraryPath = app.AppFolder + L"qklog.dll";
    SetLogLibraryPath(app.LogLibraryPath);
    TUPThread::Start();
    // 3–5: the plug-in tree's root rows, the hand cursor and the version label belong to the
    // views; they are set up with them.
    // 6: on Windows 7 the maker's library gives the window its application identity.
    app.OsVersionCode = GetWindowsVersionCode();
    if (app.OsVersionCode == VerWin7) {
        const std::wstring win7Library = app.AppFolder + L"qkWin7.dll";
        if (GetFileAttributesW(win7Library.c_str()) != INVALID_FILE_ATTRIBUTES) {
            UniqueLibrary library(LoadLibraryW(win7Library.c_str()));
            using SetAppId = void(WINAPI*)(HWND, const wchar_t*);
            if (library)
                if (auto setAppId = reinterpret_cast<SetAppId>(reinterpret_cast<void*>(
                        GetProcAddress(library.get(), "Win7_SetAppID"))))
                    setAppId(hwnd_, L"CorvaneAppId");
        }
    }
    // 7–9: image set by code page, texts by language.
    app.CodePageIndex = CodePageIndexOf(GetACP());
    app.UiLanguageId = GetSystemDefaultLangID();
    ApplyLanguageTexts(app.UiLanguageId);
    // 10
    app.UiIdle = true;
    app.CurrentView = 0;
    app.CurrentSubView = 0;
    app.AppDir = WithoutTrailingBackslash(app.AppFolder);
    app.HiddenStartMode = ParseStartSwitch(args_) == StartSwitch::QkGui;
    // 11: caption-less, 800 x 630, centred (the style already has no caption).
    SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2, kWidth, kHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    // 12
    const FixedDriveList drives = BuildFixedDriveList();
    app.FixedDriveRoots = drives.Roots;
    app.FixedDriveCount = drives.Count;
    // 13–15: registry categories, the shared small-icon list and the folder tree's roots are
    // filled by their views.
    // 16–17
    BuildSpecialFolders();
    // 18
    app.WorkFolder = SpecialFolders[8] + L"brim";
    CreateDirectoryW(app.WorkFolder.c_str(), nullptr);
    // 19–22: column widths, interface pictures, score-panel images, the trace and settings
    // trees are set up by their views.
    // 23
    SelectTopTab(1);
    // 24
    ApplyCommandLine();
    // 25
    CreateEngines();
    // 26
    SetTimer(hwnd_, kFirstRunTimer, 1, nullptr);
    SetTimer(hwnd_, kDragTimer, 1, nullptr);
}

void TFBrimMain::ApplyCommandLine() {
    switch (ParseStartSwitch(args_)) {
    case StartSwitch::ClearFile: SelectTopTab(2); break;
    case StartSwitch::ClearReg:
        SelectTopTab(4);
        // The registry view's start button is pressed here once that view exists.
        break;
    default: break;
    }
}

void TFBrimMain::CreateEngines() {
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    try {
        // On the NT family the current-user root is redirected to the desktop user's hive when
        // the program runs as somebody else; that needs the session user of the process
        // snapshot, and the cleaning engine is created here as well.
    } catch (...) {
    }
    SetCursor(previous ? previous : LoadCursorW(nullptr, IDC_ARROW));
}

void TFBrimMain::SelectTopTab(int tab) {
    AppState& app = App();
    if (!app.UiIdle || tab < 1 || tab > 6) return;
    static constexpr UsageEvent kTabEvents[] = {UsageEvent::TabTraces, UsageEvent::TabJunk,
                                                UsageEvent::TabCustom, UsageEvent::TabRegistry,
                                                UsageEvent::TabPlugins};
    if (tab <= 5) SendUsageEvent(kTabEvents[tab - 1]);
    app.CurrentView = tab;
}

void TFBrimMain::FirstRunTimerFired() {
    KillTimer(hwnd_, kFirstRunTimer);
    AppState& app = App();
    if (app.CodePageIndex != 0) {
        ShowMessageById(90020);
        Close();
        return;
    }
    if (ReadSettingInt(kInitSet, 0) == 0) {
        app.UiIdle = false;
        ShowWindow(Control(L"FirstRunPrompt"), SW_SHOW);
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
    const LRESULT method = SendMessageW(Control(L"Cbx_initClear"), CB_GETCURSEL, 0, 0);
    const bool dontAskAgain = SendMessageW(Control(L"CbxInitNext"), BM_GETCHECK, 0, 0) == BST_CHECKED;
    (void)WriteSettingInt(kDirectDel, static_cast<std::int16_t>(method == 1 ? 1 : 0));
    (void)WriteSettingInt(kInitSet, dontAskAgain ? 1 : 0);
    App().UiIdle = true;
    ShowWindow(Control(L"FirstRunPrompt"), SW_HIDE);
}

void TFBrimMain::OnCommand(HWND control, int code) {
    const auto it = names_.find(control);
    if (it == names_.end() || code != BN_CLICKED) return;
    const std::wstring& name = it->second;
    if (name == L"BBtn_InitOk") BBtn_InitOkClick();
    else if (name == L"BBtn_Close") Close();
    else if (name == L"BBtn_Min") ShowWindow(hwnd_, SW_MINIMIZE);
}

void TFBrimMain::RunCloseSequence() {
    AppState& app = App();
    try {
        SendUsageRecord(UsageClose, L"");
    } catch (...) {
    }
    try {
        if (app.DragSettingSaved) SetDragFullWindows(app.SavedDragFullWindows == 1);
    } catch (...) {
    }
    try {
        if (!app.HiddenStartMode) {
            app.StopRequested = true;
            ShellDeletePath(app.WorkFolder);
        }
    } catch (...) {
    }
    // The cleaning engine is freed last.
}

void TFBrimMain::Close() {
    if (!hwnd_) return;
    RunCloseSequence();
    DestroyWindow(hwnd_);
}

void TFBrimMain::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    // Title area: the blue gradient, in bands.
    for (int y = 0; y < kTitleHeight; y += 4) {
        const int r = 0x2B + (0x1C - 0x2B) * y / kTitleHeight;
        const int g = 0x7B + (0x5F - 0x7B) * y / kTitleHeight;
        const int b = 0xD6 + (0xB0 - 0xD6) * y / kTitleHeight;
        UniqueGdiObject band(CreateSolidBrush(RGB(r, g, b)));
        RECT row{0, y, client.right, y + 4};
        FillRect(dc, &row, static_cast<HBRUSH>(band.get()));
    }
    HGDIOBJ old = SelectObject(dc, font_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT text{12, 8, client.right - 80, 28};
    DrawTextW(dc, L"CorvaneTidemark", -1, &text, DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, old);
    EndPaint(hwnd_, &ps);
}

}  // namespace tidemark

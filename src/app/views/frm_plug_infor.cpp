#include "app/views/frm_plug_infor.h"

#include "app/widgets/paint_util.h"
#include "app/widgets/picture_button.h"

namespace tidemark {

namespace skin = widgets::skin;

namespace {

constexpr wchar_t kClassName[] = L"TidemarkPlugInfor";
constexpr int kTitleHeight = 30;

}  // namespace

std::unique_ptr<TFrmPlugInfor> TFrmPlugInfor::Create(HWND owner, const std::vector<std::wstring>& lines) {
    if (!widgets::RegisterWindowClass(kClassName, widgets::InstanceWindowProc<TFrmPlugInfor>)) return nullptr;
    std::unique_ptr<TFrmPlugInfor> form(new TFrmPlugInfor);
    form->owner_ = owner;
    RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner) GetWindowRect(owner, &around);
    const int x = around.left + (around.right - around.left - kWidth) / 2;
    const int y = around.top + (around.bottom - around.top - kHeight) / 2;
    CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP | WS_CLIPCHILDREN, x, y, kWidth, kHeight, owner,
                    nullptr, GetModuleHandleW(nullptr), form.get());
    if (!form->hwnd_) return nullptr;
    HWND hwnd = form->hwnd_;
    HFONT windowFont = owner ? reinterpret_cast<HFONT>(SendMessageW(owner, WM_GETFONT, 0, 0)) : nullptr;
    if (!windowFont) {
        form->font_.reset(CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0, L"宋体"));
        windowFont = static_cast<HFONT>(form->font_.get());
    }
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont), FALSE);
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\r\n";
    form->memo_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", text.c_str(),
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 12,
                                  kTitleHeight + 10, kWidth - 24, kHeight - kTitleHeight - 62, hwnd, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    SendMessageW(form->memo_, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont), FALSE);
    form->makeSure_ = widgets::PictureButton::Create(hwnd, RECT{kWidth - 100, kHeight - 40, kWidth - 12, kHeight - 12},
                                                     widgets::ButtonLook::Action, L"确  认");
    form->close_ = widgets::PictureButton::Create(hwnd, RECT{kWidth - 34, 4, kWidth - 6, 26},
                                                  widgets::ButtonLook::Caption, L"×");
    TFrmPlugInfor* self = form.get();
    if (form->makeSure_) form->makeSure_->SetOnClick([self] { self->Dismiss(); });
    if (form->close_) form->close_->SetOnClick([self] { self->Dismiss(); });
    return form;
}

TFrmPlugInfor::~TFrmPlugInfor() {
    if (modal_ && owner_) EnableWindow(owner_, TRUE);
    close_.reset();
    makeSure_.reset();
    widgets::DestroyOwnedWindow(hwnd_);
}

void TFrmPlugInfor::ShowModal() {
    if (!hwnd_) return;
    modal_ = true;
    if (owner_) EnableWindow(owner_, FALSE);
    ShowWindow(hwnd_, SW_SHOW);
    SetFocus(makeSure_ ? makeSure_->hwnd() : hwnd_);
    MSG msg;
    while (modal_ && hwnd_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The program is ending: the quit belongs to the outer loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            Dismiss();
            break;
        }
        if (got < 0) break;
        if (msg.message == WM_KEYDOWN && (msg.wParam == VK_ESCAPE || msg.wParam == VK_RETURN) &&
            (msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd))) {
            Dismiss();
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void TFrmPlugInfor::Dismiss() {
    // The owner comes back before this window hides, so the focus returns to it.
    if (modal_ && owner_) EnableWindow(owner_, TRUE);
    modal_ = false;
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

void TFrmPlugInfor::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    widgets::FillTitleGradient(dc, RECT{0, 0, client.right, kTitleHeight}, 0);
    SetDCBrushColor(dc, RGB(255, 255, 255));
    RECT body{0, kTitleHeight, client.right, client.bottom};
    FillRect(dc, &body, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetDCBrushColor(dc, skin::TitleBottom);
    FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT title{12, 0, client.right - 40, kTitleHeight};
    DrawTextW(dc, L"CorvaneTidemark", -1, &title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, previous);
    EndPaint(hwnd_, &ps);
}

LRESULT TFrmPlugInfor::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETFONT:
        SetPropW(hwnd_, L"TidemarkFont", reinterpret_cast<HANDLE>(wp));
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(GetPropW(hwnd_, L"TidemarkFont"));
    case WM_CTLCOLORSTATIC:  // the read-only memo keeps a white page
        SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    case WM_LBUTTONDOWN:
        // The window has no frame: the title area moves it.
        if (HIWORD(lp) < kTitleHeight) {
            ReleaseCapture();
            SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
        }
        return 0;
    case WM_CLOSE:
        Dismiss();
        return 0;
    case WM_DESTROY:
        RemovePropW(hwnd_, L"TidemarkFont");
        return 0;
    default:
        return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

}  // namespace tidemark

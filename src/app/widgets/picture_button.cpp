#include "app/widgets/picture_button.h"

#include <windowsx.h>

#include "app/widgets/paint_util.h"

namespace tidemark::widgets {
namespace {

constexpr wchar_t kClassName[] = L"TidemarkPictureButton";
HCURSOR g_handCursor = nullptr;

// The parent's top in title-area rows, for looks drawn over the title gradient.
int TitleRowOf(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    POINT p{r.left, r.top};
    ScreenToClient(GetParent(hwnd), &p);
    return p.y;
}

const wchar_t* FaceName(int face) {
    static const wchar_t* const names[] = {L"normal", L"hot", L"pressed", L"disabled", L"staydown"};
    return names[face];
}

}  // namespace

std::unique_ptr<PictureButton> PictureButton::Create(HWND parent, const RECT& rect, ButtonLook look,
                                                     const std::wstring& caption) {
    std::unique_ptr<PictureButton> button(new PictureButton);
    if (!RegisterWindowClass(kClassName, InstanceWindowProc<PictureButton>)) return nullptr;
    button->look_ = look;
    button->caption_ = caption;
    CreateWindowExW(0, kClassName, caption.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect.left,
                    rect.top, rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                    GetModuleHandleW(nullptr), button.get());
    if (!button->hwnd_) return nullptr;
    button->DrawDefaultFaces();
    return button;
}

PictureButton::~PictureButton() { DestroyOwnedWindow(hwnd_); }

void PictureButton::SetHandCursor(HCURSOR cursor) { g_handCursor = cursor; }

void PictureButton::DrawDefaultFaces() {
    RECT client;
    GetClientRect(hwnd_, &client);
    const int w = client.right, h = client.bottom;
    const int titleRow = TitleRowOf(hwnd_);
    WindowDC screen(hwnd_);
    UniqueMemoryDC dc(CreateCompatibleDC(screen.get()));
    for (int f = 0; f < 5; ++f) {
        const Face face = static_cast<Face>(f == 4 ? 0 : f);  // the spare slot starts as normal
        UniqueGdiObject bitmap(CreateFaceBitmap(w, h));
        COLORREF text = RGB(255, 255, 255);
        {
            SelectedObject select(dc.get(), bitmap.get());
            const RECT all{0, 0, w, h};
            switch (look_) {
            case ButtonLook::Tab:
            case ButtonLook::Caption: {
                FillTitleGradient(dc.get(), all, titleRow);
                if (face == Face::Hot || face == Face::Pressed) {
                    const double alpha = face == Face::Hot ? 0.18 : 0.30;
                    const COLORREF fill = Mix(TitleColorAt(titleRow + h / 2), RGB(255, 255, 255), alpha);
                    const COLORREF border = face == Face::Pressed
                                                ? Mix(TitleColorAt(titleRow + h / 2), RGB(255, 255, 255), 0.6)
                                                : NoColor;
                    FillRounded(dc.get(), all, look_ == ButtonLook::Tab ? 6 : 3, fill, border);
                }
                if (face == Face::Disabled) text = Mix(TitleColorAt(titleRow + h / 2), RGB(255, 255, 255), 0.4);
                break;
            }
            case ButtonLook::Mode: {
                FillSolid(dc.get(), all, skin::Strip);
                switch (face) {
                case Face::Hot: FillRounded(dc.get(), all, 4, skin::Accent, NoColor); break;
                case Face::Pressed: FillRounded(dc.get(), all, 4, skin::AccentPressed, NoColor); break;
                case Face::Disabled:
                    FillRounded(dc.get(), all, 4, RGB(255, 255, 255), skin::Separator);
                    text = skin::SecondaryText;
                    break;
                default:
                    FillRounded(dc.get(), all, 4, RGB(255, 255, 255), skin::Accent);
                    text = skin::Accent;
                }
                break;
            }
            case ButtonLook::Toggle: {
                // A card: chosen (normal) in the accent colour, not chosen (disabled) in grey.
                FillSolid(dc.get(), all, RGB(255, 255, 255));
                switch (face) {
                case Face::Disabled:
                    FillRounded(dc.get(), all, 8, RGB(0xF4, 0xF6, 0xF9), skin::Separator);
                    text = skin::SecondaryText;
                    break;
                case Face::Pressed:
                    FillRounded(dc.get(), all, 8, RGB(0xC8, 0xDF, 0xF8), skin::AccentPressed);
                    text = skin::AccentPressed;
                    break;
                default:
                    FillRounded(dc.get(), all, 8, face == Face::Hot ? RGB(0xE8, 0xF2, 0xFD) : skin::Selection, skin::Accent);
                    text = skin::AccentPressed;
                }
                if (face != Face::Disabled) {
                    // A tick in the top right corner marks the chosen card.
                    UniqueGdiObject pen(CreatePen(PS_SOLID, 3, skin::Accent));
                    SelectedObject selectPen(dc.get(), pen.get());
                    const POINT tick[] = {{w - 34, 20}, {w - 27, 27}, {w - 14, 12}};
                    Polyline(dc.get(), tick, 3);
                }
                break;
            }
            default: {
                FillSolid(dc.get(), all, look_ == ButtonLook::Action ? skin::Strip : RGB(255, 255, 255));
                const COLORREF fills[] = {skin::Accent, skin::AccentHot, skin::AccentPressed, skin::AccentDisabled};
                FillRounded(dc.get(), all, look_ == ButtonLook::Action ? 4 : 8, fills[static_cast<int>(face)], NoColor);
            }
            }
        }
        faces_[f].bitmap = std::move(bitmap);
        faces_[f].tag = std::wstring(L"drawn-") + FaceName(static_cast<int>(face));
        faces_[f].textColor = text;
    }
}

bool PictureButton::LoadFace(Face face, const std::wstring& file) {
    UniqueGdiObject bitmap(LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!bitmap) return false;
    const auto slash = file.find_last_of(L'\\');
    SetFace(face, std::move(bitmap), slash == std::wstring::npos ? file : file.substr(slash + 1),
            faces_[static_cast<int>(face)].textColor);
    return true;
}

void PictureButton::LoadFaceResources(const std::wstring& prefix) {
    for (int digit = 1; digit <= 4; ++digit) {
        const std::wstring name = prefix + std::to_wstring(digit);
        UniqueGdiObject bitmap(LoadImageW(GetModuleHandleW(nullptr), name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (!bitmap) continue;
        const Face face = static_cast<Face>(digit - 1);
        SetFace(face, std::move(bitmap), name, faces_[digit - 1].textColor);
        if (face == Face::Normal) CopyFace(Face::Normal, Face::StayDown);
    }
}

void PictureButton::SetFace(Face face, UniqueGdiObject bitmap, std::wstring tag, COLORREF textColor) {
    FaceSlot& slot = faces_[static_cast<int>(face)];
    slot.bitmap = std::move(bitmap);
    slot.tag = std::move(tag);
    slot.textColor = textColor;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void PictureButton::CopyFace(Face from, Face to) {
    if (from == to) return;
    const FaceSlot& source = faces_[static_cast<int>(from)];
    UniqueGdiObject copy(source.bitmap ? CopyImage(source.bitmap.get(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION) : nullptr);
    SetFace(to, std::move(copy), source.tag, source.textColor);
}

void PictureButton::SwapFaces(Face a, Face b) {
    std::swap(faces_[static_cast<int>(a)], faces_[static_cast<int>(b)]);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

const std::wstring& PictureButton::FaceTag(Face face) const { return faces_[static_cast<int>(face)].tag; }

void PictureButton::SetCaption(const std::wstring& caption) {
    caption_ = caption;
    SetWindowTextW(hwnd_, caption.c_str());
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void PictureButton::Click() {
    if (!hwnd_ || !IsWindowEnabled(hwnd_)) return;
    if (onClick_) onClick_();
}

Face PictureButton::ShownFace() const {
    if (!IsWindowEnabled(hwnd_)) return Face::Disabled;
    if (pressed_ && hot_) return Face::Pressed;
    if (hot_) return Face::Hot;
    return Face::Normal;
}

void PictureButton::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    if (HDC buffer = buffer_.Begin(dc, client.right, client.bottom)) {
        const FaceSlot& slot = faces_[static_cast<int>(ShownFace())];
        FillSolid(buffer, client, RGB(255, 255, 255));
        if (slot.bitmap) {
            UniqueMemoryDC faceDc(CreateCompatibleDC(dc));
            SelectedObject selectFace(faceDc.get(), slot.bitmap.get());
            BITMAP info{};
            GetObjectW(slot.bitmap.get(), sizeof info, &info);
            StretchBlt(buffer, 0, 0, client.right, client.bottom, faceDc.get(), 0, 0, info.bmWidth,
                       info.bmHeight, SRCCOPY);
        }
        // A tab face from a picture carries its own caption.
        const bool pictureCaption = look_ == ButtonLook::Tab && slot.tag.rfind(L"drawn-", 0) != 0;
        if (!caption_.empty() && !pictureCaption) {
            HFONT font = reinterpret_cast<HFONT>(SendMessageW(GetParent(hwnd_), WM_GETFONT, 0, 0));
            SelectedObject selectFont(buffer, font ? font : GetStockObject(DEFAULT_GUI_FONT));
            SetBkMode(buffer, TRANSPARENT);
            SetTextColor(buffer, slot.textColor);
            RECT text = client;
            UINT format = DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
            if (look_ == ButtonLook::Tab) {
                text.top = client.bottom - 24;  // caption under the pictogram
                format |= DT_TOP;
            } else {
                format |= DT_VCENTER;
            }
            DrawTextW(buffer, caption_.c_str(), -1, &text, format);
        }
        buffer_.End(dc, client);
    }
    EndPaint(hwnd_, &ps);
}

LRESULT PictureButton::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEMOVE: {
        RECT client;
        GetClientRect(hwnd_, &client);
        const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        const bool inside = PtInRect(&client, p) != FALSE;
        if (inside != hot_) {
            hot_ = inside;
            InvalidateRect(hwnd_, nullptr, FALSE);
        }
        if (inside) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd_, 0};
            TrackMouseEvent(&track);
        }
        return 0;
    }
    case WM_MOUSELEAVE:
        hot_ = false;
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
        pressed_ = true;
        hot_ = true;
        SetCapture(hwnd_);
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP: {
        const bool wasPressed = pressed_;
        pressed_ = false;
        if (GetCapture() == hwnd_) ReleaseCapture();
        RECT client;
        GetClientRect(hwnd_, &client);
        const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        InvalidateRect(hwnd_, nullptr, FALSE);
        if (wasPressed && PtInRect(&client, p)) Click();
        return 0;
    }
    case WM_CAPTURECHANGED:
        pressed_ = false;
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_SETCURSOR:
        if (g_handCursor) {
            SetCursor(g_handCursor);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace tidemark::widgets

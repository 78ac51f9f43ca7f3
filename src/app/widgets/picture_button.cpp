#include "app/widgets/picture_button.h"

#include <windowsx.h>

#include "app/widgets/paint_util.h"
#include "system/file_ops.h"

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
    button->SetDefaultFaces();
    return button;
}

PictureButton::~PictureButton() { DestroyOwnedWindow(hwnd_); }

void PictureButton::SetHandCursor(HCURSOR cursor) { g_handCursor = cursor; }

void PictureButton::SetDefaultFaces() {
    for (int f = 0; f < 5; ++f) {
        const Face face = static_cast<Face>(f == 4 ? 0 : f);  // the spare slot starts as normal
        FaceSlot& slot = faces_[f];
        slot.Use(Source::Drawn);
        slot.drawnFace = face;
        slot.tag = std::wstring(L"drawn-") + FaceName(static_cast<int>(face));
        slot.textColor = DrawnTextColor(face);
    }
}

COLORREF PictureButton::DrawnTextColor(Face face) const {
    switch (look_) {
    case ButtonLook::Tab:
    case ButtonLook::Caption:
        if (face != Face::Disabled) return RGB(255, 255, 255);
        {
            RECT client;
            GetClientRect(hwnd_, &client);
            return Mix(TitleColorAt(TitleRowOf(hwnd_) + client.bottom / 2), RGB(255, 255, 255), 0.4);
        }
    case ButtonLook::Mode:
        if (face == Face::Disabled) return skin::SecondaryText;
        return face == Face::Hot || face == Face::Pressed ? RGB(255, 255, 255) : skin::Accent;
    case ButtonLook::Toggle:
        return face == Face::Disabled ? skin::SecondaryText : skin::AccentPressed;
    default:
        return RGB(255, 255, 255);
    }
}

// The look's own drawing of a face.
UniqueGdiObject PictureButton::DrawFace(Face face) {
    RECT client;
    GetClientRect(hwnd_, &client);
    const int w = client.right, h = client.bottom;
    const int titleRow = TitleRowOf(hwnd_);
    WindowDC screen(hwnd_);
    UniqueMemoryDC dc(CreateCompatibleDC(screen.get()));
    UniqueGdiObject bitmap(CreateFaceBitmap(w, h));
    SelectedObject select(dc.get(), bitmap.get());
    const RECT all{0, 0, w, h};
    switch (look_) {
    case ButtonLook::Tab:
    case ButtonLook::Caption: {
        FillTitleGradient(dc.get(), all, titleRow);
        if (face == Face::Hot || face == Face::Pressed) {
            const double alpha = face == Face::Hot ? 0.18 : 0.30;
            const COLORREF fill = Mix(TitleColorAt(titleRow + h / 2), RGB(255, 255, 255), alpha);
            const COLORREF border =
                face == Face::Pressed ? Mix(TitleColorAt(titleRow + h / 2), RGB(255, 255, 255), 0.6) : NoColor;
            FillRounded(dc.get(), all, look_ == ButtonLook::Tab ? 6 : 3, fill, border);
        }
        break;
    }
    case ButtonLook::Mode: {
        FillSolid(dc.get(), all, skin::Strip);
        switch (face) {
        case Face::Hot: FillRounded(dc.get(), all, 4, skin::Accent, NoColor); break;
        case Face::Pressed: FillRounded(dc.get(), all, 4, skin::AccentPressed, NoColor); break;
        case Face::Disabled: FillRounded(dc.get(), all, 4, RGB(255, 255, 255), skin::Separator); break;
        default: FillRounded(dc.get(), all, 4, RGB(255, 255, 255), skin::Accent);
        }
        break;
    }
    case ButtonLook::Toggle: {
        // A card: chosen (normal) in the accent colour, not chosen (disabled) in grey.
        FillSolid(dc.get(), all, RGB(255, 255, 255));
        switch (face) {
        case Face::Disabled: FillRounded(dc.get(), all, 8, RGB(0xF4, 0xF6, 0xF9), skin::Separator); break;
        case Face::Pressed: FillRounded(dc.get(), all, 8, RGB(0xC8, 0xDF, 0xF8), skin::AccentPressed); break;
        default:
            FillRounded(dc.get(), all, 8, face == Face::Hot ? RGB(0xE8, 0xF2, 0xFD) : skin::Selection, skin::Accent);
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
    return bitmap;
}

// The face's bitmap, made now when it has not been yet. A picture that cannot be loaded gives
// the look's own drawing of that face.
HBITMAP PictureButton::FaceBitmap(int index) {
    FaceSlot& slot = faces_[index];
    if (slot.bitmap || slot.source == Source::Given) return static_cast<HBITMAP>(slot.bitmap.get());
    if (slot.source == Source::Resource)
        slot.bitmap.reset(LoadImageW(GetModuleHandleW(nullptr), slot.name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    else if (slot.source == Source::File && (!slot.prepare || slot.prepare()))
        slot.bitmap.reset(LoadImageW(nullptr, slot.name.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!slot.bitmap) {
        if (slot.source != Source::Drawn) slot.drawnFace = static_cast<Face>(index == 4 ? 0 : index);
        slot.bitmap = DrawFace(slot.drawnFace);
    }
    return static_cast<HBITMAP>(slot.bitmap.get());
}

bool PictureButton::LoadFace(Face face, const std::wstring& file) {
    if (!IsPlainFile(file)) return false;
    LoadFaceWhenShown(face, file, nullptr);
    return true;
}

void PictureButton::LoadFaceWhenShown(Face face, const std::wstring& file, std::function<bool()> prepare) {
    FaceSlot& slot = faces_[static_cast<int>(face)];
    slot.Use(Source::File, file, std::move(prepare));
    const auto slash = file.find_last_of(L'\\');
    slot.tag = slash == std::wstring::npos ? file : file.substr(slash + 1);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void PictureButton::LoadFaceResources(const std::wstring& prefix) {
    HMODULE module = GetModuleHandleW(nullptr);
    for (int digit = 1; digit <= 4; ++digit) {
        const std::wstring name = prefix + std::to_wstring(digit);
        if (!FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(2) /* RT_BITMAP */)) continue;
        const Face face = static_cast<Face>(digit - 1);
        FaceSlot& slot = faces_[digit - 1];
        slot.Use(Source::Resource, name);
        slot.tag = name;
        if (face == Face::Normal) CopyFace(Face::Normal, Face::StayDown);
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void PictureButton::SetFace(Face face, UniqueGdiObject bitmap, std::wstring tag, COLORREF textColor) {
    FaceSlot& slot = faces_[static_cast<int>(face)];
    slot.Use(Source::Given);
    slot.bitmap = std::move(bitmap);
    slot.tag = std::move(tag);
    slot.textColor = textColor;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void PictureButton::CopyFace(Face from, Face to) {
    if (from == to) return;
    const FaceSlot& source = faces_[static_cast<int>(from)];
    FaceSlot& target = faces_[static_cast<int>(to)];
    if (source.bitmap) {
        target.Use(Source::Given);
        target.bitmap.reset(CopyImage(source.bitmap.get(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    } else {
        // Not made yet: the copy is made from the same source when it is first needed.
        target.Use(source.source, source.name, source.prepare);
        target.drawnFace = source.drawnFace;
    }
    target.tag = source.tag;
    target.textColor = source.textColor;
    InvalidateRect(hwnd_, nullptr, FALSE);
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
        const int shown = static_cast<int>(ShownFace());
        HBITMAP face = FaceBitmap(shown);
        const FaceSlot& slot = faces_[shown];
        FillSolid(buffer, client, RGB(255, 255, 255));
        if (face) {
            UniqueMemoryDC faceDc(CreateCompatibleDC(dc));
            SelectedObject selectFace(faceDc.get(), face);
            BITMAP info{};
            GetObjectW(face, sizeof info, &info);
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

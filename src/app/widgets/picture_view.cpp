#include "app/widgets/picture_view.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>

#include "app/widgets/gdiplus_session.h"
#include "app/widgets/paint_util.h"
#include "system/file_ops.h"
#include "system/handles.h"

namespace tidemark::widgets {
namespace {

constexpr wchar_t kClassName[] = L"TidemarkPictureView";
constexpr UINT_PTR kFrameTimer = 1;

}  // namespace

std::unique_ptr<LoadedImage> LoadedImage::FromFile(const std::wstring& path) {
    if (!EnsureGdiplus()) return nullptr;
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return nullptr;
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size == 0 || size == INVALID_FILE_SIZE || size > 64u * 1024 * 1024) return nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return nullptr;
    void* bytes = GlobalLock(memory);
    DWORD got = 0;
    const bool read = ReadFile(file.get(), bytes, size, &got, nullptr) && got == size;
    GlobalUnlock(memory);
    std::unique_ptr<LoadedImage> loaded(new LoadedImage);
    // The stream owns the memory from here on (fDeleteOnRelease).
    if (!read || FAILED(CreateStreamOnHGlobal(memory, TRUE, &loaded->stream_))) {
        if (!loaded->stream_) GlobalFree(memory);
        return nullptr;
    }
    loaded->image_ = new Gdiplus::Image(loaded->stream_);
    if (loaded->image_->GetLastStatus() != Gdiplus::Ok || loaded->image_->GetWidth() == 0) return nullptr;
    return loaded;
}

LoadedImage::~LoadedImage() {
    delete image_;
    if (stream_) stream_->Release();
}

std::unique_ptr<PictureView> PictureView::Create(HWND parent, const RECT& rect, Mode mode, COLORREF background) {
    if (!RegisterWindowClass(kClassName, InstanceWindowProc<PictureView>)) return nullptr;
    std::unique_ptr<PictureView> view(new PictureView);
    view->mode_ = mode;
    view->background_ = background;
    CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent, nullptr, GetModuleHandleW(nullptr), view.get());
    if (!view->hwnd_) return nullptr;
    return view;
}

PictureView::~PictureView() { DestroyOwnedWindow(hwnd_); }

bool PictureView::LoadWhenShown(const std::wstring& path, std::function<bool()> prepare) {
    if (!prepare && !IsPlainFile(path)) return false;
    pending_ = path;
    prepare_ = std::move(prepare);
    InvalidateRect(hwnd_, nullptr, FALSE);
    return true;
}

void PictureView::LoadPending() const {
    if (pending_.empty()) return;
    const std::wstring path = std::move(pending_);
    pending_.clear();
    const std::function<bool()> prepare = std::move(prepare_);
    prepare_ = nullptr;
    if (prepare && !prepare()) return;
    const_cast<PictureView*>(this)->Load(path);
}

bool PictureView::Load(const std::wstring& path) {
    pending_.clear();
    std::unique_ptr<LoadedImage> image = LoadedImage::FromFile(path);
    if (!image) return false;
    std::vector<unsigned> delays;
    if (mode_ == Mode::Animate) {
        GUID dimension = Gdiplus::FrameDimensionTime;
        const UINT frames = std::max(1u, image->get()->GetFrameCount(&dimension));
        const UINT size = image->get()->GetPropertyItemSize(PropertyTagFrameDelay);
        std::vector<BYTE> buffer(size);
        auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
        const bool haveDelays = size > 0 && image->get()->GetPropertyItem(PropertyTagFrameDelay, size, item) == Gdiplus::Ok;
        for (UINT i = 0; i < frames; ++i) {
            // GIF delays are in hundredths of a second; 0 means "as fast as possible".
            unsigned delay = haveDelays && (i + 1) * 4 <= item->length ? static_cast<const UINT*>(item->value)[i] * 10 : 100;
            delays.push_back(std::max(delay, 20u));
        }
    } else {
        delays.push_back(0);
    }
    image_ = std::move(image);
    delays_ = std::move(delays);
    path_ = path;
    frame_ = 0;
    ArmTimer();
    InvalidateRect(hwnd_, nullptr, FALSE);
    return true;
}

void PictureView::ArmTimer() {
    KillTimer(hwnd_, kFrameTimer);
    if (mode_ == Mode::Animate && delays_.size() > 1) SetTimer(hwnd_, kFrameTimer, delays_[frame_], nullptr);
}

void PictureView::Advance() {
    if (!image_ || delays_.size() < 2) return;
    frame_ = (frame_ + 1) % static_cast<int>(delays_.size());
    GUID dimension = Gdiplus::FrameDimensionTime;
    image_->get()->SelectActiveFrame(&dimension, static_cast<UINT>(frame_));
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void PictureView::Paint() {
    LoadPending();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    if (HDC buffer = buffer_.Begin(dc, client.right, client.bottom)) {
        FillSolid(buffer, client, background_);
        if (image_) {
            Gdiplus::Graphics graphics(buffer);
            graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
            graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
            if (mode_ == Mode::Stretch)
                graphics.DrawImage(image_->get(), 0, 0, client.right, client.bottom);
            else  // animations keep their size, centred
                graphics.DrawImage(image_->get(),
                                   static_cast<INT>((client.right - static_cast<int>(image_->get()->GetWidth())) / 2),
                                   static_cast<INT>((client.bottom - static_cast<int>(image_->get()->GetHeight())) / 2));
        }
        buffer_.End(dc, client);
    }
    EndPaint(hwnd_, &ps);
}

LRESULT PictureView::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_TIMER:
        if (wp == kFrameTimer) {
            // Hidden animations keep their frame and cost nothing until shown again.
            if (IsWindowVisible(hwnd_)) Advance();
            ArmTimer();
        }
        return 0;
    case WM_NCHITTEST:
        return HTTRANSPARENT;  // clicks go to what lies below (the title picture moves the window)
    default:
        return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

}  // namespace tidemark::widgets

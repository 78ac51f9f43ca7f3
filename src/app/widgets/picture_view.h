// Pictures loaded with GDI+ (PNG, GIF, BMP): a stretched still image and an animated GIF whose
// frames advance on a timer. Pictures are read into memory, so the files stay free to delete.
// GDI+ must have been started for the process (GdiplusSession).
#pragma once

#include <windows.h>

#include "app/widgets/instance_window.h"
#include "app/widgets/paint_support.h"
#include <objidl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Gdiplus {
class Image;
}

namespace tidemark::widgets {

// A GDI+ image read from a file into memory.
class LoadedImage {
public:
    static std::unique_ptr<LoadedImage> FromFile(const std::wstring& path);
    ~LoadedImage();
    Gdiplus::Image* get() const { return image_; }

private:
    LoadedImage() = default;
    IStream* stream_ = nullptr;
    Gdiplus::Image* image_ = nullptr;
};

class PictureView {
public:
    enum class Mode { Stretch, Animate };
    static std::unique_ptr<PictureView> Create(HWND parent, const RECT& rect, Mode mode, COLORREF background);
    ~PictureView();
    PictureView(const PictureView&) = delete;
    PictureView& operator=(const PictureView&) = delete;

    HWND hwnd() const { return hwnd_; }
    // Loads a picture; false (the old one stays) when it cannot be read.
    bool Load(const std::wstring& path);
    // Remembers a picture to load when the view is first painted (or asked about it); false
    // when there is no such file. With prepare, the file is made by prepare at that moment
    // (false from it: nothing is loaded).
    bool LoadWhenShown(const std::wstring& path, std::function<bool()> prepare = {});
    bool HasPicture() const {
        LoadPending();
        return image_ != nullptr;
    }
    const std::wstring& Path() const {
        LoadPending();
        return path_;
    }
    int FrameCount() const {
        LoadPending();
        return static_cast<int>(delays_.size());
    }
    int CurrentFrame() const { return frame_; }
    // Shows the next frame now (the timer does this by itself while the view is visible).
    void Advance();

private:
    PictureView() = default;
    template <typename T>
    friend LRESULT CALLBACK InstanceWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void Paint();
    void ArmTimer();

    HWND hwnd_ = nullptr;
    Mode mode_ = Mode::Stretch;
    COLORREF background_ = RGB(255, 255, 255);
    std::unique_ptr<LoadedImage> image_;
    std::wstring path_;
    mutable std::wstring pending_;  // a picture to load when first needed
    mutable std::function<bool()> prepare_;
    void LoadPending() const;
    std::vector<unsigned> delays_;  // per frame, milliseconds
    int frame_ = 0;
    PaintBuffer buffer_;
};

}  // namespace tidemark::widgets

// A button drawn from pictures: a normal, hot, pressed and disabled face plus one spare slot
// (the stay-down slot) that keeps a copy of a face while another look stands in for it.
// Buttons without pictures get faces drawn for their look, so every slot always holds one.
#pragma once

#include <windows.h>

#include "app/widgets/instance_window.h"
#include "app/widgets/paint_support.h"

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "system/handles.h"

namespace tidemark::widgets {

enum class Face { Normal = 0, Hot, Pressed, Disabled, StayDown };

// What the drawn faces look like.
enum class ButtonLook {
    Tab,       // top tab: white caption over the title gradient, highlights when hot/pressed
    Large,     // start button of a start page
    Action,    // header and footer buttons
    Mode,      // the two mode buttons of the header strip; disabled = the mode not chosen
    Toggle,    // large toggle of the trace start page
    Caption,   // small buttons of the title area (minimise, maximise, close)
};

class PictureButton {
public:
    static std::unique_ptr<PictureButton> Create(HWND parent, const RECT& rect, ButtonLook look,
                                                 const std::wstring& caption);
    ~PictureButton();
    PictureButton(const PictureButton&) = delete;
    PictureButton& operator=(const PictureButton&) = delete;

    HWND hwnd() const { return hwnd_; }
    ButtonLook look() const { return look_; }

    // A face from a bitmap file; false (face unchanged) when there is no such file. Faces are
    // made when first painted: a file that turns out not to be a bitmap then shows the look's
    // own drawing.
    bool LoadFace(Face face, const std::wstring& file);
    // A face from a bitmap file that prepare makes when the face is first needed.
    void LoadFaceWhenShown(Face face, const std::wstring& file, std::function<bool()> prepare);
    // The four faces from the program's bitmap resources prefix + "1" ... "4" (normal, hot,
    // pressed, disabled); faces whose resource is missing keep their drawing.
    void LoadFaceResources(const std::wstring& prefix);
    void SetFace(Face face, UniqueGdiObject bitmap, std::wstring tag, COLORREF textColor);
    void CopyFace(Face from, Face to);
    void SwapFaces(Face a, Face b);
    // Where a face came from: a file name, or "drawn-<face>" for the look's own drawing.
    const std::wstring& FaceTag(Face face) const;

    void SetCaption(const std::wstring& caption);
    const std::wstring& Caption() const { return caption_; }
    void SetOnClick(std::function<void()> onClick) { onClick_ = std::move(onClick); }
    // What a click does (tests and keyboard use it too); nothing when the button is disabled.
    void Click();

    // The program's hand-point cursor, shown over every picture button.
    static void SetHandCursor(HCURSOR cursor);

private:
    // Where a face's picture comes from; the bitmap is made from it when first needed.
    enum class Source { Drawn, Resource, File, Given };
    struct FaceSlot {
        UniqueGdiObject bitmap;
        std::wstring tag;
        COLORREF textColor = RGB(255, 255, 255);
        Source source = Source::Drawn;
        Face drawnFace = Face::Normal;  // Drawn: which face of the look
        std::wstring name;              // Resource: its name; File: its path
        std::function<bool()> prepare;  // File: makes the file first
        // Takes a new source; the bitmap is made from it when next needed.
        void Use(Source from, std::wstring fromName = {}, std::function<bool()> make = {}) {
            bitmap.reset();
            source = from;
            name = std::move(fromName);
            prepare = std::move(make);
        }
    };

    PictureButton() = default;
    template <typename T>
    friend LRESULT CALLBACK InstanceWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void SetDefaultFaces();
    HBITMAP FaceBitmap(int index);
    UniqueGdiObject DrawFace(Face face);
    COLORREF DrawnTextColor(Face face) const;
    void Paint();
    Face ShownFace() const;

    HWND hwnd_ = nullptr;
    ButtonLook look_ = ButtonLook::Action;
    std::wstring caption_;
    std::array<FaceSlot, 5> faces_;
    std::function<void()> onClick_;
    bool hot_ = false;
    bool pressed_ = false;
    PaintBuffer buffer_;
};

}  // namespace tidemark::widgets

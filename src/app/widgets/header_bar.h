// HeaderBar: the custom-drawn title strip above a list. Sections with titles whose right edges
// can be dragged; the owner hears each new width and sizes its list's column to match.
#pragma once

#include <windows.h>

#include "app/widgets/instance_window.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/widgets/paint_support.h"
#include "system/handles.h"

namespace tidemark::widgets {

class HeaderBar {
public:
    static constexpr wchar_t kClassName[] = L"TidemarkHeaderBar";
    static constexpr int kTitlePadding = 6;  // left of a title, and kept free at its right
    static constexpr int kGrip = 3;          // pixels either side of an edge that grab it
    static constexpr COLORREF kGradientTop = RGB(0xF7, 0xFA, 0xFD);
    static constexpr COLORREF kGradientBottom = RGB(0xE6, 0xEE, 0xF7);
    static constexpr COLORREF kLineColor = RGB(0xC9, 0xDD, 0xF2);  // bottom line, separators

    // A child window of parent at bounds (parent's client coordinates); null on failure.
    static std::unique_ptr<HeaderBar> Create(HWND parent, int controlId, const RECT& bounds);
    ~HeaderBar();
    HeaderBar(const HeaderBar&) = delete;
    HeaderBar& operator=(const HeaderBar&) = delete;

    HWND hwnd() const { return hwnd_; }

    // Replaces all sections. A section without a width gets 100 pixels; widths beyond the
    // titles are ignored.
    void SetSections(std::vector<std::wstring> titles, std::vector<int> widths);
    int SectionCount() const { return static_cast<int>(sections_.size()); }
    std::wstring SectionTitle(int index) const;
    void SetSectionTitle(int index, std::wstring title);
    int SectionWidth(int index) const;  // 0 for no such section
    void SetSectionWidth(int index, int width);

    // A picture file (PNG, BMP, ...) stretched over the whole bar instead of the gradient.
    // Returns whether it loaded; on failure (or an empty path) the gradient is drawn.
    bool SetBackgroundPicture(const std::wstring& path);
    // The same, loaded when the bar is first painted; false when there is no such file. With
    // prepare, the file is made by prepare at that moment.
    bool SetBackgroundPictureWhenShown(const std::wstring& path, std::function<bool()> prepare = {});
    bool HasBackgroundPicture() const { return static_cast<bool>(picture_) || !pendingPicture_.empty(); }

    // Follows the list below when it scrolls sideways.
    void SetScrollOffset(int x);
    // The section whose right edge is within kGrip of client x (the last such one, so a
    // section dragged to nothing can be pulled open again); -1 for none.
    int EdgeAt(int x) const;

    // While an edge is dragged, for every change of width.
    std::function<void(int index, int newWidth)> OnSectionResized;

private:
    HeaderBar() = default;
    template <typename T>
    friend LRESULT CALLBACK InstanceWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void Paint(HDC dc);
    int SectionLeft(int index) const;  // unscrolled
    void DragTo(int x);

    struct Section {
        std::wstring title;
        int width = 0;
    };

    HWND hwnd_ = nullptr;
    std::vector<Section> sections_;
    UniqueGdiObject picture_;
    SIZE pictureSize_{0, 0};
    std::wstring pendingPicture_;  // loaded at the first paint
    std::function<bool()> preparePicture_;
    HFONT font_ = nullptr;  // the parent's, not owned
    PaintBuffer buffer_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int scrollX_ = 0;
    int dragIndex_ = -1;
    int dragGrabOffset_ = 0;  // cursor x minus the edge's x when the drag began
};

}  // namespace tidemark::widgets

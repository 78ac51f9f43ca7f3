// A text that acts as a link: accent colour, underlined under the mouse, hand cursor, a click
// handler. The footer's "全选" / "反选" / "推荐" and the maker's link are link labels.
#pragma once

#include <windows.h>

#include "app/widgets/instance_window.h"

#include <functional>
#include <memory>
#include <string>

#include "system/handles.h"

namespace tidemark::widgets {

class LinkLabel {
public:
    static std::unique_ptr<LinkLabel> Create(HWND parent, const RECT& rect, const std::wstring& text,
                                             COLORREF background);
    ~LinkLabel();
    LinkLabel(const LinkLabel&) = delete;
    LinkLabel& operator=(const LinkLabel&) = delete;

    HWND hwnd() const { return hwnd_; }
    void SetOnClick(std::function<void()> onClick) { onClick_ = std::move(onClick); }
    void Click();

private:
    LinkLabel() = default;
    template <typename T>
    friend LRESULT CALLBACK InstanceWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void Paint();

    HWND hwnd_ = nullptr;
    COLORREF background_ = RGB(255, 255, 255);
    std::function<void()> onClick_;
    bool hot_ = false;
    UniqueGdiObject underlined_;
};

}  // namespace tidemark::widgets

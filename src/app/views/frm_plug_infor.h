// TFrmPlugInfor: the details window of a plug-in card: everything the plug-in registered, one
// entry per paragraph, in a read-only memo, with "确  认" and a small close button.
#pragma once

#include <windows.h>

#include "app/widgets/instance_window.h"

#include <memory>
#include <string>
#include <vector>

#include "system/handles.h"

namespace tidemark {

namespace widgets {
class PictureButton;
}

class TFrmPlugInfor {
public:
    static constexpr int kWidth = 471;
    static constexpr int kHeight = 299;

    // A hidden window centred on owner, showing the lines.
    static std::unique_ptr<TFrmPlugInfor> Create(HWND owner, const std::vector<std::wstring>& lines);
    ~TFrmPlugInfor();
    TFrmPlugInfor(const TFrmPlugInfor&) = delete;
    TFrmPlugInfor& operator=(const TFrmPlugInfor&) = delete;

    // Shows the window and keeps the owner disabled until one of the buttons (or Escape)
    // closes it.
    void ShowModal();
    bool IsOpen() const { return hwnd_ != nullptr && IsWindowVisible(hwnd_); }

    HWND hwnd() const { return hwnd_; }
    HWND Memo() const { return memo_; }  // "RzMemo1"
    widgets::PictureButton* MakeSure() const { return makeSure_.get(); }  // "Btn_MakeSure"
    widgets::PictureButton* CloseButton() const { return close_.get(); }  // "BBtn_Close"

private:
    TFrmPlugInfor() = default;
    template <typename T>
    friend LRESULT CALLBACK widgets::InstanceWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void Paint();
    void Dismiss();

    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    HWND memo_ = nullptr;
    std::unique_ptr<widgets::PictureButton> makeSure_;
    std::unique_ptr<widgets::PictureButton> close_;
    UniqueGdiObject font_;
    bool modal_ = false;
};

}  // namespace tidemark

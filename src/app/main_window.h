// TFBrimMain: the main window. Its creation runs the program's start-up sequence; closing it
// runs the close sequence.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "system/handles.h"
#include "system/prompt.h"

namespace tidemark {

class TFBrimMain {
public:
    static constexpr wchar_t kClassName[] = L"{C9A5B730-1E5F-49A2-AAD5-025BBD1F43F0}";
    static constexpr wchar_t kCaption[] = L"Tidemark1.31";
    static constexpr UINT_PTR kFirstRunTimer = 1;
    static constexpr UINT_PTR kDragTimer = 2;

    // Creates the window (which runs the start-up sequence) for the program's arguments.
    // quitOnDestroy: the window ends the thread's message loop when it is destroyed.
    static std::unique_ptr<TFBrimMain> Create(const std::vector<std::wstring>& args,
                                              bool quitOnDestroy);
    ~TFBrimMain();
    TFBrimMain(const TFBrimMain&) = delete;
    TFBrimMain& operator=(const TFBrimMain&) = delete;

    HWND hwnd() const { return hwnd_; }
    // A child control by its layout name; null when there is none.
    HWND Control(const std::wstring& name) const;
    bool Destroyed() const { return hwnd_ == nullptr; }

    // Handlers, callable directly (tests drive the window through them).
    void SelectTopTab(int tab);
    void FirstRunTimerFired();
    void DragTimerFired();
    void BBtn_InitOkClick();
    void Close();  // as the close button does: the close sequence, then the window goes

private:
    TFBrimMain() = default;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

    void RunStartupSequence();
    void CreateControls();
    HWND AddControl(const wchar_t* name, const wchar_t* windowClass, DWORD style, int x, int y,
                    int w, int h, HWND parent = nullptr);
    void ApplyLanguageTexts(unsigned langId);
    void ApplyCommandLine();
    void CreateEngines();
    void RunCloseSequence();
    void Paint();
    void OnCommand(HWND control, int code);

    HWND hwnd_ = nullptr;
    bool quitOnDestroy_ = false;
    std::vector<std::wstring> args_;
    std::map<std::wstring, HWND> controls_;
    std::map<HWND, std::wstring> names_;
    UniqueGdiObject font_;
    MessageBoxPrompt prompt_;
    Prompt* previousPrompt_ = nullptr;
};

}  // namespace tidemark

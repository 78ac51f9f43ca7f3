// TFBrimMain: the main window. Its creation runs the program's start-up sequence; closing it
// runs the close sequence. Its controls come from the layout table and are found by name.
#pragma once

#include <windows.h>

#include "app/widgets/instance_window.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/main_layout.h"
#include "app/widgets/link_label.h"
#include "app/widgets/picture_button.h"
#include "app/widgets/picture_view.h"
#include "core/startup_context.h"
#include "system/handles.h"
#include "system/prompt.h"

namespace tidemark {

namespace widgets {
class TreeList;
class TreeListModel;
class HeaderBar;
}  // namespace widgets

class TFBrimMain {
public:
    static constexpr wchar_t kClassName[] = L"{C9A5B730-1E5F-49A2-AAD5-025BBD1F43F0}";
    static constexpr wchar_t kCaption[] = L"Tidemark1.31";
    static constexpr UINT_PTR kFirstRunTimer = 1;
    static constexpr UINT_PTR kDragTimer = 2;
    static constexpr int kMinWidth = 750;
    static constexpr int kMinHeight = 520;

    // Creates the window (which runs the start-up sequence) for the program's arguments.
    // quitOnDestroy: the window ends the thread's message loop when it is destroyed.
    static std::unique_ptr<TFBrimMain> Create(const std::vector<std::wstring>& args,
                                              bool quitOnDestroy);
    ~TFBrimMain();
    TFBrimMain(const TFBrimMain&) = delete;
    TFBrimMain& operator=(const TFBrimMain&) = delete;

    HWND hwnd() const { return hwnd_; }
    // What the engines work in; built at the start of the start-up sequence.
    const StartupContext& Context() const { return context_; }
    bool Destroyed() const { return hwnd_ == nullptr; }

    // Controls by their layout name; null when there is none (or it is of another kind).
    HWND Control(const std::wstring& name) const;
    widgets::PictureButton* Button(const std::wstring& name) const;
    widgets::LinkLabel* Link(const std::wstring& name) const;
    widgets::PictureView* Picture(const std::wstring& name) const;
    widgets::TreeList* List(const std::wstring& name) const;
    widgets::TreeListModel* ListModel(const std::wstring& name) const;
    widgets::HeaderBar* Header(const std::wstring& name) const;

    // The views.
    void SelectTopTab(int tab);
    void ShowActionSet(int kind);
    void ShowPage(int page);
    int CurrentPage() const { return currentPage_; }
    const std::vector<int>& ListColumns(const std::wstring& list) { return listColumns_[list]; }
    void DeselectTopTab();
    void DeselectSubTab();
    void SelectSubTab(int tab);
    void SelectAllInPage();
    void ClearAllInPage();
    bool CustomMode() const { return customMode_; }
    bool TraceGroupChosen(int group) const { return traceGroups_[group]; }

    // The settings view.
    struct TSetUpData {
        std::wstring name;
        int page;  // 1 general, 2 custom, 3 method; 0 for the root
        int kind;  // 0 root, 1 page
    };
    struct TSetUpDataItems {
        std::wstring description, type;
        std::wstring state;      // "0" ticked, "1" not
        std::wstring userAdded;  // "1" for a type the user added
    };
    int SettingsPage() const { return settingsPage_; }  // 0 general, 1 custom, 2 method
    void SelectSettingsEntry(int page);
    void BBtn_SetAddClick();
    void DeleteUserType();  // the focused row of the type list
    void RecommendedTypes();
    void SaveSettings(bool silent);

    // Timers, the first-run question and the window commands, as their events call them.
    void FirstRunTimerFired();
    void DragTimerFired();
    void BBtn_InitOkClick();
    void Close();  // as the close button does: the close sequence, then the window goes
    void Maximize();
    void Restore();

private:
    struct ControlEntry {
        HWND hwnd = nullptr;
        ControlKind kind = ControlKind::Panel;
        const LayoutEntry* entry = nullptr;
        widgets::PictureButton* button = nullptr;
        widgets::LinkLabel* link = nullptr;
        widgets::PictureView* picture = nullptr;
        widgets::TreeList* list = nullptr;
        widgets::TreeListModel* model = nullptr;
        widgets::HeaderBar* header = nullptr;
    };
    struct Owned;  // the widget objects behind the controls

    TFBrimMain();
    template <typename T>
    friend LRESULT CALLBACK widgets::InstanceWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

    // Start-up, close and the skin.
    void RunStartupSequence();
    void CreateControls();
    void CreateControl(const LayoutEntry& entry);
    void WireHandlers();
    void ApplyLanguageTexts(unsigned langId);
    void LoadInterfacePictures();
    void SetInitialColumnWidths();
    void ApplyCommandLine();
    void CreateEngines();
    void RunCloseSequence();
    void Paint();
    void Reflow();
    void StartMove();

    // View steps.
    void MarkTopTab(int tab);
    void MarkModeButton(const wchar_t* pressed, const wchar_t* other);
    void ModeButtonClick(bool left);
    void ShowCustomView();
    void StartJunkPage();
    void StartCustomScan();
    void StartRegistryPage();
    void BeginTraceScan();
    void ToggleTraceGroup(int group);
    void SetChecksInPage(bool checked);
    void Place(const wchar_t* name, int x, int y);
    void PlaceAt(const wchar_t* name, const wchar_t* where);
    void Show(const wchar_t* name, bool visible = true);
    void SetText(const wchar_t* name, const std::wstring& text);
    void FillSettingsTree();
    void SettingsTreeSelected(std::uint32_t node);
    void ShowSettingsPage(int page);
    void AddTypeRow(const TSetUpDataItems& item);

    HWND hwnd_ = nullptr;
    bool quitOnDestroy_ = false;
    std::vector<std::wstring> args_;
    std::map<std::wstring, ControlEntry> controls_;
    std::map<std::wstring, std::vector<int>> listColumns_;  // list name -> column widths
    std::unique_ptr<Owned> owned_;
    UniqueGdiObject font_;
    MessageBoxPrompt prompt_;
    StartupContext context_;
    Prompt* previousPrompt_ = nullptr;
    int painting_ = 0;  // the window's text is answered only while painting
    int currentPage_ = -1;
    bool customMode_ = false;
    std::array<bool, 3> traceGroups_{true, true, true};
    std::vector<TSetUpData> setUpData_;
    std::vector<TSetUpDataItems> setItems_;
    int settingsPage_ = 2;
};

}  // namespace tidemark

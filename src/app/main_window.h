// TFBrimMain: the main window. Its creation runs the program's start-up sequence; closing it
// runs the close sequence. It keeps the frame (title area, top tabs, page set, header strip and
// footer) and switches between its views, one class each under app/views/, which it creates
// after its controls and to which it forwards the presses of the tabs and shared buttons.
#pragma once

#include <windows.h>

#include "app/widgets/instance_window.h"

#include <array>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/control_table.h"
#include "app/main_layout.h"
#include "app/views/view.h"
#include "app/widgets/link_label.h"
#include "app/widgets/picture_button.h"
#include "app/widgets/picture_view.h"
#include "core/startup_context.h"
#include "engine/cleaner.h"
#include "engine/definition_store.h"
#include "system/handles.h"
#include "system/prompt.h"

namespace tidemark {

namespace widgets {
class HeaderBar;
class TreeList;
class TreeListModel;
}  // namespace widgets

class TracesView;
class JunkView;
class CustomView;
class RegistryView;
class PluginsView;
class SettingsView;

class TFBrimMain {
public:
    static constexpr wchar_t kClassName[] = L"{C9A5B730-1E5F-49A2-AAD5-025BBD1F43F0}";
    static constexpr wchar_t kCaption[] = L"Tidemark1.31";
    static constexpr UINT_PTR kFirstRunTimer = 1;
    static constexpr UINT_PTR kDragTimer = 2;
    static constexpr int kMinWidth = 750;
    static constexpr int kMinHeight = 520;

    // Creates the window (which runs the start-up sequence) for the program's arguments.
    // quitOnDestroy: the window is the program's own. Closing it ends the thread's message loop
    // and leaves the window to go with the process (see Close); so does its destruction.
    static std::unique_ptr<TFBrimMain> Create(const std::vector<std::wstring>& args,
                                              bool quitOnDestroy);
    ~TFBrimMain();
    TFBrimMain(const TFBrimMain&) = delete;
    TFBrimMain& operator=(const TFBrimMain&) = delete;

    HWND hwnd() const { return hwnd_; }
    // What the engines work in; built at the start of the start-up sequence.
    const StartupContext& Context() const { return context_; }
    // The cleaning engine (the definitions and the plug-in table), made when first asked for;
    // null when it could not be made (the scan and clean of the plug-in view then say the
    // program was not initialised).
    TCleaner* Cleaner() const;
    DefinitionSet* Definitions() const {
        TCleaner* cleaner = Cleaner();
        return cleaner ? &cleaner->Definitions() : nullptr;
    }
    // Puts another engine (or none) in place of the start-up one (tests); the plug-in view
    // forgets the objects of the old one first.
    void SetCleaner(std::unique_ptr<TCleaner> cleaner);
    // A close asked for while a view's scan or clean loop runs waits for it: the stop is
    // requested and the window closes when the loop has unwound (FinishDeferredClose).
    bool ClosePending() const { return closeDeferred_; }
    void FinishDeferredClose();
    // The window owns the one running operation (a scan, a clean or a modal panel of any view,
    // held by a BusyScope): another may start only when none runs and no close is waiting.
    bool OperationRunning() const { return operations_ > 0; }
    bool CanStartOperation() const { return operations_ == 0 && !closeDeferred_ && !closed_; }
    bool Destroyed() const { return hwnd_ == nullptr; }
    // The close sequence has run (the window may still exist, hidden, until the process ends).
    bool Closed() const { return closed_; }

    // Every control, and every lookup the frame and the views made when they were built.
    const ControlTable& Controls() const { return controls_; }
    // Controls by their layout name, for tests and tools; null when there is none (or it is of
    // another kind). The program's own code resolves its controls once, through the table.
    HWND Control(const std::wstring& name) const;
    widgets::PictureButton* Button(const std::wstring& name) const;
    widgets::LinkLabel* Link(const std::wstring& name) const;
    widgets::PictureView* Picture(const std::wstring& name) const;
    widgets::TreeList* List(const std::wstring& name) const;
    widgets::TreeListModel* ListModel(const std::wstring& name) const;  // the rows the list shows
    widgets::HeaderBar* Header(const std::wstring& name) const;

    // The views. The trace view is made at start; every other view, and the controls of its
    // pages, when it is first asked for.
    TracesView& Traces() { return *traces_; }
    JunkView& Junk();
    CustomView& Custom();
    RegistryView& Registry();
    PluginsView& Plugins();
    SettingsView& Settings();

    // Tab switching: a top tab's press (1 traces, 2 junk, 3 custom, 4 registry, 5 plug-ins,
    // 6 settings) goes to its view while the window is idle (App().CurrentView is the tab).
    void SelectTopTab(int tab);
    void MarkTopTab(int tab);  // the tab's highlight, and App().CurrentView
    void DeselectTopTab();
    // The page set and the header strip and footer.
    void ShowPage(Page page);
    Page CurrentPage() const { return currentPage_; }
    void ShowActionSet(ActionSet set);
    // The header strip's two mode buttons: the pressed one shows its highlight, the other the
    // look of the mode not chosen.
    void MarkModeButton(bool left);
    // The junk view's two mode buttons, with their captions, beside whatever the strip shows.
    void ShowJunkModeButtons(bool visible);
    // Neither mode is chosen (a settings page no mode button leads to): both show that look.
    void MarkNoModeButton();
    // The footer links, for the page shown.
    void SelectAllInPage();
    void ClearAllInPage();
    const std::vector<int>& ListColumns(const std::wstring& list) { return listColumns_[list]; }

    // Timers, the first-run question and the window commands, as their events call them.
    void FirstRunTimerFired();
    void DragTimerFired();
    void BBtn_InitOkClick();
    void Close();  // as the close button does: the close sequence, then the window goes
    void Maximize();
    void Restore();

private:
    struct Owned;  // the widget objects behind the controls
    // An action set with its controls resolved.
    struct ResolvedActionSet {
        ActionSet set;
        std::vector<HWND> shown;
        std::vector<std::pair<HWND, ButtonSlot>> placed;
        const wchar_t* leftMode = nullptr;  // the mode buttons' captions, when it shows them
        const wchar_t* rightMode = nullptr;
    };
    // The frame's own controls, resolved once after they are created.
    struct FrameControls {
        std::array<widgets::PictureButton*, 7> tabs{};  // by tab number, 1 to 6
        widgets::PictureButton* minimise = nullptr;
        widgets::PictureButton* maximise = nullptr;
        widgets::PictureButton* restore = nullptr;
        widgets::PictureButton* close = nullptr;
        widgets::PictureButton* modeLeft = nullptr;   // "自动清理" / "清理方式设置"
        widgets::PictureButton* modeRight = nullptr;  // "自定义清理" / "通用清理规则设置"
        widgets::LinkLabel* selectAll = nullptr;
        widgets::LinkLabel* selectNone = nullptr;
        widgets::LinkLabel* maker = nullptr;
        HWND firstRunPrompt = nullptr;
        HWND initMethod = nullptr;   // the first-run question's method drop-down
        HWND initDontAsk = nullptr;  // "下次不再询问"
        widgets::PictureButton* initOk = nullptr;
        std::array<HWND, kPageCount> pages{};
        // Every control of the header strip and the footer: each belongs to some action set.
        std::vector<HWND> stateControls;
        std::vector<ResolvedActionSet> actionSets;
    };

    TFBrimMain();
    template <typename T>
    friend LRESULT CALLBACK widgets::InstanceWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

    // Start-up, close and the skin.
    void RunStartupSequence();
    void CreateControls();
    void CreateControl(const LayoutEntry& entry);
    void ResolveFrameControls();
    void ResolveFirstRunPrompt();
    void WireHandlers();
    void CreateViews();
    // Controls made after the start: a deferred group (see DeferredGroupOf) made whole, then set
    // up as the start sets up its controls.
    using NameSet = std::set<std::wstring, std::less<>>;
    void MakeGroup(const wchar_t* group);
    void MakeOwnerOf(std::wstring_view group);
    template <typename V, typename... Args>
    V& MakeView(std::unique_ptr<V>& view, Args&&... args);
    int makingView_ = 0;  // views being made
    void SetUpControls(const NameSet* fresh);  // null: every control made so far
    void ApplyLanguageTexts(unsigned langId);
    void ApplyControlTexts(unsigned langId, const NameSet* fresh);
    void LoadInterfacePictures(const NameSet* fresh);
    void SetInitialColumnWidths(const NameSet* fresh);
    void ApplyCommandLine();
    void CreateEngines() const;
    void RunCloseSequence();
    void Paint();
    void Reflow();
    // The client size the controls are laid out for (they are made for the design size).
    SIZE laidOut_{kDesignClientWidth, kDesignClientHeight};
    void StartMove();

    // Tab switching.
    View* ViewOfTab(int tab);
    View* ViewOfPage(Page page);
    void ModeButtonClick(bool left);
    void SetChecksInPage(bool checked);

    HWND hwnd_ = nullptr;
    bool quitOnDestroy_ = false;
    bool closed_ = false;
    bool closeDeferred_ = false;
    int operations_ = 0;  // BusyScopes alive, in every view
    friend class BusyScope;
    std::vector<std::wstring> args_;
    ControlTable controls_;
    ControlResolver frameControls_{controls_, L"TFBrimMain"};
    FrameControls frame_;
    std::map<std::wstring, std::vector<int>> listColumns_;  // list name -> column widths
    NameSet madeGroups_;
    bool setUpAtStart_ = false;  // the start has set up its controls: later groups set up their own
    // Freed after the views, which hold its objects.
    mutable std::unique_ptr<TCleaner> cleaner_;
    mutable bool cleanerMade_ = false;  // made (or set) once: a failed make is not retried
    std::unique_ptr<Owned> owned_;
    // The views hold the rows their lists show; the lists (in owned_) may outlive them.
    std::unique_ptr<TracesView> traces_;
    std::unique_ptr<JunkView> junk_;
    std::unique_ptr<CustomView> custom_;
    std::unique_ptr<RegistryView> registry_;
    std::unique_ptr<PluginsView> plugins_;
    std::unique_ptr<SettingsView> settings_;
    UniqueGdiObject font_;
    MessageBoxPrompt prompt_;
    StartupContext context_;
    Prompt* previousPrompt_ = nullptr;
    int painting_ = 0;  // the window's text is answered only while painting
    Page currentPage_ = Page::TraceGroups;  // the layout shows the first page at creation
};

}  // namespace tidemark

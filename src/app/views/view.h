// What the views of the main window share: the pages of the page set, the action sets of the
// header strip and footer, and the View base. A view is one class per top tab; it resolves the
// controls it uses when it is built, owns the rows of its lists (and, once its engine lands, the
// engine's records behind them) and its own state. The main window keeps the frame and forwards
// the presses of the tabs and of the shared footer links.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "app/control_table.h"
#include "app/main_layout.h"

namespace tidemark {

class TFBrimMain;

namespace widgets {
class PictureButton;
class TreeList;
class TreeListModel;
}  // namespace widgets

// The pages of the page set ("TabSheet0" ... "TabSheet11"); one is shown at a time.
enum class Page {
    TraceGroups,      // the trace view's three group cards
    TraceResults,     // the traces found
    JunkStart,        // the junk view's start button
    JunkFolders,      // the folders a custom junk scan walks
    JunkResults,      // the junk found
    Plugins,          // the plug-ins found
    RegistryStart,    // the registry view's start button
    RegistryResults,  // the registry entries found
    SettingsTypes,    // the file types of the general or the custom rules
    SettingsMethod,   // the cleaning method
    SettingsRestore,  // the restore center: the undo journal's entries
    CustomFolders,    // the custom cleaning folders
};
constexpr int kPageCount = 12;
std::wstring PageControlName(Page page);  // "TabSheet0" ...

// What the header strip and the footer show in a state of a view.
enum class ActionSet {
    TraceStart,     // the trace start button, the trace slogan, "立即清理"
    JunkModes,      // the junk view's mode buttons: automatic or custom cleaning
    JunkScan,       // a junk scan: path, counters, stop, scan and clean, the footer links
    CustomScan,     // a custom-folder scan: as a junk scan
    Plugins,        // the plug-in scan and clean buttons, the footer links
    RegistryStart,  // the registry slogan beside the view icon
    RegistryScan,   // a registry scan: stop, scan and clean, the footer links
    Settings,         // the settings' page buttons and "保存"
    SettingsRestore,  // the settings' page buttons, "删除" and "恢复" of the restore center
    CustomFolders,    // the custom cleaning folders: "扫描" and "清理", the footer links
};

// Holds the window busy for a scan, a clean or a modal panel of a view: no tab switches
// meanwhile (`UiIdle` false, put back as it was at the end), no other operation starts (a view
// asks `TFBrimMain::CanStartOperation` first, and resets the stop request only inside its scope),
// and a close that arrives requests the stop and waits until the outermost scope of any view has
// unwound. depth counts the view's own scopes (its `Busy()`).
class BusyScope {
public:
    BusyScope(TFBrimMain& window, int& depth);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    TFBrimMain& window_;
    int& depth_;
    bool idle_;
};

class View {
public:
    virtual ~View() = default;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // Its top tab was pressed; the window is idle.
    virtual void TabPressed() = 0;
    // "全选" (checked) or "反选" in the footer while one of this view's pages is shown.
    virtual void SetChecksInPage(Page page, bool checked) = 0;
    // "重新扫描" in the footer while one of this view's pages is shown (the button is shared).
    virtual void RescanPressed() {}

    // The name its control lookups are recorded under ("TracesView" ...).
    const std::wstring& Name() const { return controls_.Owner(); }

protected:
    View(TFBrimMain& window, ControlTable& table, const wchar_t* name);
    // Resolves a list and has it show the view's rows.
    widgets::TreeList* BindList(std::wstring_view name, widgets::TreeListModel& rows);
    // Opens the file's folder in the shell with the file selected ("定位文件").
    static void ShowFileInFolder(const std::wstring& path);
    // A list of one column, as wide as the list less its scroll bar (at least 400).
    static void OneFullWidthColumn(widgets::TreeList* list);

    TFBrimMain& window_;
    ControlResolver controls_;
};

// Moves a footer button to one of the footer's slots, following the window's growth as the
// footer does.
void PlaceAtSlot(HWND control, ButtonSlot slot);
void PlaceAtSlot(const widgets::PictureButton* button, ButtonSlot slot);
// Ticks or clears the top rows of a list and their direct children, in one repaint.
void SetTopRowChecks(widgets::TreeListModel& model, bool checked);

}  // namespace tidemark

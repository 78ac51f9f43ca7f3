// The main window's controls by layout name. The frame and every view resolve the controls they
// use once, when they are built, through typed lookups; a name the table does not hold with the
// kind asked for is recorded (and stops a debug build), so a misspelt name cannot silently do
// nothing: a test reads the record.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_layout.h"

namespace tidemark {

namespace widgets {
class PictureButton;
class LinkLabel;
class PictureView;
class TreeList;
class HeaderBar;
}  // namespace widgets

// One created control: its window, its layout row and, for the program's own widgets, the
// object behind the window (owned by the main window).
struct ControlEntry {
    HWND hwnd = nullptr;
    const LayoutEntry* layout = nullptr;
    widgets::PictureButton* button = nullptr;
    widgets::LinkLabel* link = nullptr;
    widgets::PictureView* picture = nullptr;
    widgets::TreeList* list = nullptr;
    widgets::HeaderBar* header = nullptr;
};

class ControlTable {
public:
    // assertOnMiss: a failed lookup also stops a debug build (tests of the record itself turn
    // it off).
    explicit ControlTable(bool assertOnMiss = true) : assertOnMiss_(assertOnMiss) {}

    void Add(const ControlEntry& entry);  // entry.layout names it
    // Controls made when first asked for: a name the table does not hold yet goes to the maker,
    // which makes it if it can (with the rest of its group) and adds it.
    void SetMaker(std::function<void(std::wstring_view)> maker) { maker_ = std::move(maker); }
    // Unrecorded, for tests and tools; null when absent. A control not made yet is made.
    const ControlEntry* Find(std::wstring_view name) const;
    // Only a control made already: for code that walks the layout table.
    const ControlEntry* FindMade(std::wstring_view name) const;
    std::size_t Size() const { return entries_.size(); }

    // One resolution: who asked, for which name and kind (none: any kind), and whether a
    // control of that kind was there.
    struct Lookup {
        std::wstring owner;
        std::wstring name;
        std::optional<ControlKind> kind;
        bool found = false;
    };
    const std::vector<Lookup>& Lookups() const { return lookups_; }
    std::vector<Lookup> Unresolved() const;

    // The entry named, when it has the kind asked for; the lookup is recorded either way.
    const ControlEntry* Resolve(const std::wstring& owner, std::wstring_view name,
                                std::optional<ControlKind> kind);

private:
    std::map<std::wstring, ControlEntry, std::less<>> entries_;
    std::vector<Lookup> lookups_;
    bool assertOnMiss_;
    std::function<void(std::wstring_view)> maker_;
};

// Resolves controls for one owner (the frame or a view) under that owner's name.
class ControlResolver {
public:
    ControlResolver(ControlTable& table, std::wstring owner) : table_(table), owner_(std::move(owner)) {}

    widgets::PictureButton* Button(std::wstring_view name);
    widgets::LinkLabel* Link(std::wstring_view name);
    widgets::PictureView* Picture(std::wstring_view name);
    widgets::PictureView* Animation(std::wstring_view name);
    widgets::TreeList* List(std::wstring_view name);
    widgets::HeaderBar* Header(std::wstring_view name);
    HWND Panel(std::wstring_view name) { return Window(name, ControlKind::Panel); }
    HWND Label(std::wstring_view name) { return Window(name, ControlKind::Label); }
    HWND Edit(std::wstring_view name) { return Window(name, ControlKind::Edit); }
    HWND ComboBox(std::wstring_view name) { return Window(name, ControlKind::ComboBox); }
    HWND CheckBox(std::wstring_view name) { return Window(name, ControlKind::CheckBox); }
    HWND Icon(std::wstring_view name) { return Window(name, ControlKind::Icon); }
    // A control only shown, hidden or moved, whatever its kind.
    HWND AnyKind(std::wstring_view name);

    const std::wstring& Owner() const { return owner_; }

private:
    HWND Window(std::wstring_view name, ControlKind kind);

    ControlTable& table_;
    std::wstring owner_;
};

// Shows or hides a resolved control (nothing for a null one).
void ShowControl(HWND control, bool visible = true);
void ShowControl(const widgets::PictureButton* button, bool visible = true);
void ShowControl(const widgets::LinkLabel* link, bool visible = true);

}  // namespace tidemark

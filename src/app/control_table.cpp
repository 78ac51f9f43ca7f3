#include "app/control_table.h"

#include <cassert>

#include "app/widgets/link_label.h"
#include "app/widgets/picture_button.h"

namespace tidemark {

void ControlTable::Add(const ControlEntry& entry) {
    if (entry.layout && entry.hwnd) entries_[entry.layout->name] = entry;
}

const ControlEntry* ControlTable::FindMade(std::wstring_view name) const {
    const auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : &it->second;
}

const ControlEntry* ControlTable::Find(std::wstring_view name) const {
    const ControlEntry* entry = FindMade(name);
    if (entry || !maker_) return entry;
    maker_(name);
    return FindMade(name);
}

std::vector<ControlTable::Lookup> ControlTable::Unresolved() const {
    std::vector<Lookup> missed;
    for (const Lookup& lookup : lookups_)
        if (!lookup.found) missed.push_back(lookup);
    return missed;
}

const ControlEntry* ControlTable::Resolve(const std::wstring& owner, std::wstring_view name,
                                          std::optional<ControlKind> kind) {
    const ControlEntry* entry = Find(name);
    if (entry && kind && entry->layout->kind != *kind) entry = nullptr;
    lookups_.push_back(Lookup{owner, std::wstring(name), kind, entry != nullptr});
    assert((entry || !assertOnMiss_) && "a control name or kind the layout table does not hold");
    return entry;
}

widgets::PictureButton* ControlResolver::Button(std::wstring_view name) {
    const ControlEntry* entry = table_.Resolve(owner_, name, ControlKind::Button);
    return entry ? entry->button : nullptr;
}

widgets::LinkLabel* ControlResolver::Link(std::wstring_view name) {
    const ControlEntry* entry = table_.Resolve(owner_, name, ControlKind::LinkLabel);
    return entry ? entry->link : nullptr;
}

widgets::PictureView* ControlResolver::Picture(std::wstring_view name) {
    const ControlEntry* entry = table_.Resolve(owner_, name, ControlKind::Picture);
    return entry ? entry->picture : nullptr;
}

widgets::PictureView* ControlResolver::Animation(std::wstring_view name) {
    const ControlEntry* entry = table_.Resolve(owner_, name, ControlKind::Animation);
    return entry ? entry->picture : nullptr;
}

widgets::TreeList* ControlResolver::List(std::wstring_view name) {
    const ControlEntry* entry = table_.Resolve(owner_, name, ControlKind::TreeList);
    return entry ? entry->list : nullptr;
}

widgets::HeaderBar* ControlResolver::Header(std::wstring_view name) {
    const ControlEntry* entry = table_.Resolve(owner_, name, ControlKind::HeaderBar);
    return entry ? entry->header : nullptr;
}

HWND ControlResolver::AnyKind(std::wstring_view name) {
    const ControlEntry* entry = table_.Resolve(owner_, name, std::nullopt);
    return entry ? entry->hwnd : nullptr;
}

HWND ControlResolver::Window(std::wstring_view name, ControlKind kind) {
    const ControlEntry* entry = table_.Resolve(owner_, name, kind);
    return entry ? entry->hwnd : nullptr;
}

void ShowControl(HWND control, bool visible) {
    if (control) ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
}

void ShowControl(const widgets::PictureButton* button, bool visible) {
    if (button) ShowControl(button->hwnd(), visible);
}

void ShowControl(const widgets::LinkLabel* link, bool visible) {
    if (link) ShowControl(link->hwnd(), visible);
}

}  // namespace tidemark

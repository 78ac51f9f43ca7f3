// The list widgets as the main window uses them: creation, header sections and column widths,
// kept apart so the window code does not depend on the widgets' finer API.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tidemark::widgets {
class TreeList;
class HeaderBar;
}  // namespace tidemark::widgets

namespace tidemark {

// The list only: its rows belong to the view that shows them (TreeList::SetModel).
std::unique_ptr<widgets::TreeList> CreateTreeList(HWND parent, const RECT& rect);
std::unique_ptr<widgets::HeaderBar> CreateHeaderBar(HWND parent, const RECT& rect);
HWND WindowOf(const widgets::TreeList* list);
HWND WindowOf(const widgets::HeaderBar* header);

void SetListColumnWidths(widgets::TreeList* list, const std::vector<int>& widths);
void SetHeaderSections(widgets::HeaderBar* header, const std::vector<std::wstring>& titles,
                       const std::vector<int>& widths);
void SetHeaderWidths(widgets::HeaderBar* header, const std::vector<int>& widths);
void OnHeaderSectionResized(widgets::HeaderBar* header, std::function<void(int section, int width)> fn);
// The header scrolls sideways with the list below it.
void FollowListScroll(widgets::HeaderBar* header, widgets::TreeList* list);
std::vector<int> HeaderSectionWidths(const widgets::HeaderBar* header);

}  // namespace tidemark

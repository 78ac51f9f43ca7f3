#include "app/list_controls.h"

#include "app/widgets/header_bar.h"
#include "app/widgets/tree_list.h"

namespace tidemark {

std::unique_ptr<widgets::TreeList> CreateTreeList(HWND parent, const RECT& rect) {
    return widgets::TreeList::Create(parent, 0, rect);
}

std::unique_ptr<widgets::HeaderBar> CreateHeaderBar(HWND parent, const RECT& rect) {
    return widgets::HeaderBar::Create(parent, 0, rect);
}

HWND WindowOf(const widgets::TreeList* list) { return list ? list->hwnd() : nullptr; }
HWND WindowOf(const widgets::HeaderBar* header) { return header ? header->hwnd() : nullptr; }

void SetListColumnWidths(widgets::TreeList* list, const std::vector<int>& widths) {
    if (list) list->SetColumnWidths(widths);
}

void SetHeaderSections(widgets::HeaderBar* header, const std::vector<std::wstring>& titles,
                       const std::vector<int>& widths) {
    if (!header) return;
    std::vector<int> sized = widths;
    sized.resize(titles.size(), 100);
    header->SetSections(titles, sized);
}

void SetHeaderWidths(widgets::HeaderBar* header, const std::vector<int>& widths) {
    if (!header) return;
    for (int i = 0; i < static_cast<int>(widths.size()) && i < header->SectionCount(); ++i)
        header->SetSectionWidth(i, widths[i]);
}

void FollowListScroll(widgets::HeaderBar* header, widgets::TreeList* list) {
    if (header && list) list->OnHorizontalScroll = [header](int offset) { header->SetScrollOffset(offset); };
}

void OnHeaderSectionResized(widgets::HeaderBar* header, std::function<void(int, int)> fn) {
    if (header) header->OnSectionResized = std::move(fn);
}

std::vector<int> HeaderSectionWidths(const widgets::HeaderBar* header) {
    std::vector<int> widths;
    if (header)
        for (int i = 0; i < header->SectionCount(); ++i) widths.push_back(header->SectionWidth(i));
    return widths;
}

}  // namespace tidemark

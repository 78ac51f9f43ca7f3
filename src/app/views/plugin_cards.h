// The plug-in page's cards: one per plug-in of the result tree, seven controls each (name,
// kind and risk, file, company, the check box picture, a separator and the details link), in a
// scroll box that follows the mouse wheel.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "system/handles.h"

namespace tidemark {

struct PluginCard {
    std::wstring Name, Type, File, Company;  // label texts, prefixes included
    bool Ticked = false;
};

class PluginCards {
public:
    static constexpr int kCardHeight = 86;
    static constexpr COLORREF kTextColour = RGB(12, 71, 115);
    static constexpr int kWheelLine = 20;  // pixels one wheel step scrolls

    // box: the page's scroll box (a panel); font: the window's interface font.
    PluginCards(HWND box, HFONT font);
    ~PluginCards();
    PluginCards(const PluginCards&) = delete;
    PluginCards& operator=(const PluginCards&) = delete;

    // Frees the previous cards and builds one per entry, at index * 86.
    void Build(const std::vector<PluginCard>& cards);
    int Count() const { return static_cast<int>(cards_.size()); }
    void SetTicked(int index, bool ticked);
    bool Ticked(int index) const;

    // What the user's clicks on a card ask for (the card's index).
    std::function<void(int)> OnCheckClick;
    std::function<void(int)> OnDetailsClick;

    // Card controls, for tests and the look: 0 name, 1 type, 2 file, 3 company, 4 check box,
    // 5 separator, 6 details link.
    enum Part { Name = 0, Type, File, Company, Check, Separator, Details, kParts };
    HWND Control(int index, Part part) const;
    HWND Box() const { return box_; }
    int ScrollPos() const { return scroll_; }
    void ScrollBy(int pixels);

private:
    struct Card {
        HWND parts[kParts]{};
        bool ticked = false;
    };
    static LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp, bool& handled);
    void Clear();
    void Layout();
    void UpdateScrollBar();
    void DrawPart(const DRAWITEMSTRUCT& item);
    int ContentHeight() const { return Count() * kCardHeight; }

    HWND box_ = nullptr;
    HFONT font_ = nullptr;
    UniqueGdiObject bold_;
    std::vector<Card> cards_;
    int scroll_ = 0;
};

}  // namespace tidemark

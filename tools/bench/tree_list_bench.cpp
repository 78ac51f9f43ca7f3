// Prints how long the tree list takes with a junk-scan sized model: 300 000 file rows in 3 000
// rule groups. Figures only; nothing is judged. Needs a display (the list is painted for real).
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/widgets/tree_list.h"

using namespace tidemark::widgets;

namespace {

constexpr int kGroups = 3000;
constexpr int kFilesPerGroup = 100;

class Stopwatch {
public:
    Stopwatch() {
        QueryPerformanceFrequency(&frequency_);
        QueryPerformanceCounter(&start_);
    }
    double Ms() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) /
               static_cast<double>(frequency_.QuadPart);
    }

private:
    LARGE_INTEGER frequency_{}, start_{};
};

void Report(const char* what, double ms) { std::printf("%-58s %10.2f ms\n", what, ms); }

RowOptions Checked(bool expanded) {
    RowOptions o;
    o.checkKind = CheckKind::TriState;
    o.check = CheckState::Checked;
    o.expanded = expanded;
    return o;
}

// Rows with their texts stored in the model.
void FillStored(TreeListModel& model) {
    model.Reserve(kGroups * (kFilesPerGroup + 1), kGroups * (kFilesPerGroup * 3 + 1));
    model.BeginUpdate();
    for (int g = 0; g < kGroups; ++g) {
        const NodeId group = model.AddRow(kRoot, {L"规则 " + std::to_wstring(g)}, Checked(true));
        for (int f = 0; f < kFilesPerGroup; ++f) {
            std::wstring name = L"~DF" + std::to_wstring(g * kFilesPerGroup + f) + L".tmp";
            model.AddRow(group, {name, L"12 KB", L"C:\\Windows\\Temp\\" + name}, Checked(true));
        }
    }
    model.EndUpdate();
}

// File rows without texts: the view's records answer through the text provider.
void FillProvided(TreeListModel& model) {
    model.Reserve(kGroups * (kFilesPerGroup + 1), kGroups);
    model.SetTextProvider([](NodeId n, int column) {
        return column == 0 ? L"~DF" + std::to_wstring(n) + L".tmp" : std::wstring(L"12 KB");
    });
    model.BeginUpdate();
    for (int g = 0; g < kGroups; ++g) {
        const NodeId group = model.AddRow(kRoot, {L"规则 " + std::to_wstring(g)}, Checked(true));
        for (int f = 0; f < kFilesPerGroup; ++f) {
            RowOptions o = Checked(true);
            o.userData = static_cast<std::uintptr_t>(g * kFilesPerGroup + f);
            model.AddRow(group, {}, o);
        }
    }
    model.EndUpdate();
}

void PaintNow(HWND hwnd) { RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

}  // namespace

int main() {
    std::printf("tree list: %d groups x %d files = %d rows\n", kGroups, kFilesPerGroup,
                kGroups * (kFilesPerGroup + 1));
    {
        TreeListModel provided;
        Stopwatch add;
        FillProvided(provided);
        Report("add rows, texts from a provider", add.Ms());
    }

    TreeListModel model;
    Stopwatch add;
    FillStored(model);
    Report("add rows, 3 stored texts each", add.Ms());
    Stopwatch flatten;
    const std::size_t visible = model.VisibleRowCount();
    Report(("flatten (" + std::to_string(visible) + " visible rows)").c_str(), flatten.Ms());

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TreeListBenchHost";
    RegisterClassExW(&wc);
    HWND host = CreateWindowExW(0, wc.lpszClassName, L"bench", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                                800, 600, nullptr, nullptr, wc.hInstance, nullptr);
    if (!host) {
        std::printf("no window (is DISPLAY set?)\n");
        return 1;
    }
    ShowWindow(host, SW_SHOWNOACTIVATE);
    auto list = TreeList::Create(host, 1, RECT{0, 0, 800, 600});
    list->SetColumnWidths({300, 100, 380});
    list->SetColumnRightAligned(1, true);
    list->SetModel(&model);

    Stopwatch first;
    PaintNow(list->hwnd());
    Report("first paint of the visible window (scroll bars set up)", first.Ms());
    Stopwatch again;
    constexpr int kRepeats = 20;
    for (int i = 0; i < kRepeats; ++i) PaintNow(list->hwnd());
    Report("one more paint (average of 20)", again.Ms() / kRepeats);

    Stopwatch bottom;
    SendMessageW(list->hwnd(), WM_VSCROLL, SB_BOTTOM, 0);
    PaintNow(list->hwnd());
    Report("scroll to the last row and paint", bottom.Ms());

    Stopwatch select;
    model.SetTopAndDirectChildrenChecks(CheckState::Unchecked);
    PaintNow(list->hwnd());
    Report("untick all (footer select-all) and paint", select.Ms());

    Stopwatch each;
    model.ForEachDescendant(kRoot, [&](NodeId n) {
        if (model.Level(n) == 1) model.SetCheck(n, CheckState::Checked);
    });
    PaintNow(list->hwnd());
    Report("tick 300 000 rows one SetCheck at a time, list attached", each.Ms());

    Stopwatch collapse;
    model.SetAllExpanded(false);
    PaintNow(list->hwnd());
    Report("collapse all, reflatten and paint", collapse.Ms());

    Stopwatch clear;
    model.Clear();
    PaintNow(list->hwnd());
    Report("clear and paint", clear.Ms());

    list.reset();
    DestroyWindow(host);
    return 0;
}

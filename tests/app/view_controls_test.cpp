// The controls the frame and the views resolve when they are built: every name they use is a
// row of the layout table of the kind they use it as, and a name that is not is recorded rather
// than silently doing nothing.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "app/app_state.h"
#include "app/control_table.h"
#include "app/main_layout.h"
#include "app/main_window.h"
#include "system/reg_ops.h"

namespace tidemark {
namespace {

std::string Describe(const ControlTable::Lookup& lookup) {
    std::string text = testing::PrintToString(lookup.owner) + " asked for " + testing::PrintToString(lookup.name);
    if (lookup.kind) text += " as kind " + std::to_string(static_cast<int>(*lookup.kind));
    return text;
}

TEST(ViewControls, EveryNameTheFrameAndTheViewsUseIsInTheLayoutWithItsKind) {
    App() = AppState{};
    ASSERT_TRUE(WriteRegInt(HKEY_CURRENT_USER, L"Software\\Corvane\\BRIM", L"InitSet", 1));
    auto window = TFBrimMain::Create({}, false);
    ASSERT_TRUE(window);
    // At start only the frame and the first view are made: another view's page is not.
    EXPECT_LT(window->Controls().Size(), MainLayout().size());
    EXPECT_EQ(window->Controls().FindMade(L"Vst_Journal"), nullptr);
    window->Junk();
    window->Custom();
    window->Registry();
    window->Plugins();
    window->Settings();
    EXPECT_NE(window->Controls().FindMade(L"Vst_Journal"), nullptr);
    std::map<std::wstring, const LayoutEntry*> layout;
    for (const LayoutEntry& entry : MainLayout()) layout[entry.name] = &entry;

    std::map<std::wstring, int> lookupsByOwner;
    for (const ControlTable::Lookup& lookup : window->Controls().Lookups()) {
        ++lookupsByOwner[lookup.owner];
        const auto row = layout.find(lookup.name);
        ASSERT_NE(row, layout.end()) << Describe(lookup);
        if (lookup.kind) {
            EXPECT_EQ(row->second->kind, *lookup.kind) << Describe(lookup);
        }
        EXPECT_TRUE(lookup.found) << Describe(lookup);
    }
    EXPECT_TRUE(window->Controls().Unresolved().empty());
    // Each of them resolved its controls through the table.
    for (const wchar_t* owner : {L"TFBrimMain", L"TracesView", L"JunkView", L"CustomView", L"RegistryView",
                                 L"PluginsView", L"SettingsView"})
        EXPECT_GT(lookupsByOwner[owner], 0) << testing::PrintToString(std::wstring(owner));
    // Every control of the layout is made when asked for, and then is in the table.
    for (const LayoutEntry& entry : MainLayout()) EXPECT_NE(window->Control(entry.name), nullptr) << entry.name;
    EXPECT_EQ(window->Controls().Size(), MainLayout().size());
    window.reset();
    DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
}

// A page first shown after the window grew is laid out for the size the window has then, as
// the pages made at start were when it grew.
TEST(ViewControls, AControlMadeAfterTheWindowGrewIsLaidOutForItsSize) {
    App() = AppState{};
    ASSERT_TRUE(WriteRegInt(HKEY_CURRENT_USER, L"Software\\Corvane\\BRIM", L"InitSet", 1));
    auto window = TFBrimMain::Create({}, false);
    ASSERT_TRUE(window);
    ASSERT_EQ(window->Controls().FindMade(L"Vst_Journal"), nullptr);
    SetWindowPos(window->hwnd(), nullptr, 0, 0, 1000, 760, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    GetClientRect(window->hwnd(), &client);
    ASSERT_GT(client.right, kDesignClientWidth);

    const LayoutEntry* row = FindLayoutEntry(L"Vst_Journal");
    ASSERT_TRUE(row);
    HWND journal = window->Control(L"Vst_Journal");  // made now, with the settings view
    ASSERT_TRUE(journal);
    RECT r;
    GetWindowRect(journal, &r);
    EXPECT_EQ(r.right - r.left, row->width + client.right - kDesignClientWidth);
    EXPECT_EQ(r.bottom - r.top, row->height + client.bottom - kDesignClientHeight);
    window.reset();
    DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
}

TEST(ViewControls, AMisspeltNameOrAnotherKindIsRecordedAndResolvesToNothing) {
    ControlTable table(false);
    HWND stand_in = GetDesktopWindow();  // any window: only the table's bookkeeping is looked at
    const LayoutEntry* scan = nullptr;
    const LayoutEntry* list = nullptr;
    for (const LayoutEntry& entry : MainLayout()) {
        if (std::wstring(entry.name) == L"BBtn_Scan") scan = &entry;
        if (std::wstring(entry.name) == L"VST_type") list = &entry;
    }
    ASSERT_TRUE(scan && list);
    table.Add(ControlEntry{.hwnd = stand_in, .layout = scan});
    table.Add(ControlEntry{.hwnd = stand_in, .layout = list});

    ControlResolver resolver(table, L"SomeView");
    EXPECT_EQ(resolver.Button(L"BBtn_Scna"), nullptr);  // a typo
    EXPECT_EQ(resolver.List(L"BBtn_Scan"), nullptr);    // a button asked for as a list
    EXPECT_EQ(resolver.AnyKind(L"VST_type"), stand_in);
    EXPECT_EQ(resolver.Label(L"VST_type"), nullptr);

    const auto missed = table.Unresolved();
    ASSERT_EQ(missed.size(), 3u);
    EXPECT_EQ(missed[0].name, L"BBtn_Scna");
    EXPECT_EQ(missed[0].owner, L"SomeView");
    EXPECT_EQ(missed[1].name, L"BBtn_Scan");
    EXPECT_EQ(missed[1].kind, ControlKind::TreeList);
    EXPECT_EQ(missed[2].kind, ControlKind::Label);
    EXPECT_EQ(table.Lookups().size(), 4u);
}

}  // namespace
}  // namespace tidemark

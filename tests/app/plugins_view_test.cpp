// The plug-in page: its result tree fed the way the engine feeds it, the cards, the details
// window, and the scan and clean driven in-process through the real window against registry
// fixtures in the test prefix.
#include <gtest/gtest.h>

#include "system/reg_view.h"

#include <shlwapi.h>

#include <algorithm>
#include <optional>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/views/frm_plug_infor.h"
#include "app/views/plugins_view.h"
#include "app/widgets/gdiplus_session.h"
#include "app/widgets/picture_button.h"
#include "app/widgets/tree_list_model.h"
#include "common/test_support.h"
#include "lang/text_tables.h"
#include "plugins/plugin_obj.h"
#include "removal/removal_service.h"
#include "support/usage_log.h"
#include "system/prompt.h"
#include "system/reg_ops.h"

namespace tidemark {
namespace {

// On 64-bit Windows a card names the registry view its plug-in was found in.
const std::wstring kViewSuffix = SystemIs64Bit() ? L" [64位]" : L"";


const widgets::GdiplusSession gdiplus;

using widgets::CheckKind;
using widgets::NodeId;

// Reports what the test tells it to, as a loading plug-in or a checking definition does.
template <typename Base>
class Reporter : public Base {
public:
    void Report(ItemList& list, const std::wstring& path, std::uint8_t state, ItemKind kind) {
        const int index = this->Append(list, path);
        list[static_cast<std::size_t>(index)]->State = state;
        if (this->OnItem)
            this->OnItem->Found(ItemReport{this, index, list[static_cast<std::size_t>(index)].get(), kind, this->Tag});
    }
};

class PluginBase : public TPluginObj {
public:
    PluginBase() : TPluginObj(DefaultCleanHost(), 1) {}
    void Load(const std::wstring&) override {}
};
class DefinitionBase : public TCleanObj {
public:
    std::uint8_t Check() override { return Status; }
    bool CleanCheckFile(int, bool) override { return true; }
    bool CleanCheckValue(int, bool) override { return true; }
};
using FixturePlugin = Reporter<PluginBase>;
using FixtureDefinition = Reporter<DefinitionBase>;

std::unique_ptr<FixturePlugin> MakePlugin(std::uint8_t kind, std::uint8_t risk, const std::wstring& name) {
    auto plugin = std::make_unique<FixturePlugin>();
    plugin->Kind = kind;
    plugin->Risk = risk;
    plugin->Name = name;
    return plugin;
}

std::wstring WindowText(HWND control) {
    wchar_t text[1024] = {};
    GetWindowTextW(control, text, 1024);
    return text;
}

constexpr wchar_t kClassKey[] = L"HKEY_CLASSES_ROOT\\CLSID\\{11111111-2222-3333-4444-555555555555}";

TEST(PluginResultsTest, EngineEventsFillTheTreeWithItsTextsColoursAndChecks) {
    PluginResults results;
    const NodeId plugins = results.PluginCategory(), definitions = results.DefinitionCategory();
    ASSERT_EQ(results.Rows().Children(widgets::kRoot), (std::vector<NodeId>{plugins, definitions}));
    EXPECT_EQ(results.Text(plugins, 0), L"IE 插件 (共0个)");
    EXPECT_EQ(results.Text(definitions, 1), L"没有发现可疑软件");

    // A plug-in whose every entry is missing gets no node.
    auto ghost = MakePlugin(1, RiskRisky, L"Ghost");
    results.NewObject(*ghost, plugins);
    ghost->Report(ghost->RegKeys, L"HKEY_CLASSES_ROOT\\CLSID\\{0}", StateNotFound, ItemRegKey);
    EXPECT_EQ(results.Rows().ChildCount(plugins), 0u);

    auto bho = MakePlugin(1, RiskRisky, L"<无名>");
    bho->Tag = 9;
    results.NewObject(*bho, plugins);
    EXPECT_EQ(bho->OnItem, &results);
    EXPECT_EQ(bho->Tag, 0u);
    bho->Report(bho->RegKeys, kClassKey, StateFound, ItemRegKey);
    bho->Report(bho->Files, L"C:\\Program Files\\Bar\\bar.dll", StateFound, ItemFile);
    bho->Report(bho->Files, L"C:\\gone.dll", StateNotFound, ItemFile);
    bho->Report(bho->RegKeys, L"HKEY_LOCAL_MACHINE\\Software\\BHO\\{1}", StateFound, ItemRegKey);
    auto menu = MakePlugin(3, RiskSafe, L"Menu");
    results.NewObject(*menu, plugins);
    menu->Report(menu->RegKeys, L"HKEY_CURRENT_USER\\Software\\Menu", StateFound, ItemRegKey);
    FixtureDefinition rogue;
    rogue.Name = L"Rogue";
    rogue.Id = 7;
    rogue.Status = StatusInstalled;
    results.NewObject(rogue, definitions);
    rogue.Report(rogue.Files, L"C:\\rogue.exe", StateFound, ItemFile);

    const std::vector<NodeId> objects = results.Objects(plugins);
    ASSERT_EQ(objects.size(), 2u);
    const NodeId bhoNode = objects[0];
    const NodeId entry = results.Entries(bhoNode)[1];
    const NodeId rogueNode = results.Objects(definitions).at(0);
    const struct {
        NodeId node;
        std::wstring name, note;
        COLORREF colour;
    } texts[] = {
        {plugins, L"IE 插件 (共2个)", L"", RGB(0, 0, 0)},
        {bhoNode, L"<无名>", L"BHO (风险)" + kViewSuffix, kRed},
        {objects[1], L"Menu", L"右键菜单 (安全)" + kViewSuffix, kGreen},
        {entry, L"C:\\Program Files\\Bar\\bar.dll", L"文件 (找到)", kBlack},
        {rogueNode, L"Rogue (ID: 7)", L"已安装", kRed},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(t.node);
        EXPECT_EQ(results.Text(t.node, 0), t.name);
        EXPECT_EQ(results.Text(t.node, 1), t.note);
        EXPECT_EQ(results.Rows().Style(t.node).textColor, t.colour);
    }
    results.SetScanning(true);
    EXPECT_EQ(results.Text(definitions, 1), L"正在扫描...");
    results.SetScanning(false);
    results.Catalog(plugins).Found = 2;
    EXPECT_EQ(results.Text(plugins, 1), L"2个");

    // The card of a nameless plug-in is named by its class key; the details list every entry
    // found, in the order reported, each followed by an empty line.
    EXPECT_EQ(results.CardName(bhoNode), L"{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(results.CardType(bhoNode), std::wstring(L"插件类型:BHO (风险)") + kViewSuffix);
    EXPECT_EQ(results.CardFile(bhoNode), L"C:\\Program Files\\Bar\\bar.dll");
    EXPECT_EQ(results.CardFile(objects[1]), L"");
    EXPECT_EQ(results.DetailLines(bhoNode),
              (std::vector<std::wstring>{kClassKey, L"", L"C:\\Program Files\\Bar\\bar.dll", L"",
                                         L"HKEY_LOCAL_MACHINE\\Software\\BHO\\{1}", L""}));

    // Objects start three-state; resetting makes them two-state. The scan's mode ticks only a
    // detected definition.
    EXPECT_EQ(results.Rows().GetCheckKind(bhoNode), CheckKind::TriState);
    const struct {
        int mode;
        int ticked;
        bool rogueTicked;
    } modes[] = {{4, 1, true}, {2, 3, true}, {0, 0, false}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.mode);
        results.ResetChecks(m.mode);
        EXPECT_EQ(results.TickedCount(), m.ticked);
        EXPECT_EQ(results.IsTicked(rogueNode), m.rogueTicked);
        EXPECT_EQ(results.Rows().GetCheckKind(bhoNode), CheckKind::TwoState);
    }

    // A new scan empties the plug-in category; the objects (the cleaner's) report nowhere.
    results.ClearCategory(plugins);
    EXPECT_EQ(results.Rows().ChildCount(plugins), 0u);
    EXPECT_EQ(results.Rows().ChildCount(definitions), 1u);
    EXPECT_EQ(menu->OnItem, nullptr);
}

TEST(PluginResultsTest, DeleteRemovesTheFocusedEntryAndRechecks) {
    test::ScratchKey key;
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, key / L"Toolbar", KEY_WRITE));
    PluginResults results;
    auto bar = MakePlugin(2, RiskRisky, L"Bar");
    results.NewObject(*bar, results.PluginCategory());
    bar->Report(bar->RegKeys, L"HKEY_CURRENT_USER\\" + key.path() + L"\\Toolbar", StateFound, ItemRegKey);
    const NodeId object = results.Objects(results.PluginCategory()).at(0);
    const NodeId entry = results.Entries(object).at(0);
    EXPECT_FALSE(results.DeleteEntry(object));  // not an entry
    ASSERT_TRUE(results.DeleteEntry(entry));
    EXPECT_EQ(results.ItemOf(entry)->State, StateRemoved);
    EXPECT_EQ(results.Text(entry, 1), L"注册表键 (清除成功)");
    EXPECT_FALSE(OpenRegKey(HKEY_CURRENT_USER, key / L"Toolbar", KEY_READ));

    // The path the file actions use: a file or folder entry's own, the folder of a pattern.
    bar->Report(bar->Files, L"C:\\Bar\\bar.dll", StateFound, ItemFile);
    bar->Report(bar->Folders, L"C:\\Bar\\cache\\*.tmp", StateFound, ItemFolder);
    const std::vector<NodeId> entries = results.Entries(object);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(results.PathOf(entries[0]), L"");
    EXPECT_EQ(results.PathOf(entries[1]), L"C:\\Bar\\bar.dll");
    EXPECT_EQ(results.PathOf(entries[2]), L"C:\\Bar\\cache\\");
    EXPECT_EQ(results.PathOf(object), L"");
}

TEST(PluginCardsTest, DetailsWindowShowsTheLinesAndEitherButtonClosesIt) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 100, 100, 800, 630, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(owner);
    for (int button = 0; button < 2; ++button) {
        auto form = TFrmPlugInfor::Create(owner, {L"HKEY_CLASSES_ROOT\\CLSID\\{1}", L"", L"C:\\bar.dll", L""});
        ASSERT_TRUE(form);
        RECT r;
        GetWindowRect(form->hwnd(), &r);
        EXPECT_EQ(r.right - r.left, 471);
        EXPECT_EQ(r.bottom - r.top, 299);
        EXPECT_EQ(r.left, 100 + (800 - 471) / 2);
        EXPECT_EQ(r.top, 100 + (630 - 299) / 2);
        EXPECT_EQ(WindowText(form->Memo()), L"HKEY_CLASSES_ROOT\\CLSID\\{1}\r\n\r\nC:\\bar.dll\r\n\r\n");
        EXPECT_EQ(form->MakeSure()->Caption(), L"确  认");
        // Modal: the owner is disabled until a button closes it (the press is queued first).
        widgets::PictureButton* press = button == 0 ? form->MakeSure() : form->CloseButton();
        struct Press {
            static widgets::PictureButton*& Target() {
                static widgets::PictureButton* target = nullptr;
                return target;
            }
            static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
                KillTimer(nullptr, id);
                EXPECT_FALSE(IsWindowEnabled(GetWindow(GetParent(Target()->hwnd()), GW_OWNER)));
                Target()->Click();
            }
        };
        Press::Target() = press;
        const UINT_PTR timer = SetTimer(nullptr, 0, 10, &Press::Fire);
        ASSERT_NE(timer, 0u);
        form->ShowModal();
        EXPECT_FALSE(form->IsOpen());
        EXPECT_TRUE(IsWindowEnabled(owner));
    }
    DestroyWindow(owner);
}

}  // namespace
}  // namespace tidemark

namespace tidemark {
namespace {

constexpr wchar_t kHelperId[] = L"{6A1C2E4B-9D3F-4B8A-A1E2-7C5D3B9F1A01}";
const std::wstring kHelperRegistration =
    std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\") + kHelperId;
const std::wstring kHelperClass = std::wstring(L"Software\\Classes\\CLSID\\") + kHelperId;
constexpr wchar_t kHelperName[] = L"Tidemark 测试助手";

bool KeyExists(HKEY root, const std::wstring& path) { return static_cast<bool>(OpenRegKey(root, path, KEY_READ)); }

class PluginsPageTest : public testing::Test {
protected:
    void SetUp() override {
        App() = AppState{};
        ASSERT_TRUE(WriteRegInt(HKEY_CURRENT_USER, L"Software\\Corvane\\BRIM", L"InitSet", 1));
        // A helper object unknown to the table (rated "安全未知"), with its class key and library.
        library_ = dir_ / L"helper.dll";
        ASSERT_TRUE(test::WriteFileText(library_, "MZ fixture"));
        ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, kHelperRegistration, KEY_WRITE));
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kHelperClass, L"", kHelperName));
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kHelperClass + L"\\InprocServer32", L"", library_));
        window_ = TFBrimMain::Create({}, false);
        ASSERT_TRUE(window_);
        ASSERT_TRUE(window_->Cleaner());
        prompt_.emplace(answers_);
        log_ = dir_ / L"log.bin";
        const std::wstring qklog = dir_ / L"qklog.dll";
        ASSERT_TRUE(CopyFileW((test::ExeDir() + L"\\..\\fixtures\\qklog.dll").c_str(), qklog.c_str(), FALSE));
        SetEnvironmentVariableW(L"TM_QKLOG_OUT", log_.c_str());
        SetLogLibraryPath(qklog);
    }
    void TearDown() override {
        PluginPostCleanRepairs() = [](bool (*)(const std::wstring&), bool (*)(const std::wstring&)) {};
        SetEnvironmentVariableW(L"TM_QKLOG_OUT", nullptr);
        SetLogLibraryPath(L"");
        prompt_.reset();
        window_.reset();
        DeleteRegSubKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects",
                        kHelperId);
        DeleteRegSubKey(HKEY_LOCAL_MACHINE, kHelperClass, L"InprocServer32");
        DeleteRegSubKey(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID", kHelperId);
        DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
    }

    PluginsView& View() { return window_->Plugins(); }
    PluginCards& Cards() { return *View().Cards(); }
    bool CleanEnabled() const { return IsWindowEnabled(window_->Button(L"BBtn_PlugClear")->hwnd()) != FALSE; }
    // The card of the fixture helper; -1 when none shows it.
    int HelperCard() {
        for (int i = 0; i < Cards().Count(); ++i)
            if (WindowText(Cards().Control(i, PluginCards::Name)) == kHelperName) return i;
        return -1;
    }
    std::vector<std::wstring> Events() const {
        std::vector<std::wstring> codes;
        for (const test::LoggedRecord& r : test::ReadUsageLog(log_)) codes.push_back(r.Code());
        return codes;
    }

    test::ScratchDir dir_;
    std::wstring library_, log_;
    ScriptedPrompt answers_;
    std::optional<ScopedPrompt> prompt_;
    std::unique_ptr<TFBrimMain> window_;
};

TEST_F(PluginsPageTest, OpeningScansTicksEnableCleanAndCancelChangesNothing) {
    window_->SelectTopTab(5);
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"12.B.CLE", L"12.S.SM"}));
    EXPECT_TRUE(App().UiIdle);
    const int card = HelperCard();
    ASSERT_GE(card, 0);
    std::wstring countLine = GetUiText(90026, App().UiLanguageId);
    countLine.replace(countLine.find(L"%d"), 2, std::to_wstring(Cards().Count()));
    EXPECT_EQ(WindowText(window_->Control(L"Lab_PlugInfo")), countLine);
    EXPECT_EQ(static_cast<int>(View().Results().Objects(View().Results().PluginCategory()).size()), Cards().Count());

    // The card: texts, places (index x 86), and the details of what the helper registered.
    EXPECT_EQ(WindowText(Cards().Control(card, PluginCards::Type)), std::wstring(L"插件类型:BHO (安全未知)") + kViewSuffix);
    EXPECT_EQ(WindowText(Cards().Control(card, PluginCards::File)), L"文件名称:" + library_);
    EXPECT_EQ(WindowText(Cards().Control(card, PluginCards::Company)), L"公司名称:");
    EXPECT_EQ(WindowText(Cards().Control(card, PluginCards::Details)), L"查询详情");
    const struct { PluginCards::Part part; int left, top; } places[] = {
        {PluginCards::Name, 42, 11}, {PluginCards::Type, 42, 30}, {PluginCards::File, 42, 48},
        {PluginCards::Company, 42, 66}, {PluginCards::Check, 8, 10}, {PluginCards::Separator, 4, 85},
        {PluginCards::Details, 700, 66}};
    for (const auto& p : places) {
        RECT r;
        GetWindowRect(Cards().Control(card, p.part), &r);
        MapWindowPoints(nullptr, Cards().Box(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, p.left) << p.part;
        EXPECT_EQ(r.top, card * 86 + p.top) << p.part;
    }
    const std::vector<std::wstring> details = View().DetailsOf(card);
    ASSERT_EQ(details.size(), 6u);
    EXPECT_EQ(details[0], std::wstring(L"HKEY_CLASSES_ROOT\\CLSID\\") + kHelperId);
    EXPECT_EQ(details[2], library_);
    EXPECT_EQ(details[4], L"HKEY_LOCAL_MACHINE\\" + kHelperRegistration);

    // Every card starts unticked with "清理" disabled; ticking enables it, unticking disables it.
    EXPECT_EQ(View().Results().TickedCount(), 0);
    EXPECT_FALSE(CleanEnabled());
    View().CardCheckClick(card);
    EXPECT_TRUE(Cards().Ticked(card));
    EXPECT_TRUE(CleanEnabled());
    View().CardCheckClick(card);
    EXPECT_FALSE(CleanEnabled());
    View().CardCheckClick(card);

    // "取消" to the question: nothing removed, nothing rescanned, the tick stays.
    answers_.Script({AnswerCancel});
    window_->Button(L"BBtn_PlugClear")->Click();
    ASSERT_EQ(answers_.Asked().size(), 1u);
    EXPECT_EQ(answers_.Asked()[0].Kind, PromptKind::OkCancel);
    EXPECT_EQ(answers_.Asked()[0].Text,
              L"为了保证清理效果，请在清理前退出IE(或者其他的浏览器)\r\r请确定是否开始清理系统?");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kHelperRegistration));
    EXPECT_TRUE(test::PathExists(library_));
    EXPECT_TRUE(Cards().Ticked(card));
    EXPECT_EQ(Events().back(), L"12.S.QL");
}

TEST_F(PluginsPageTest, CleanRemovesTheTickedHelperThenRescans) {
    window_->SelectTopTab(5);
    const int card = HelperCard();
    ASSERT_GE(card, 0);
    const int before = Cards().Count();
    View().CardCheckClick(card);
    bool repairsRan = false;
    PluginPostCleanRepairs() = [&](bool (*)(const std::wstring&), bool (*)(const std::wstring&)) {
        // The removal ran before the repairs, and the window stays busy throughout.
        repairsRan = true;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kHelperRegistration));
        EXPECT_FALSE(App().UiIdle);
    };
    const std::size_t events = Events().size();
    answers_.Script({AnswerOk});
    window_->Button(L"BBtn_PlugClear")->Click();
    EXPECT_TRUE(repairsRan);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kHelperRegistration));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kHelperClass));
    EXPECT_FALSE(test::PathExists(library_));
    // The rescan shows what is left, all unticked, and nothing is reported as left over.
    EXPECT_EQ(HelperCard(), -1);
    EXPECT_EQ(Cards().Count(), before - 1);
    EXPECT_EQ(View().Results().TickedCount(), 0);
    EXPECT_FALSE(CleanEnabled());
    // The question before the clean, and the box after it: done, and undoable.
    ASSERT_EQ(answers_.Asked().size(), 2u);
    EXPECT_EQ(answers_.Asked()[1].Text, L"清理完毕!\r\n这次更改已记入恢复中心(设置中心),可以撤销。");
    const std::vector<std::wstring> all = Events();
    EXPECT_EQ(std::vector<std::wstring>(all.begin() + static_cast<std::ptrdiff_t>(events), all.end()),
              (std::vector<std::wstring>{L"12.S.QL", L"12.S.SM"}));
    EXPECT_TRUE(App().UiIdle);
}

// Keys of HKEY_CLASSES_ROOT are refused every change, as a program without administrator
// rights finds them; everything else is the system's.
UniqueHKey OpenClassesForReadingOnly(HKEY root, const std::wstring& path, REGSAM access, LONG* error) {
    return root == HKEY_CLASSES_ROOT ? test::OpenKeyForReadingOnly(root, path, access, error)
                                     : OpenRegKey(root, path, access, error);
}
bool RefuseClassesRemoval(HKEY root, const std::wstring& key) {
    return root != HKEY_CLASSES_ROOT && SHDeleteKeyW(root, key.c_str()) == ERROR_SUCCESS;
}

// Without administrator rights the helper's class, which the system refuses to remove, stays:
// the line above the cards says so, and no box follows the clean.
TEST_F(PluginsPageTest, WhatStaysForWantOfRightsIsSaidAboveTheCardsWithoutABox) {
    struct RefusingClasses {
        RefusingClasses() { ProcessRemovalService().SetRegistryAccess(OpenClassesForReadingOnly, RefuseClassesRemoval); }
        ~RefusingClasses() { ProcessRemovalService().SetRegistryAccess(nullptr, nullptr); }
    } refusing;
    const test::ScopedAdminRights without(false);
    PluginPostCleanRepairs() = [](bool (*)(const std::wstring&), bool (*)(const std::wstring&)) {};
    window_->SelectTopTab(5);
    const int card = HelperCard();
    ASSERT_GE(card, 0);
    View().CardCheckClick(card);
    answers_.Script({AnswerOk});
    window_->Button(L"BBtn_PlugClear")->Click();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kHelperRegistration));
    EXPECT_FALSE(test::PathExists(library_));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kHelperClass));
    EXPECT_EQ(WindowText(window_->Control(L"Lab_PlugInfo")), L"部分项目需要管理员权限才能清理，请以管理员身份运行本程序。");
    ASSERT_EQ(answers_.Asked().size(), 1u);  // the question before the clean, nothing after it
    EXPECT_EQ(answers_.Asked()[0].Kind, PromptKind::OkCancel);
    EXPECT_TRUE(App().UiIdle);
}

TEST_F(PluginsPageTest, WithoutACleanerBothButtonsOnlySaySo) {
    window_->SetCleaner(nullptr);
    View().btnScanClick();
    View().btnCleanClick();
    ASSERT_EQ(answers_.Asked().size(), 2u);
    for (const PromptRequest& asked : answers_.Asked()) {
        EXPECT_EQ(asked.Kind, PromptKind::Error);
        EXPECT_EQ(asked.Text, L"程序没有初始化，无法操作");
    }
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"12.S.SM", L"12.S.QL"}));
    EXPECT_TRUE(App().UiIdle);
}

// A close that arrives while a clean runs waits until the clean has unwound: the engine's
// objects and the cards stay usable meanwhile, a card clicked then is ignored, no rescan runs.
TEST_F(PluginsPageTest, CloseDuringACleanWaitsForItToUnwind) {
    window_->SelectTopTab(5);
    const int card = HelperCard();
    ASSERT_GE(card, 0);
    View().CardCheckClick(card);
    int closes = 0;
    PluginPostCleanRepairs() = [&](bool (*)(const std::wstring&), bool (*)(const std::wstring&)) {
        ++closes;
        SendMessageW(window_->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_FALSE(window_->Destroyed());
        EXPECT_TRUE(window_->ClosePending());
        EXPECT_TRUE(App().Stop.Requested());
        View().CardCheckClick(card);
        EXPECT_EQ(View().Results().TickedCount(), 1);
    };
    const std::size_t events = Events().size();
    answers_.Script({AnswerOk});
    window_->Button(L"BBtn_PlugClear")->Click();
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(window_->Destroyed());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kHelperRegistration));
    // The clean's event, then the close record (no rescan), and no leftover message.
    const std::vector<std::wstring> all = Events();
    EXPECT_EQ(std::vector<std::wstring>(all.begin() + static_cast<std::ptrdiff_t>(events), all.end()),
              (std::vector<std::wstring>{L"12.S.QL", L""}));
    EXPECT_EQ(answers_.Asked().size(), 1u);
}

}  // namespace
}  // namespace tidemark

// The registry page driven in-process through the real window against orphans in the test
// prefix's own keys: the "/clearreg" start, the scan and its banners, the fix of the ticked rows,
// "定位注册表", and the health score panel.
#include <gtest/gtest.h>

#include <functional>

#include "system/reg_view.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <optional>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/views/registry_view.h"
#include "app/widgets/gdiplus_session.h"
#include "app/widgets/picture_button.h"
#include "app/widgets/tree_list_model.h"
#include "common/test_support.h"
#include "removal/removal_service.h"
#include "support/health_score.h"
#include "system/disk_space.h"
#include "system/prompt.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"

namespace tidemark {
namespace {

const widgets::GdiplusSession gdiplus;
using widgets::CheckState;
using widgets::NodeId;

const std::wstring kShared = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::wstring WindowText(HWND control) {
    wchar_t text[256] = {};
    GetWindowTextW(control, text, 256);
    return text;
}
bool Visible(HWND control) { return control && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

class RegistryPageTest : public testing::Test {
protected:
    void SetUp() override {
        App() = AppState{};
        ASSERT_TRUE(WriteRegInt(HKEY_CURRENT_USER, L"Software\\Corvane\\BRIM", L"InitSet", 1));
        const DWORD count = 1;
        UniqueHKey shared = CreateRegKey(HKEY_LOCAL_MACHINE, kShared, KEY_ALL_ACCESS);
        RegSetValueExW(shared.get(), dll_.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRun, L"TidemarkViewGone", L"\"" + (dir_ / L"gone.exe") + L"\" -min"));
        ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, kUninstall + L"\\TidemarkViewEmpty", KEY_WRITE));
    }
    void TearDown() override {
        prompt_.reset();
        window_.reset();
        SHDeleteValueW(HKEY_LOCAL_MACHINE, kShared.c_str(), dll_.c_str());
        SHDeleteValueW(HKEY_CURRENT_USER, kRun.c_str(), L"TidemarkViewGone");
        SHDeleteKeyW(HKEY_CURRENT_USER, (kUninstall + L"\\TidemarkViewEmpty").c_str());
        DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
    }
    void Open(std::vector<std::wstring> args) {
        window_ = TFBrimMain::Create(args, false);
        ASSERT_TRUE(window_);
        prompt_.emplace(answers_);  // over the window's own message boxes
    }
    RegistryView& View() { return window_->Registry(); }
    // The list row of a finding; kNoNode when the list has none.
    NodeId RowOf(const std::wstring& name) {
        widgets::TreeListModel& rows = View().FoundRows();
        for (NodeId node : rows.Children(widgets::kRoot))
            if (rows.Text(node, 1) == name) return node;
        return widgets::kNoNode;
    }
    std::vector<std::wstring> AskedTexts() const {
        std::vector<std::wstring> texts;
        for (const auto& r : answers_.Asked()) texts.push_back(r.Text);
        return texts;
    }

    test::ScratchDir dir_;
    const std::wstring dll_ = dir_ / L"gone.dll";
    ScriptedPrompt answers_;
    std::optional<ScopedPrompt> prompt_;
    std::unique_ptr<TFBrimMain> window_;
};

// Looks at the window when a box comes up, then lets the scripted answers answer it.
class ProbingPrompt final : public Prompt {
public:
    ProbingPrompt(Prompt& answers, std::function<void()> probe) : answers_(answers), probe_(std::move(probe)) {}
    int Ask(const PromptRequest& request) override {
        probe_();
        return answers_.Ask(request);
    }

private:
    Prompt& answers_;
    std::function<void()> probe_;
};

TEST_F(RegistryPageTest, ClearRegStartScansFixesTheTickedRowsAndLocates) {
    Open({L"/clearreg"});  // the registry page opens; categories 0-2 are scanned once the loop runs
    EXPECT_EQ(App().CurrentView, 4);
    EXPECT_EQ(window_->CurrentPage(), Page::RegistryResults);
    EXPECT_TRUE(View().Items().empty());
    for (const DWORD start = GetTickCount(); View().Items().empty() && GetTickCount() - start < 20000;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(5);
    }
    EXPECT_TRUE(App().UiIdle);
    const NodeId shared = RowOf(dll_), run = RowOf(L"TidemarkViewGone"), uninstall = RowOf(L"TidemarkViewEmpty");
    ASSERT_NE(shared, widgets::kNoNode);
    ASSERT_NE(run, widgets::kNoNode);
    ASSERT_NE(uninstall, widgets::kNoNode);
    widgets::TreeListModel& rows = View().FoundRows();
    EXPECT_EQ(rows.Text(run, 0), L"无效的启动项");
    // Every key from its root's full name; on 64-bit Windows the registry view comes first.
    EXPECT_EQ(rows.Text(run, 2), std::wstring(SystemIs64Bit() ? L"[64位] " : L"") +
                                     L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_EQ(rows.GetCheck(run), CheckState::Checked);
    for (const auto& item : View().Items()) EXPECT_NE(item.Category, 3);
    // The completion banner with the count, and without the time after "/clearreg".
    const std::wstring count = std::to_wstring(rows.ChildCount(widgets::kRoot));
    EXPECT_EQ(WindowText(window_->Control(L"Lab_FinRegNum")), count);
    EXPECT_EQ(WindowText(window_->Control(L"Label4")), count);
    EXPECT_TRUE(Visible(window_->Control(L"SLab_RegScanFinishTitle")));
    EXPECT_TRUE(Visible(window_->Control(L"Lab_FinRegNum")));
    EXPECT_FALSE(Visible(window_->Control(L"Lab_FinRegTime")));
    EXPECT_FALSE(Visible(window_->Control(L"SBBtn_RegScanStop")));
    EXPECT_TRUE(AskedTexts().empty());

    // "定位注册表" on the shared-library finding.
    std::wstring jumped;
    View().Jump = [&](const std::wstring& path) { jumped = path; };
    rows.Select(shared);
    View().LocateRegistryEntry();
    EXPECT_EQ(jumped, L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls");

    // Only what stays ticked is fixed: the user unticks every row but ours, and the library's.
    for (NodeId node : rows.Children(widgets::kRoot))
        rows.SetCheck(node, node == run || node == uninstall ? CheckState::Checked : CheckState::Unchecked);
    // The done message comes when the fixed rows are gone from the list.
    std::size_t rowsAtMessage = 99;
    {
        ProbingPrompt probing(answers_, [&] { rowsAtMessage = rows.ChildCount(widgets::kRoot); });
        ScopedPrompt scoped(probing);
        window_->Button(L"BBtn_Clear")->Click();
    }
    EXPECT_EQ(rowsAtMessage, 0u);
    // What the fix removed went into the undo journal: the box says where to undo it.
    EXPECT_EQ(AskedTexts(), std::vector<std::wstring>{L"清理完毕!\r\n这次更改已记入恢复中心(设置中心),可以撤销。"});
    EXPECT_EQ(rows.ChildCount(widgets::kRoot), 0u);
    EXPECT_TRUE(App().UiIdle);
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRun, L"TidemarkViewGone"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUninstall + L"\\TidemarkViewEmpty"));
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, kShared, dll_));
}

// A fix the system refuses: without administrator rights the line above the list says so and
// no failure box comes; as administrator the same refusal gets the box and no line. The rows
// stay either way.
TEST_F(RegistryPageTest, AFixRefusedForWantOfRightsSaysSoAboveTheListInsteadOfABox) {
    struct RefusingRegistry {
        RefusingRegistry() { ProcessRemovalService().SetRegistryAccess(test::OpenKeyForReadingOnly, test::RefuseKeyRemoval); }
        ~RefusingRegistry() { ProcessRemovalService().SetRegistryAccess(nullptr, nullptr); }
    } refusing;
    Open({L"/clearreg"});
    for (const DWORD start = GetTickCount(); View().Items().empty() && GetTickCount() - start < 20000;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(5);
    }
    HWND note = window_->Control(L"Lab_RegAdminNote");
    ASSERT_TRUE(note);
    EXPECT_FALSE(Visible(note));
    widgets::TreeListModel& rows = View().FoundRows();
    for (const bool admin : {false, true}) {
        SCOPED_TRACE(admin ? "administrator" : "without rights");
        answers_.Clear();
        const NodeId run = RowOf(L"TidemarkViewGone");
        ASSERT_NE(run, widgets::kNoNode);
        for (NodeId node : rows.Children(widgets::kRoot))
            rows.SetCheck(node, node == run ? CheckState::Checked : CheckState::Unchecked);
        {
            const test::ScopedAdminRights rights(admin);
            window_->Button(L"BBtn_Clear")->Click();
        }
        if (admin) {
            EXPECT_EQ(AskedTexts(), std::vector<std::wstring>{L"清理失败，重起后尝试重新清理！"});
        } else {
            EXPECT_TRUE(AskedTexts().empty());
            EXPECT_EQ(WindowText(note), L"部分项目需要管理员权限才能清理，请以管理员身份运行本程序。");
        }
        EXPECT_EQ(Visible(note), !admin);
        EXPECT_NE(RowOf(L"TidemarkViewGone"), widgets::kNoNode);
        EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kRun, L"TidemarkViewGone"));
    }
}

TEST_F(RegistryPageTest, StartButtonTicksEveryCategoryAndNothingFoundSays90013) {
    Open({});
    window_->SelectTopTab(4);
    EXPECT_EQ(window_->CurrentPage(), Page::RegistryStart);
    widgets::TreeListModel& categories = View().CategoryRows();
    const auto children = categories.Children(widgets::kRoot);
    ASSERT_EQ(children.size(), 4u);
    EXPECT_EQ(categories.GetCheck(children[3]), CheckState::Unchecked);  // the thorough search starts unticked
    // The start button ticks all four and scans them, the thorough search included.
    window_->Button(L"RzBmpButton7")->Click();
    EXPECT_EQ(window_->CurrentPage(), Page::RegistryResults);
    for (NodeId node : children) EXPECT_EQ(categories.GetCheck(node), CheckState::Checked);
    EXPECT_NE(RowOf(dll_), widgets::kNoNode);
    // Only the shared libraries, with nothing of ours left there: nothing found.
    SHDeleteValueW(HKEY_LOCAL_MACHINE, kShared.c_str(), dll_.c_str());
    answers_.Clear();
    for (NodeId node : children) categories.SetCheck(node, node == children[0] ? CheckState::Checked : CheckState::Unchecked);
    // The nothing-found message comes when the busy animation and the stop button are gone.
    bool busySignsAtMessage = false;
    {
        ProbingPrompt probing(answers_, [&] {
            busySignsAtMessage = Visible(window_->Control(L"SBBtn_RegScanStop")) || Visible(window_->Control(L"Ani_Loading"));
        });
        ScopedPrompt scoped(probing);
        window_->Button(L"BBtn_Scan")->Click();
    }
    EXPECT_FALSE(busySignsAtMessage);
    if (View().Items().empty()) {
        EXPECT_EQ(AskedTexts(), std::vector<std::wstring>{L"未查到无用注册表项"});
    } else {
        EXPECT_TRUE(AskedTexts().empty());
    }
    EXPECT_TRUE(Visible(window_->Control(L"Lab_FinRegTime")));
    EXPECT_EQ(WindowText(window_->Control(L"Lab_FinRegTime")).size(), 8u);  // "hh:nn:ss"
    // The stop button asks the loop to stop.
    App().Stop.Reset();
    window_->Button(L"SBBtn_RegScanStop")->Click();
    EXPECT_TRUE(App().Stop.Requested());
}

// An entry nobody may read: the scan goes on and says, after its time, how many it could not read.
TEST_F(RegistryPageTest, AKeyTheScanCannotReadIsCountedOnTheFinishedBanner) {
    const std::wstring locked = kUninstall + L"\\TidemarkViewLocked";
    {
        UniqueHKey key = CreateRegKey(HKEY_CURRENT_USER, locked, KEY_ALL_ACCESS);
        ASSERT_TRUE(key);
        SECURITY_DESCRIPTOR nobody;
        InitializeSecurityDescriptor(&nobody, SECURITY_DESCRIPTOR_REVISION);
        ACL empty;
        InitializeAcl(&empty, sizeof empty, ACL_REVISION);
        SetSecurityDescriptorDacl(&nobody, TRUE, &empty, FALSE);
        ASSERT_EQ(RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &nobody), ERROR_SUCCESS);
    }
    Open({L"/clearreg"});
    for (const DWORD start = GetTickCount(); View().Items().empty() && GetTickCount() - start < 20000;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(5);
    }
    EXPECT_NE(RowOf(L"TidemarkViewGone"), widgets::kNoNode);  // the rest was judged
    EXPECT_EQ(RowOf(L"TidemarkViewLocked"), widgets::kNoNode);
    const std::wstring time = WindowText(window_->Control(L"Lab_FinRegTime"));
    EXPECT_TRUE(time.ends_with(L"  1处无法读取")) << test::Narrow(time);

    // The owner may always give the key back.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, locked.c_str(), 0, WRITE_DAC, &key), ERROR_SUCCESS);
    SECURITY_DESCRIPTOR everyone;
    InitializeSecurityDescriptor(&everyone, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&everyone, TRUE, nullptr, FALSE);
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &everyone);
    RegCloseKey(key);
    SHDeleteKeyW(HKEY_CURRENT_USER, locked.c_str());
}

TEST_F(RegistryPageTest, HealthScoreCountsCategoriesZeroToTwoAndItsLinesOpenTheViews) {
    Open({});
    // While another operation runs, nothing is measured: the score comes from the texts as they
    // stand.
    {
        int depth = 0;
        const BusyScope running(*window_, depth);
        View().RefreshHealthScore();
        EXPECT_EQ(View().Score(), 20);  // "0" and "0"
        EXPECT_EQ(WindowText(window_->Control(L"Lab_Score")), L"20");
    }

    window_->Button(L"BBtn_FreeDisk")->Click();
    const std::size_t junk = View().Items().size();
    EXPECT_GE(junk, 3u);
    for (const auto& item : View().Items()) EXPECT_LT(item.Category, 3);
    EXPECT_NE(std::find_if(View().Items().begin(), View().Items().end(),
                           [](const TDataRegItems& i) { return i.Name == L"TidemarkViewGone"; }),
              View().Items().end());
    const int free = DiskFreePercent();
    EXPECT_EQ(View().Score(), HealthScore(junk, free));
    EXPECT_EQ(View().ScoreBarWidth(), View().Score() * 171 / 100);
    RECT bar;
    GetWindowRect(window_->Control(L"Img_ScoreBar"), &bar);
    EXPECT_EQ(bar.right - bar.left, View().ScoreBarWidth());
    EXPECT_EQ(WindowText(window_->Control(L"Lab_ScoreReg")), L"注册表无用项:" + std::to_wstring(junk) + L"个");
    EXPECT_EQ(WindowText(window_->Control(L"Lab_ScoreDisk")), L"磁盘剩余空间:" + std::to_wstring(free) + L"%");

    // The lines wear the face holder's pictures and lead to their views.
    const widgets::PictureButton* faces = window_->Button(L"BBtn_ScoreLineFaces");
    for (const wchar_t* line : {L"BBtn_ScoreRegLine", L"BBtn_ScoreDiskLine"})
        for (widgets::Face face : {widgets::Face::Normal, widgets::Face::Hot, widgets::Face::Pressed})
            EXPECT_EQ(window_->Button(line)->FaceTag(face), faces->FaceTag(face));
    window_->Button(L"BBtn_ScoreDiskLine")->Click();
    EXPECT_EQ(App().CurrentView, 2);
    window_->Button(L"BBtn_ScoreRegLine")->Click();
    EXPECT_EQ(App().CurrentView, 4);
}

}  // namespace
}  // namespace tidemark

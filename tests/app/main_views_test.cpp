// The views of the main window, driven in-process through their handlers (the window is never
// shown; controls are found by their layout names).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>

#include "app/app_state.h"
#include "app/interface_pictures.h"
#include "app/list_controls.h"
#include "app/widgets/gdiplus_session.h"
#include "app/main_layout.h"
#include "app/main_window.h"
#include "app/views/junk_view.h"
#include "app/widgets/header_bar.h"
#include "app/widgets/tree_list.h"
#include "common/test_support.h"
#include "support/usage_log.h"
#include "system/reg_ops.h"

namespace tidemark {
namespace {

// Pictures load through GDI+, started once for the whole test run.
const widgets::GdiplusSession gdiplus;

using widgets::CheckState;
using widgets::Face;
using widgets::kRoot;

bool Visible(const TFBrimMain& w, const wchar_t* name) {
    HWND control = w.Control(name);
    return control && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE);
}

const wchar_t* const kStateControls[] = {
    L"Ani_Loading", L"Img_ViewIcon", L"BBtn_ScanClear", L"RzURLLabAll", L"RzURLLabNone", L"BBtn_ScanHengji",
    L"BBtn_SelfScan", L"Lab_TraceSlogan", L"BBtn_hengjiClear", L"RzBmpBtnAllQuery", L"RzBmpBtnSelfQuery",
    L"BBtn_Scan", L"BBtn_Clear", L"Lab_InforPath", L"BBtn_ScanStop", L"SBBtn_RegScanStop", L"Lab_TotalNum",
    L"Label2", L"Lab_Totalsize", L"Label3", L"BBtn_PlugScan", L"BBtn_PlugClear", L"Lab_PlugInfo",
    L"Lab_RegSlogan", L"BBtn_Save", L"RzURLLabDefault", L"BBtn_RestoreCenter", L"BBtn_JournalRestore",
    L"BBtn_JournalDelete",
};

std::set<std::wstring> VisibleStateControls(const TFBrimMain& w) {
    std::set<std::wstring> shown;
    for (const wchar_t* name : kStateControls)
        if (Visible(w, name)) shown.insert(name);
    return shown;
}

// Events the fixture library recorded, as codes ("" for start and close).
std::vector<std::wstring> LoggedCodes(const std::wstring& path) {
    std::vector<std::wstring> codes;
    for (const test::LoggedRecord& r : test::ReadUsageLog(path)) codes.push_back(r.Code());
    return codes;
}

class MainViewsTest : public testing::Test {
protected:
    void SetUp() override {
        App() = AppState{};
        ASSERT_TRUE(WriteRegInt(HKEY_CURRENT_USER, L"Software\\Corvane\\BRIM", L"InitSet", 1));
        window_ = TFBrimMain::Create({}, false);
        ASSERT_TRUE(window_);
        // Usage events go to the fixture library from here on.
        library_ = dir_ / L"qklog.dll";
        log_ = dir_ / L"log.bin";
        ASSERT_TRUE(CopyFileW((test::ExeDir() + L"\\..\\fixtures\\qklog.dll").c_str(), library_.c_str(), FALSE));
        SetEnvironmentVariableW(L"TM_QKLOG_OUT", log_.c_str());
        SetLogLibraryPath(library_);
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"TM_QKLOG_OUT", nullptr);
        SetLogLibraryPath(L"");
        window_.reset();
        DeleteRegSubKey(HKEY_CURRENT_USER, L"Software\\Corvane", L"BRIM");
    }
    std::vector<std::wstring> Events() const { return LoggedCodes(log_); }

    test::ScratchDir dir_;
    std::wstring library_, log_;
    std::unique_ptr<TFBrimMain> window_;
};

TEST_F(MainViewsTest, EachTopTabShowsItsPageActionSetAndEvent) {
    const struct {
        int tab;
        Page page;
        std::set<std::wstring> shown;
        std::vector<std::wstring> events;
    } cases[] = {
        {2, Page::JunkStart, {L"RzBmpBtnAllQuery", L"RzBmpBtnSelfQuery"}, {L"12.W.CLE"}},
        {4, Page::RegistryStart, {L"Img_ViewIcon", L"Lab_RegSlogan"}, {L"12.R.CLE"}},
        // The plug-in tab presses the scan button at once.
        {5, Page::Plugins, {L"Lab_PlugInfo", L"BBtn_PlugScan", L"BBtn_PlugClear", L"RzURLLabAll", L"RzURLLabNone", L"Img_ViewIcon"},
         {L"12.B.CLE", L"12.S.SM"}},
        {6, Page::SettingsMethod, {L"BBtn_Save", L"RzBmpBtnAllQuery", L"RzBmpBtnSelfQuery", L"BBtn_RestoreCenter"}, {}},
        {1, Page::TraceGroups, {L"BBtn_ScanHengji", L"Lab_TraceSlogan", L"BBtn_hengjiClear", L"Img_ViewIcon"}, {L"12.H.CLE"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tab);
        const std::size_t before = Events().size();
        window_->SelectTopTab(c.tab);
        EXPECT_EQ(App().CurrentView, c.tab);
        EXPECT_EQ(window_->CurrentPage(), c.page);
        for (int p = 0; p < kPageCount; ++p)
            EXPECT_EQ(Visible(*window_, (L"TabSheet" + std::to_wstring(p)).c_str()), p == static_cast<int>(c.page)) << p;
        EXPECT_EQ(VisibleStateControls(*window_), c.shown);
        const auto events = Events();
        EXPECT_EQ(std::vector<std::wstring>(events.begin() + static_cast<std::ptrdiff_t>(before), events.end()), c.events);
        EXPECT_TRUE(App().UiIdle);
    }
    // The trace view puts its start button left of "立即清理".
    RECT scan, clean;
    GetWindowRect(window_->Control(L"BBtn_ScanHengji"), &scan);
    GetWindowRect(window_->Control(L"BBtn_hengjiClear"), &clean);
    EXPECT_LT(scan.right, clean.left);
    EXPECT_EQ(scan.top, clean.top);
}

// A static label draws its line of text from its top: the line of a view's header text sits
// centred on the view icon beside it (to the pixel).
TEST_F(MainViewsTest, HeaderTextsAreCentredBesideTheViewIcon) {
    TEXTMETRICW metrics{};
    {
        HDC dc = GetDC(window_->hwnd());
        HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window_->hwnd(), WM_GETFONT, 0, 0)));
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, previous);
        ReleaseDC(window_->hwnd(), dc);
    }
    ASSERT_GT(metrics.tmHeight, 0);
    const struct { int tab; const wchar_t* text; } cases[] = {
        {1, L"Lab_TraceSlogan"}, {4, L"Lab_RegSlogan"}, {5, L"Lab_PlugInfo"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        window_->SelectTopTab(c.tab);
        ASSERT_TRUE(Visible(*window_, c.text));
        ASSERT_TRUE(Visible(*window_, L"Img_ViewIcon"));
        RECT icon, text;
        GetWindowRect(window_->Control(L"Img_ViewIcon"), &icon);
        GetWindowRect(window_->Control(c.text), &text);
        // Doubled, so that half pixels count.
        const int iconMiddle = icon.top + icon.bottom;
        const int textMiddle = 2 * text.top + metrics.tmHeight;
        EXPECT_LE(std::abs(textMiddle - iconMiddle), 2) << "text top " << text.top << ", icon " << icon.top << "-" << icon.bottom;
        EXPECT_GE(text.left, icon.right);
    }
}

TEST_F(MainViewsTest, BusyWindowIgnoresTabsModeButtonsAndLinks) {
    window_->SelectTopTab(2);
    const std::size_t before = Events().size();
    App().UiIdle = false;
    window_->SelectTopTab(4);
    window_->Button(L"RzBmpBtnSelfQuery")->Click();
    EXPECT_EQ(App().CurrentView, 2);
    EXPECT_EQ(window_->CurrentPage(), Page::JunkStart);
    EXPECT_EQ(Events().size(), before);
    App().UiIdle = true;
    window_->SelectTopTab(4);
    EXPECT_EQ(App().CurrentView, 4);
}

TEST_F(MainViewsTest, SelectedTabKeepsItsHighlightAndItsNormalFaceInTheSpareSlot) {
    widgets::PictureButton* tab1 = window_->Button(L"BBtn_Tab1");
    widgets::PictureButton* tab2 = window_->Button(L"BBtn_Tab2");
    const std::wstring normal2 = tab2->FaceTag(Face::Normal), hot2 = tab2->FaceTag(Face::Hot);
    ASSERT_NE(normal2, hot2);
    // Tab 1 was pressed at start-up.
    EXPECT_EQ(tab1->FaceTag(Face::Normal), tab1->FaceTag(Face::Hot));
    const std::wstring normal1 = tab1->FaceTag(Face::StayDown);

    for (int press = 0; press < 3; ++press) {
        window_->SelectTopTab(2);
        EXPECT_EQ(tab2->FaceTag(Face::Normal), hot2) << press;
        EXPECT_EQ(tab2->FaceTag(Face::StayDown), normal2) << press;
        EXPECT_EQ(tab1->FaceTag(Face::Normal), normal1) << press;
    }
    window_->SelectTopTab(1);
    EXPECT_EQ(tab2->FaceTag(Face::Normal), normal2);
}

TEST_F(MainViewsTest, JunkViewRemembersCustomMode) {
    window_->SelectTopTab(2);
    window_->Button(L"RzBmpBtnSelfQuery")->Click();
    EXPECT_TRUE(window_->Junk().CustomMode());
    EXPECT_EQ(window_->CurrentPage(), Page::JunkFolders);
    window_->SelectTopTab(1);
    window_->SelectTopTab(2);
    EXPECT_EQ(window_->CurrentPage(), Page::JunkFolders);
    EXPECT_TRUE(Visible(*window_, L"BBtn_SelfScan"));
    EXPECT_TRUE(Visible(*window_, L"RzURLLabAll"));
    // The chosen mode button shows its highlight, the other the look of the mode not chosen.
    auto* self = window_->Button(L"RzBmpBtnSelfQuery");
    auto* all = window_->Button(L"RzBmpBtnAllQuery");
    EXPECT_EQ(self->FaceTag(Face::Normal), self->FaceTag(Face::Hot));
    EXPECT_EQ(all->FaceTag(Face::Normal), all->FaceTag(Face::Disabled));

    all->Click();
    EXPECT_FALSE(window_->Junk().CustomMode());
    EXPECT_EQ(window_->CurrentPage(), Page::JunkStart);
    EXPECT_FALSE(Visible(*window_, L"BBtn_SelfScan"));
}

TEST_F(MainViewsTest, SettingsViewOpensOnTheMethodPage) {
    window_->SelectTopTab(6);
    EXPECT_EQ(window_->CurrentPage(), Page::SettingsMethod);
    for (const wchar_t* link : {L"RzURLLabAll", L"RzURLLabNone", L"RzURLLabDefault"}) EXPECT_FALSE(Visible(*window_, link));
    EXPECT_EQ(window_->Button(L"RzBmpBtnAllQuery")->Caption(), L"清理方式设置");
    window_->Button(L"RzBmpBtnSelfQuery")->Click();
    EXPECT_EQ(window_->CurrentPage(), Page::SettingsTypes);
    for (const wchar_t* link : {L"RzURLLabAll", L"RzURLLabNone", L"RzURLLabDefault"}) EXPECT_TRUE(Visible(*window_, link));
}

TEST_F(MainViewsTest, CustomViewTabAndStartButtons) {
    window_->SelectTopTab(3);
    EXPECT_EQ(App().CurrentView, 3);
    EXPECT_EQ(Events().back(), L"12.Z.CLE");
    EXPECT_TRUE(Visible(*window_, L"BBtn_Clear"));
    EXPECT_TRUE(Visible(*window_, L"BBtn_Scan"));
    EXPECT_FALSE(Visible(*window_, L"BBtn_Save"));
    EXPECT_EQ(App().CurrentSubView, 1);

    // The registry start page's button leads to the results page.
    window_->SelectTopTab(4);
    {
        ScriptedPrompt scanNotices;  // "nothing found", when the prefix has nothing to find
        ScopedPrompt installedForScan(scanNotices);
        window_->Button(L"RzBmpButton7")->Click();
    }
    EXPECT_EQ(window_->CurrentPage(), Page::RegistryResults);
    // The scan it started has run to its end: its stop button is hidden again.
    EXPECT_EQ(VisibleStateControls(*window_),
              (std::set<std::wstring>{L"BBtn_Scan", L"BBtn_Clear", L"RzURLLabAll", L"RzURLLabNone", L"Img_ViewIcon"}));

    // The trace scan needs a chosen group; all three unchosen: message 90027.
    test::ScratchDir dir;
    ScriptedPrompt prompt;
    ScopedPrompt installed(prompt);
    window_->SelectTopTab(1);
    for (const wchar_t* toggle : {L"RzBmpButton1", L"RzBmpButton2", L"RzBmpButton5"}) window_->Button(toggle)->Click();
    window_->Button(L"BBtn_ScanHengji")->Click();
    ASSERT_EQ(prompt.Asked().size(), 1u);
    EXPECT_EQ(prompt.Asked()[0].Text, L"请选择清理项目!");
    EXPECT_EQ(window_->CurrentPage(), Page::TraceGroups);
    window_->Button(L"RzBmpButton2")->Click();
    window_->Button(L"BBtn_ScanHengji")->Click();
    EXPECT_EQ(window_->CurrentPage(), Page::TraceResults);
    EXPECT_FALSE(Visible(*window_, L"BBtn_ScanHengji"));
    EXPECT_TRUE(Visible(*window_, L"BBtn_ScanClear"));
}

TEST_F(MainViewsTest, FooterLinksTickTopRowsAndTheirChildrenOnly) {
    window_->SelectTopTab(2);
    window_->Button(L"RzBmpButton9")->Click();  // to the junk result page
    ASSERT_EQ(window_->CurrentPage(), Page::JunkResults);
    widgets::TreeListModel* model = window_->ListModel(L"VST_type");
    ASSERT_TRUE(model);
    widgets::RowOptions box;
    box.checkKind = widgets::CheckKind::TwoState;
    const auto top = model->AddRow(kRoot, {L"临时文件"}, box);
    const auto child = model->AddRow(top, {L"a.tmp"}, box);
    const auto grandchild = model->AddRow(child, {L"deeper"}, box);
    window_->Link(L"RzURLLabAll")->Click();
    EXPECT_EQ(model->GetCheck(top), CheckState::Checked);
    EXPECT_EQ(model->GetCheck(child), CheckState::Checked);
    EXPECT_EQ(model->GetCheck(grandchild), CheckState::Unchecked);
    window_->Link(L"RzURLLabNone")->Click();
    EXPECT_EQ(model->GetCheck(top), CheckState::Unchecked);
    EXPECT_EQ(model->GetCheck(child), CheckState::Unchecked);
}

TEST_F(MainViewsTest, HeaderBarsCarryTitlesAndDragsSizeTheirList) {
    widgets::HeaderBar* header = window_->Header(L"HeaderExType");
    ASSERT_TRUE(header);
    EXPECT_EQ(HeaderSectionWidths(header), (std::vector<int>{201, 100, 500, 10}));
    EXPECT_EQ(header->SectionTitle(0), L"    文件名称");  // room for the check box
    EXPECT_EQ(header->SectionTitle(3), L"");
    EXPECT_EQ(window_->Header(L"HeaderExSet")->SectionTitle(0), L"说明");
    EXPECT_EQ(window_->ListColumns(L"VST_type"), (std::vector<int>{202, 101, 501, 11}));
    ASSERT_TRUE(header->OnSectionResized);
    header->OnSectionResized(1, 180);
    EXPECT_EQ(window_->ListColumns(L"VST_type")[1], 181);
    EXPECT_EQ(window_->List(L"VST_type")->ColumnWidths()[1], 181);
    EXPECT_EQ(HeaderSectionWidths(window_->Header(L"HeaderExReg")), (std::vector<int>{150, 175, 400}));
    EXPECT_EQ(HeaderSectionWidths(window_->Header(L"HeaderExExpect")), (std::vector<int>{309, 150}));
}

TEST_F(MainViewsTest, WindowCommandsAndMinimumSize) {
    MINMAXINFO info{};
    SendMessageW(window_->hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_GE(info.ptMinTrackSize.x, 750);
    EXPECT_GE(info.ptMinTrackSize.y, 520);

    window_->Maximize();
    EXPECT_FALSE(Visible(*window_, L"BBtn_Max"));
    EXPECT_TRUE(Visible(*window_, L"BBtn_Restore"));
    window_->Restore();
    EXPECT_TRUE(Visible(*window_, L"BBtn_Max"));
    RECT r;
    GetWindowRect(window_->hwnd(), &r);
    EXPECT_EQ(r.right - r.left, 800);
    EXPECT_EQ(r.bottom - r.top, 630);
}

// Every list of the pages has columns to draw its rows in: a list without them shows rows
// with no text (the folder tree and the custom folders once did).
TEST_F(MainViewsTest, EveryPageListHasItsColumns) {
    for (const wchar_t* name : {L"VST_DefaultData", L"VST_AllDir", L"VST_type", L"VST_RegItems", L"Vst_SetItems",
                                L"Vst_Journal", L"Vst_Custom"}) {
        widgets::TreeList* list = window_->List(name);
        ASSERT_TRUE(list) << testing::PrintToString(std::wstring(name));
        EXPECT_FALSE(list->ColumnWidths().empty()) << testing::PrintToString(std::wstring(name));
        if (!list->ColumnWidths().empty()) EXPECT_GE(list->ColumnWidths()[0], 100) << testing::PrintToString(std::wstring(name));
    }
}

TEST_F(MainViewsTest, OffScreenContainersExistOutsideTheVisibleArea) {
    // The custom folder list is not among them: it is a page of its own.
    for (const wchar_t* name : {L"VST_REG", L"VST_set", L"VST_Items", L"VST_DeleteList",
                                L"BBtn_MainTab1", L"BBtn_MainTab2", L"BBtn_MainTab3", L"Cbx_SelectAll",
                                L"Pnl_Score", L"PanelDel"}) {
        HWND control = window_->Control(name);
        ASSERT_TRUE(control) << testing::PrintToString(std::wstring(name));
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, window_->hwnd(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_GE(r.left, 875) << testing::PrintToString(std::wstring(name));
    }
    RECT score;
    GetWindowRect(window_->Control(L"Pnl_Score"), &score);
    EXPECT_EQ(score.right - score.left, 242);
    EXPECT_EQ(score.bottom - score.top, 111);
    EXPECT_EQ(window_->Button(L"BBtn_MainTab2")->Caption(), L"显示详细信息");
}

// The pictures the program carries, written for each script.
TEST(InterfacePictures, BothScriptsWriteThePlainNames) {
    for (bool traditional : {false, true}) {
        test::ScratchDir dir;
        const std::vector<std::wstring> files = InterfacePictureFiles();
        EXPECT_EQ(files.size(), 28u);  // two animations, the header, 24 tab faces, the score
        for (const std::wstring& file : files) {
            EXPECT_TRUE(HasInterfacePicture(file, traditional)) << test::Narrow(file);
            EXPECT_TRUE(WriteInterfacePicture(dir.path(), file, traditional)) << test::Narrow(file);
        }
        EXPECT_FALSE(HasInterfacePicture(L"other.bmp", traditional));
        EXPECT_FALSE(WriteInterfacePicture(dir.path(), L"other.gif", traditional));
        // The file under the plain name holds the chosen script's picture.
        const wchar_t* resource = traditional ? L"MyClearReg1_CHTbmp" : L"MyClearReg1bmp";
        HRSRC info = FindResourceW(nullptr, resource, L"bmp");
        ASSERT_TRUE(info);
        const DWORD size = SizeofResource(nullptr, info);
        const void* bytes = LockResource(LoadResource(nullptr, info));
        std::string file(size, '\0');
        HANDLE h = CreateFileW((dir / L"ClearReg1.bmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD got = 0;
        ReadFile(h, file.data(), size, &got, nullptr);
        CloseHandle(h);
        EXPECT_EQ(got, size);
        EXPECT_EQ(std::memcmp(file.data(), bytes, size), 0) << (traditional ? "traditional" : "simplified");
    }
}

TEST(InterfacePictures, UnwritableFolderWritesNothingAndFailsQuietly) {
    test::ScratchDir dir;
    ASSERT_TRUE(test::WriteFileText(dir / L"file", "x"));
    for (const std::wstring& file : InterfacePictureFiles())
        EXPECT_FALSE(WriteInterfacePicture(dir / L"file\\brim", file, false)) << test::Narrow(file);
}

}  // namespace
}  // namespace tidemark

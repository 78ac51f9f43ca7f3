#include "app/main_layout.h"

#include <map>

namespace tidemark {
namespace {

using K = ControlKind;
using L = widgets::ButtonLook;
constexpr COLORREF kNormal = 0xFFFFFFFF;
constexpr COLORREF kSecondary = RGB(0x5B, 0x6B, 0x7B);
constexpr COLORREF kAccent = RGB(0x2F, 0x8A, 0xE5);
constexpr COLORREF kGreen = RGB(0x2E, 0x9E, 0x4F);
constexpr COLORREF kWarning = RGB(0xC8, 0x3C, 0x1E);

constexpr int W = kDesignClientWidth;
constexpr int H = kDesignClientHeight;
constexpr int PageW = W - 4;                    // inside the two-pixel side frames
constexpr int PageH = kFooterTop - kPageTop;     // 411
constexpr unsigned Fill = StretchWidth | StretchHeight;
constexpr unsigned Footer = AnchorBottom;
constexpr unsigned FooterRight = AnchorBottom | AnchorRight;
constexpr int Rx = kRescanSlot.x, Cx = kCleanNowSlot.x, Fy = kCleanNowSlot.y;
constexpr int OffX = 875;  // off-screen containers start here

}  // namespace

const std::vector<LayoutEntry>& MainLayout() {
    static const std::vector<LayoutEntry> layout = {
        // Title area: five visible top tabs (tab 3 exists but is not shown) and the window buttons.
        {L"BBtn_Tab1", K::Button, nullptr, 24, kTopTabTop, 92, kTopTabHeight, L"痕迹清理", 0, L::Tab, AnchorNone, true, kNormal},
        {L"BBtn_Tab2", K::Button, nullptr, 120, kTopTabTop, 92, kTopTabHeight, L"垃圾文件", 0, L::Tab, AnchorNone, true, kNormal},
        {L"BBtn_Tab4", K::Button, nullptr, 216, kTopTabTop, 92, kTopTabHeight, L"注册表清理", 0, L::Tab, AnchorNone, true, kNormal},
        {L"BBtn_Tab5", K::Button, nullptr, 312, kTopTabTop, 92, kTopTabHeight, L"插件清理", 0, L::Tab, AnchorNone, true, kNormal},
        {L"BBtn_Tab6", K::Button, nullptr, 408, kTopTabTop, 92, kTopTabHeight, L"设置中心", 0, L::Tab, AnchorNone, true, kNormal},
        {L"BBtn_Tab3", K::Button, nullptr, 504, kTopTabTop, 92, kTopTabHeight, L"自定义清理", 0, L::Tab, AnchorNone, false, kNormal},
        {L"BBtn_Min", K::Button, nullptr, W - 96, 4, 28, 22, L"–", 0, L::Caption, AnchorRight, true, kNormal},
        {L"BBtn_Max", K::Button, nullptr, W - 66, 4, 28, 22, L"□", 0, L::Caption, AnchorRight, true, kNormal},
        {L"BBtn_Restore", K::Button, nullptr, W - 66, 4, 28, 22, L"❐", 0, L::Caption, AnchorRight, false, kNormal},
        {L"BBtn_Close", K::Button, nullptr, W - 36, 4, 28, 22, L"×", 0, L::Caption, AnchorRight, true, kNormal},

        // Header strip: view icon, slogans, counters, mode buttons, animation and stop button.
        {L"Img_ViewIcon", K::Icon, nullptr, 16, 112, 32, 32, L"", 0, L::Action, AnchorNone, false, kNormal},
        {L"Lab_TraceSlogan", K::Label, nullptr, 58, 121, 420, 16, L"清理掉您使用电脑时的各种痕迹,保护你的上网隐私", 0, L::Action, AnchorNone, false, kNormal},
        {L"Lab_RegSlogan", K::Label, nullptr, 58, 121, 420, 16, L"清理注册表 , 还您绿色系统环境", 0, L::Action, AnchorNone, false, kNormal},
        {L"Lab_PlugInfo", K::Label, nullptr, 58, 121, 520, 16, L"", 0, L::Action, AnchorNone, false, kNormal},
        {L"RzBmpBtnAllQuery", K::Button, nullptr, 16, 114, 124, 28, L"自动清理", 0, L::Mode, AnchorNone, false, kNormal},
        {L"RzBmpBtnSelfQuery", K::Button, nullptr, 146, 114, 124, 28, L"自定义清理", 0, L::Mode, AnchorNone, false, kNormal},
        // The settings view's third page button, beside its two mode buttons.
        {L"BBtn_RestoreCenter", K::Button, nullptr, 276, 114, 124, 28, L"", 90035, L::Mode, AnchorNone, false, kNormal},
        {L"Lab_TotalNum", K::Label, nullptr, 58, 111, 190, 16, L"", 1017, L::Action, AnchorNone, false, kNormal},
        {L"Label2", K::Label, nullptr, 248, 111, 90, 16, L"0", 0, L::Action, AnchorNone, false, kAccent},
        {L"Lab_Totalsize", K::Label, nullptr, 58, 129, 190, 16, L"", 1018, L::Action, AnchorNone, false, kNormal},
        {L"Label3", K::Label, nullptr, 248, 129, 90, 16, L"0", 0, L::Action, AnchorNone, false, kAccent},
        {L"Lab_InforPath", K::Label, nullptr, 350, 120, 300, 16, L"", 0, L::Action, StretchWidth, false, kSecondary},
        {L"Lab_ScanFinishTitle", K::Label, nullptr, 290, 111, 120, 16, L"", 1021, L::Action, AnchorNone, false, kGreen},
        {L"Lab_ScanFinish", K::Label, nullptr, 410, 111, 120, 16, L"", 1020, L::Action, AnchorNone, false, kNormal},
        {L"Lab_totalFileNumChar", K::Label, nullptr, 290, 129, 100, 16, L"", 1022, L::Action, AnchorNone, false, kNormal},
        {L"Lab_totalFileNum", K::Label, nullptr, 390, 129, 60, 16, L"0", 0, L::Action, AnchorNone, false, kAccent},
        {L"Lab_totalFileSizeChar", K::Label, nullptr, 454, 129, 80, 16, L"", 1023, L::Action, AnchorNone, false, kNormal},
        {L"Lab_totalFileSize", K::Label, nullptr, 534, 129, 90, 16, L"0", 0, L::Action, AnchorNone, false, kAccent},
        {L"Lab_Time", K::Label, nullptr, 628, 129, 150, 16, L"", 0, L::Action, AnchorNone, false, kSecondary},
        {L"Lab_ClearInf", K::Label, nullptr, 290, 120, 150, 16, L"", 1027, L::Action, AnchorNone, false, kGreen},
        {L"Lab_ClearNum", K::Label, nullptr, 440, 120, 300, 16, L"0", 0, L::Action, AnchorNone, false, kAccent},
        {L"SLab_RegScan", K::Label, nullptr, 58, 111, 120, 16, L"", 1045, L::Action, AnchorNone, false, kNormal},
        {L"SLab_RegTotalNum", K::Label, nullptr, 58, 129, 200, 16, L"", 1046, L::Action, AnchorNone, false, kNormal},
        {L"Label4", K::Label, nullptr, 258, 129, 70, 16, L"0", 0, L::Action, AnchorNone, false, kAccent},
        {L"Lab_TimeRegCount", K::Label, nullptr, 342, 129, 80, 16, L"00:00:00", 0, L::Action, AnchorNone, false, kSecondary},
        {L"SLab_RegScanFinishTitle", K::Label, nullptr, 58, 111, 120, 16, L"", 1049, L::Action, AnchorNone, false, kGreen},
        {L"SLab_RegScanFinish", K::Label, nullptr, 178, 111, 120, 16, L"", 1048, L::Action, AnchorNone, false, kNormal},
        {L"SLab_RegtotalFileNumChar", K::Label, nullptr, 58, 129, 130, 16, L"", 1050, L::Action, AnchorNone, false, kNormal},
        {L"Lab_FinRegNum", K::Label, nullptr, 188, 129, 70, 16, L"0", 0, L::Action, AnchorNone, false, kAccent},
        {L"SLab_Regtotaltime", K::Label, nullptr, 268, 129, 70, 16, L"", 1051, L::Action, AnchorNone, false, kNormal},
        {L"Lab_FinRegTime", K::Label, nullptr, 338, 129, 80, 16, L"", 0, L::Action, AnchorNone, false, kAccent},
        // Beside the finished banner after a fix the system refused for want of administrator rights.
        {L"Lab_RegAdminNote", K::Label, nullptr, 300, 111, W - 308, 16, L"", 90052, L::Action, AnchorNone, false, kWarning},
        {L"Ani_Loading", K::Animation, nullptr, W - 136, 121, 16, 16, L"", 0, L::Action, AnchorRight, false, kNormal},
        {L"BBtn_ScanStop", K::Button, nullptr, W - 106, 115, 90, 26, L"", 1019, L::Action, AnchorRight, false, kNormal},
        {L"SBBtn_RegScanStop", K::Button, nullptr, W - 106, 115, 90, 26, L"", 1047, L::Action, AnchorRight, false, kNormal},

        // The page set: one page shown at a time, no page tabs.
        {L"TabSheet0", K::Panel, nullptr, 2, kPageTop, PageW, PageH, L"", 0, L::Action, Fill, true, kNormal},
        {L"RzBmpButton1", K::Button, L"TabSheet0", 66, 120, 200, 140, L"", 90022, L::Toggle, CenterHorizontal, true, kNormal},
        {L"RzBmpButton2", K::Button, L"TabSheet0", 297, 120, 200, 140, L"", 90014, L::Toggle, CenterHorizontal, true, kNormal},
        {L"RzBmpButton5", K::Button, L"TabSheet0", 528, 120, 200, 140, L"", 90015, L::Toggle, CenterHorizontal, true, kNormal},
        {L"TabSheet1", K::Panel, nullptr, 2, kPageTop, PageW, PageH, L"", 0, L::Action, Fill, false, kNormal},
        {L"VST_DefaultData", K::TreeList, L"TabSheet1", 0, 0, PageW, PageH, L"", 0, L::Action, Fill, true, kNormal},
        {L"TabSheet2", K::Panel, nullptr, 2, kPageTop, PageW, PageH, L"", 0, L::Action, Fill, false, kNormal},
        {L"RzBmpButton9", K::Button, L"TabSheet2", (PageW - 180) / 2, (PageH - 56) / 2, 180, 56, L"开始扫描", 0, L::Large, CenterHorizontal, true, kNormal},
        {L"TabSheet3", K::Panel, nullptr, 2, kPageTop, PageW, PageH, L"", 0, L::Action, Fill, false, kNormal},
        {L"Lab_DirCaption", K::Label, L"TabSheet3", 10, 8, 400, 16, L"请选择您要清理的路径", 0, L::Action, AnchorNone, true, kNormal},
        {L"VST_AllDir", K::TreeList, L"TabSheet3", 0, 30, PageW, PageH - 30, L"", 0, L::Action, Fill, true, kNormal},
        {L"Lnk_CustomFolders", K::LinkLabel, L"TabSheet3", PageW - 150, 8, 140, 16, L"", 90053, L::Action, AnchorRight, true, kNormal},
        {L"TabSheet4", K::Panel, nullptr, 2, kPageTop, PageW, PageH, L"", 0, L::Action, Fill, false, kNormal},
        {L"HeaderExType", K::HeaderBar, L"TabSheet4", 0, 0, PageW, 24, L"", 0, L::Action, StretchWidth, true, kNormal},
        {L"VST_type", K::TreeList, L"TabSheet4", 0, 24, PageW, PageH - 24, L"", 0, L::Action, Fill, true, kNormal},
        {L"TabSheet5", K::Panel, nullptr, 2, kPageTop, PageW, PageH, L"", 0, L::Action, Fill, false, kNormal},
        // The result tree is the model of the cards and is never shown.
        {L"HeaderExExpect", K::HeaderBar, L"TabSheet5", 0, 0, PageW, 24, L"", 0, L::Action, StretchWidth, false, kNormal},
        {L"VDT1", K::TreeList, L"TabSheet5", 0, 24, PageW, PageH - 24, L"", 0, L::Action, Fill, false, kNormal},
        {L"ScrollBox1", K::Panel, L"TabSheet5", 0, 0, PageW, PageH, L"", 0, L::Action, Fill, true, kNormal},
        {L"PanlLoading", K::Panel, L"TabSheet5", 0, 0, PageW, PageH, L"", 0, L::Action, Fill, false, kNormal},
        {L"TabSheet6", K::Panel, nullptr, 2, kPageTop, PageW, PageH, L"", 0, L::Action, Fill, false, kNormal},
        {L"RzBmpButton7", K::Button, L"TabSheet6", (PageW - 180) / 2, (PageH - 56) / 2, 180, 56, L"开始扫描", 0, L::Large, CenterHorizontal, true, kNormal},
        {L"TabSheet7", K::Panel, nullptr, 2, kPageTop, PageW, PageH, L"", 0, L::Action, Fill, false, kNormal},
        {L"HeaderExReg", K::HeaderBar, L"TabSheet7", 0, 0, PageW, 24, L"", 0, L::Action, StretchWidth, true, kNormal},
        {L"VST_RegItems", K::TreeList, L"TabSheet7", 0, 24, PageW, PageH - 24, L"", 0, L::Action, Fill, true, kNormal},
        {L"TabSheet8", K::Panel, nullptr, 2, kPageTop, PageW, PageH, L"", 0, L::Action, Fill, false, kNormal},
        {L"Lab_NormalSet", K::Label, L"TabSheet8", 12, 14, 400, 16, L"", 1014, L::Action, AnchorNone, true, kNormal},
        {L"Edt_TypeName", K::Edit, L"TabSheet8", 420, 10, 150, 22, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"BBtn_SetAdd", K::Button, L"TabSheet8", 580, 8, 80, 26, L"", 1015, L::Action, AnchorNone, true, kNormal},
        {L"HeaderExSet", K::HeaderBar, L"TabSheet8", 0, 42, PageW, 24, L"", 0, L::Action, StretchWidth, true, kNormal},
        {L"Vst_SetItems", K::TreeList, L"TabSheet8", 0, 66, PageW, PageH - 66, L"", 0, L::Action, Fill, true, kNormal},
        {L"TabSheet9", K::Panel, nullptr, 2, kPageTop, PageW, PageH, L"", 0, L::Action, Fill, false, kNormal},
        {L"Lab_SetClearMethod", K::Label, L"TabSheet9", 40, 44, 110, 16, L"", 1010, L::Action, AnchorNone, true, kNormal},
        {L"Cbx_SetMethod", K::ComboBox, L"TabSheet9", 150, 40, 260, 120, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"TabSheet10", K::Panel, nullptr, 2, kPageTop, PageW, PageH, L"", 0, L::Action, Fill, false, kNormal},
        {L"HeaderExJournal", K::HeaderBar, L"TabSheet10", 0, 0, PageW, 24, L"", 0, L::Action, StretchWidth, true, kNormal},
        {L"Vst_Journal", K::TreeList, L"TabSheet10", 0, 24, PageW, PageH - 24 - 28, L"", 0, L::Action, Fill, true, kNormal},
        {L"Lab_JournalNote", K::Label, L"TabSheet10", 12, PageH - 22, 600, 16, L"", 0, L::Action, AnchorBottom, true, kSecondary},
        // The custom cleaning folders, with the hint that the list's menu adds them.
        {L"TabSheet11", K::Panel, nullptr, 2, kPageTop, PageW, PageH, L"", 0, L::Action, Fill, false, kNormal},
        {L"Lab_CustomCaption", K::Label, L"TabSheet11", 10, 8, 130, 16, L"", 90053, L::Action, AnchorNone, true, kNormal},
        {L"Lab_CurrentInfo", K::Label, L"TabSheet11", 140, 8, 300, 16, L"", 1035, L::Action, AnchorNone, false, kSecondary},
        {L"Vst_Custom", K::TreeList, L"TabSheet11", 0, 30, PageW, PageH - 30, L"", 0, L::Action, Fill, true, kNormal},

        // Footer: the links at the left, the view's action buttons at the right.
        {L"RzURLLabAll", K::LinkLabel, nullptr, 16, kFooterTop + 13, 34, 16, L"全选", 0, L::Action, Footer, false, kNormal},
        {L"RzURLLabNone", K::LinkLabel, nullptr, 56, kFooterTop + 13, 34, 16, L"反选", 0, L::Action, Footer, false, kNormal},
        {L"RzURLLabDefault", K::LinkLabel, nullptr, 96, kFooterTop + 13, 70, 16, L"", 1030, L::Action, Footer, false, kNormal},
        {L"BBtn_ScanHengji", K::Button, nullptr, Rx, Fy, 90, 26, L"开始扫描", 0, L::Action, FooterRight, false, kNormal},
        {L"BBtn_hengjiClear", K::Button, nullptr, Cx, Fy, 90, 26, L"立即清理", 0, L::Action, FooterRight, false, kNormal},
        {L"BBtn_ScanClear", K::Button, nullptr, Rx, Fy, 90, 26, L"", 1032, L::Action, FooterRight, false, kNormal},
        {L"BBtn_SelfScan", K::Button, nullptr, Cx, Fy, 90, 26, L"开始扫描", 0, L::Action, FooterRight, false, kNormal},
        {L"BBtn_Scan", K::Button, nullptr, Rx, Fy, 90, 26, L"", 1034, L::Action, FooterRight, false, kNormal},
        {L"BBtn_Clear", K::Button, nullptr, Cx, Fy, 90, 26, L"", 1031, L::Action, FooterRight, false, kNormal},
        {L"BBtn_PlugScan", K::Button, nullptr, Rx, Fy, 90, 26, L"扫描", 0, L::Action, FooterRight, false, kNormal},
        {L"BBtn_PlugClear", K::Button, nullptr, Cx, Fy, 90, 26, L"清理", 0, L::Action, FooterRight, false, kNormal},
        {L"BBtn_Save", K::Button, nullptr, Cx, Fy, 90, 26, L"", 1033, L::Action, FooterRight, false, kNormal},
        {L"BBtn_JournalDelete", K::Button, nullptr, Rx, Fy, 90, 26, L"", 90037, L::Action, FooterRight, false, kNormal},
        {L"BBtn_JournalRestore", K::Button, nullptr, Cx, Fy, 90, 26, L"", 90036, L::Action, FooterRight, false, kNormal},

        // Bottom bar.
        {L"Lab_Maker", K::LinkLabel, nullptr, 12, kBottomBarTop + 4, 120, 16, L"Corvane 官方网站", 0, L::Action, Footer, true, kNormal},
        {L"Lab_Version", K::Label, nullptr, W - 152, kBottomBarTop + 4, 140, 16, L"软件版本:1.31", 0, L::Action, FooterRight, true, kSecondary},

        // The first-run question, hidden until the first-run timer shows it.
        {L"FirstRunPrompt", K::Panel, nullptr, 200, 240, 356, 97, L"", 0, L::Action, AnchorNone, false, kNormal},
        {L"Lab_initClear", K::Label, L"FirstRunPrompt", 16, 18, 104, 16, L"", 1010, L::Action, AnchorNone, true, kNormal},
        {L"Cbx_initClear", K::ComboBox, L"FirstRunPrompt", 122, 14, 218, 120, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"CbxInitNext", K::CheckBox, L"FirstRunPrompt", 16, 58, 160, 20, L"", 1036, L::Action, AnchorNone, true, kNormal},
        {L"BBtn_InitOk", K::Button, L"FirstRunPrompt", 258, 55, 82, 26, L"确  认", 0, L::Action, AnchorNone, true, kNormal},

        // Off-screen containers: data holders of other views, seen only in a wide maximised window.
        {L"Pnl_Left", K::Panel, nullptr, OffX, kPageTop, 200, PageH, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"Lab_ClearReg", K::Label, L"Pnl_Left", 8, 6, 184, 16, L"", 1000, L::Action, AnchorNone, true, kNormal},
        {L"Lab_LeftTitle", K::Label, L"Pnl_Left", 8, 26, 184, 16, L"", 1013, L::Action, AnchorNone, true, kSecondary},
        {L"LeftSheet0", K::Panel, L"Pnl_Left", 0, 46, 200, 330, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"VST_REG", K::TreeList, L"LeftSheet0", 0, 0, 200, 330, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"LeftSheet1", K::Panel, L"Pnl_Left", 0, 46, 200, 330, L"", 0, L::Action, AnchorNone, false, kNormal},
        {L"VST_set", K::TreeList, L"LeftSheet1", 0, 0, 200, 330, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"LeftSheet2", K::Panel, L"Pnl_Left", 0, 46, 200, 330, L"", 0, L::Action, AnchorNone, false, kNormal},

        {L"Pnl_Main", K::Panel, nullptr, OffX + 210, kPageTop, 600, PageH, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"BBtn_MainTab1", K::Button, L"Pnl_Main", 6, 4, 100, 26, L"", 1005, L::Mode, AnchorNone, true, kNormal},
        {L"BBtn_MainTab2", K::Button, L"Pnl_Main", 110, 4, 100, 26, L"", 1006, L::Mode, AnchorNone, true, kNormal},
        {L"BBtn_MainTab3", K::Button, L"Pnl_Main", 214, 4, 100, 26, L"", 1007, L::Mode, AnchorNone, true, kNormal},
        {L"Cbx_SelectAll", K::CheckBox, L"Pnl_Main", 330, 8, 80, 20, L"全选", 0, L::Action, AnchorNone, true, kNormal},
        {L"HeaderExItems", K::HeaderBar, L"Pnl_Main", 0, 36, 600, 24, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"VST_Items", K::TreeList, L"Pnl_Main", 0, 60, 600, 170, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"HeaderExDeleteList", K::HeaderBar, L"Pnl_Main", 0, 236, 600, 24, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"VST_DeleteList", K::TreeList, L"Pnl_Main", 0, 260, 600, 150, L"", 0, L::Action, AnchorNone, true, kNormal},

        {L"Pnl_Score", K::Panel, nullptr, OffX, 179, 242, 111, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"Img_ScoreBG", K::Picture, L"Pnl_Score", 0, 0, 242, 111, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"Lab_Score", K::Label, L"Pnl_Score", 8, 12, 36, 18, L"44", 0, L::Action, AnchorNone, true, kAccent},
        {L"Img_ScoreBar", K::Panel, L"Pnl_Score", 47, 19, 0, 17, L"", 0, L::Action, AnchorNone, true, kNormal},
        // The two lines carry the pictures of the hidden face holder (same look, same faces).
        {L"BBtn_ScoreLineFaces", K::Button, L"Pnl_Score", 1, 41, 240, 22, L"", 0, L::Action, AnchorNone, false, kNormal},
        {L"BBtn_ScoreRegLine", K::Button, L"Pnl_Score", 1, 38, 240, 22, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"BBtn_ScoreDiskLine", K::Button, L"Pnl_Score", 1, 60, 240, 22, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"Lab_DiskPercent", K::Label, L"Pnl_Score", 200, 88, 36, 16, L"0", 0, L::Action, AnchorNone, false, kNormal},
        {L"Lab_ScoreReg", K::Label, L"Pnl_Score", 14, 40, 200, 16, L"", 1008, L::Action, AnchorNone, true, kNormal},
        {L"Lab_ScoreDisk", K::Label, L"Pnl_Score", 14, 62, 200, 16, L"", 1009, L::Action, AnchorNone, true, kNormal},
        {L"BBtn_FreeDisk", K::Button, L"Pnl_Score", 150, 80, 80, 24, L"", 1029, L::Action, AnchorNone, false, kNormal},

        {L"PanelDel", K::Panel, nullptr, OffX, 300, 356, 120, L"", 0, L::Action, AnchorNone, false, kNormal},
        {L"Lab_PanelDelTitle", K::Label, L"PanelDel", 14, 12, 200, 16, L"", 1026, L::Action, AnchorNone, true, kNormal},
        {L"ImageBack", K::Panel, L"PanelDel", 14, 42, 280, 14, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"Imageproess", K::Panel, L"PanelDel", 14, 42, 0, 14, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"Lab_prect", K::Label, L"PanelDel", 300, 41, 44, 16, L"0%", 0, L::Action, AnchorNone, true, kNormal},
        {L"BBtn_Cancel", K::Button, L"PanelDel", 170, 80, 80, 26, L"取消", 0, L::Action, AnchorNone, true, kNormal},
        {L"BBtn_CloseClear", K::Button, L"PanelDel", 260, 80, 80, 26, L"", 1028, L::Action, AnchorNone, false, kNormal},

        {L"Pnl_Result", K::Panel, nullptr, OffX + 366, 300, 300, 120, L"", 0, L::Action, AnchorNone, false, kNormal},
        {L"Ani_Waitfor", K::Animation, L"Pnl_Result", 14, 14, 32, 32, L"", 0, L::Action, AnchorNone, true, kNormal},
        {L"BBtn_ManuaClear", K::Button, L"Pnl_Result", 14, 80, 80, 26, L"", 1024, L::Action, AnchorNone, true, kNormal},
        {L"BBtn_AutoClear", K::Button, L"Pnl_Result", 104, 80, 80, 26, L"", 1025, L::Action, AnchorNone, true, kNormal},
        {L"SBBtn_RegManuaClear", K::Button, L"Pnl_Result", 14, 50, 80, 26, L"", 1052, L::Action, AnchorNone, true, kNormal},
        {L"SBBtn_RegAutoClear", K::Button, L"Pnl_Result", 104, 50, 80, 26, L"", 1053, L::Action, AnchorNone, true, kNormal},
    };
    return layout;
}

const LayoutEntry* FindLayoutEntry(std::wstring_view name) {
    static const std::map<std::wstring_view, const LayoutEntry*> byName = [] {
        std::map<std::wstring_view, const LayoutEntry*> rows;
        for (const LayoutEntry& entry : MainLayout()) rows.emplace(entry.name, &entry);
        return rows;
    }();
    const auto it = byName.find(name);
    return it == byName.end() ? nullptr : it->second;
}

const wchar_t* DeferredGroupOf(const LayoutEntry& entry) {
    const LayoutEntry* root = &entry;
    while (root->parent)
        if (const LayoutEntry* parent = FindLayoutEntry(root->parent)) root = parent;
        else return nullptr;
    const std::wstring_view name = root->name;
    // The pages themselves are made at start (the page set shows and hides them); the trace
    // view's two pages are the first thing shown and are made whole.
    if (name.starts_with(L"TabSheet"))
        return root != &entry && name != L"TabSheet0" && name != L"TabSheet1" ? root->name : nullptr;
    for (const wchar_t* panel : {L"Pnl_Left", L"Pnl_Main", L"Pnl_Score", L"PanelDel", L"Pnl_Result", L"FirstRunPrompt"})
        if (name == panel) return root->name;
    return nullptr;
}

}  // namespace tidemark

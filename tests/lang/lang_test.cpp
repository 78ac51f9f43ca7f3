#include <gtest/gtest.h>

#include "lang/text_tables.h"
#include "lang/ui_texts.h"
#include "system/prompt.h"

namespace tidemark {
namespace {

constexpr unsigned kPrc = 2052, kTaiwan = 1028, kHongKong = 3076, kSingapore = 4100, kMacau = 5124;

TEST(TextTables, LanguageChoosesTheScript) {
    const struct { unsigned lang; Script script; } cases[] = {
        {kPrc, Script::Simplified}, {kTaiwan, Script::Traditional}, {kHongKong, Script::Traditional},
        {kSingapore, Script::Simplified}, {kMacau, Script::Simplified}, {1033, Script::Simplified},
        {0, Script::Simplified},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScriptOfLanguage(c.lang), c.script) << c.lang;
        EXPECT_EQ(GetUiText(1010, c.lang), c.script == Script::Traditional ? L"選擇清理方式" : L"选择清理方式");
    }
}

TEST(TextTables, SampleTextsAndGaps) {
    const struct { int id; const wchar_t* simplified; const wchar_t* traditional; } cases[] = {
        {0, L"Tidemark 1.29", L"Tidemark 1.29"},
        {1000, L"注册表垃圾信息", L"登錄檔潔淨狀況"},
        {1032, L"重新扫描", L"一鍵清理"},
        {5404, L"", L"總計大小(KB)"},
        {10030, L"错误日志文件", L"錯誤日誌檔案"},
        {10031, L"临时文件", L""},
        {10039, L"CoreDraw备份文件", L""},
        {11051, L"7zip的历史记录", L"7zip的歷史記錄"},
        {13004, L"不存在文件注册表信息", L"詳細搜索不存在檔註冊表資訊"},
        {90001, L"CorvaneTidemark提示", L"CorvaneTidemark提示"},
        {90020, L"该软件版本不支持该操作系统！请下载正确的版本使用",
         L"該軟體版本不支援該作業系統！請下載正確的版本使用"},
        {90026, L"您的系统存在%d个\"IE插件\",请勾选要清理的插件,然后点击清理.",
         L"您的系统存在%d个\"IE插件\",请勾选要清理的插件,然后点击清理."},
        {1001, L"", L""}, {90009, L"", L""}, {-1, L"", L""}, {99999, L"", L""},  // never defined
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetUiText(c.id, kPrc), c.simplified) << c.id;
        EXPECT_EQ(GetUiText(c.id, kTaiwan), c.traditional) << c.id;
    }
}

TEST(TextTables, TablesAreSortedAndComplete) {
    for (Script script : {Script::Simplified, Script::Traditional}) {
        const int size = TableSize(script);
        for (int i = 1; i < size; ++i) ASSERT_LT(TableIdAt(script, i - 1), TableIdAt(script, i));
        for (int i = 0; i < size; ++i) EXPECT_STRNE(TableText(script, TableIdAt(script, i)), L"");
    }
    // 228 texts in all: simplified lacks 5404, traditional 10031–10039.
    EXPECT_EQ(TableSize(Script::Simplified), 227);
    EXPECT_EQ(TableSize(Script::Traditional), 219);
}

TEST(UiTexts, ArraysFollowTheLanguage) {
    FillTextArrays(kTaiwan);
    EXPECT_EQ(FileTypeDescriptions[0], L"臨時檔案");
    EXPECT_EQ(FileTypeDescriptions[30], L"");  // 10031 has no traditional text
    EXPECT_EQ(SoftwareTraceNames[50], L"7zip的歷史記錄");
    EXPECT_EQ(SystemTraceNames[7], L"安裝盤位置");
    EXPECT_EQ(BrowserTraceNames[5], L"IE Cookies清理");
    EXPECT_EQ(RegistryCategoryNames[0], L"多餘的動態庫");
    EXPECT_EQ(SettingsTexts[5], L"磁碟剩餘空間:");
    EXPECT_EQ(MessageTexts[26], L"请选择清理项目!");
    EXPECT_EQ(MessageTexts[50], L"卸載插件");
    EXPECT_EQ(MessageTexts[51], L"部分項目需要系統管理員權限才能清理，請以系統管理員身分執行本程式。");
    EXPECT_EQ(MessageTexts[52], L"自訂清理目錄");  // the last one, 90053

    FillTextArrays(kPrc);
    EXPECT_EQ(FileTypeDescriptions[38], L"CoreDraw备份文件");
    EXPECT_EQ(SettingsTexts[0], L"注册表垃圾信息");
    EXPECT_EQ(SettingsTexts[4], L"注册表无用项:");
    EXPECT_EQ(MessageTexts[0], L"CorvaneTidemark提示");
    EXPECT_EQ(MessageTexts[34], L"恢复中心");
}

TEST(UiTexts, HeaderColumns) {
    EXPECT_EQ(HeaderColumnTexts(HeaderBar::Type, kPrc),
              (std::vector<std::wstring>{L"    文件名称", L"文件大小(KB)", L"完整路径", L""}));
    EXPECT_EQ(HeaderColumnTexts(HeaderBar::Type, kTaiwan),
              (std::vector<std::wstring>{L"    說明", L"類別名稱", L"檔案個數", L"總計大小(KB)"}));
    EXPECT_EQ(HeaderColumnTexts(HeaderBar::Reg, kPrc),
              (std::vector<std::wstring>{L"    项目名称", L"名称", L"注册表位置"}));
    EXPECT_EQ(HeaderColumnTexts(HeaderBar::Set, kPrc), (std::vector<std::wstring>{L"说明", L"类型"}));
    EXPECT_EQ(HeaderColumnTexts(HeaderBar::Expect, kTaiwan), (std::vector<std::wstring>{L"名稱", L"說明"}));
    EXPECT_EQ(HeaderColumnTexts(HeaderBar::Journal, kPrc), (std::vector<std::wstring>{L"时间", L"内容", L"项目数"}));
    EXPECT_EQ(HeaderColumnTexts(HeaderBar::Journal, kTaiwan), (std::vector<std::wstring>{L"時間", L"內容", L"項目數"}));
    EXPECT_STREQ(HeaderBarName(HeaderBar::DeleteList), L"HeaderExDeleteList");
}

TEST(UiTexts, MessageBoxCarriesTheCaptionOfTheChosenScript) {
    ScriptedPrompt prompt;
    ScopedPrompt installed(prompt);
    for (unsigned lang : {kPrc, kTaiwan}) {
        FillTextArrays(lang);
        ShowMessageById(90005);
    }
    ASSERT_EQ(prompt.Asked().size(), 2u);
    EXPECT_EQ(prompt.Asked()[0].Title, L"CorvaneTidemark提示");
    EXPECT_EQ(prompt.Asked()[0].Text, L"设置保存成功!");
    EXPECT_EQ(prompt.Asked()[0].Kind, PromptKind::Info);
    EXPECT_EQ(prompt.Asked()[1].Text, L"設定保存成功!");
}

}  // namespace
}  // namespace tidemark

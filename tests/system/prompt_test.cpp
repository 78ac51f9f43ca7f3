#include <gtest/gtest.h>

#include <vector>

#include "system/prompt.h"

namespace tidemark {
namespace {

TEST(Prompt, BoxesCarryTheirFixedTitlesAndScriptedAnswers) {
    ScriptedPrompt script;
    ScopedPrompt installed(script);
    script.Script({AnswerOk, AnswerOk, AnswerOk, AnswerYes});

    ShowInfo(L"信息");
    ShowError(L"出错了");
    EXPECT_EQ(AskOkCancel(L"继续?"), AnswerOk);
    EXPECT_EQ(AskYesNo(L"删除?"), AnswerYes);
    // Script used up: the cautious answers.
    EXPECT_EQ(AskOkCancel(L"再来?"), AnswerCancel);
    EXPECT_EQ(AskYesNo(L"真的?"), AnswerNo);

    const auto& asked = script.Asked();
    ASSERT_EQ(asked.size(), 6u);
    const struct { PromptKind kind; const wchar_t* title; const wchar_t* text; } expected[] = {
        {PromptKind::Info, L"提示", L"信息"},     {PromptKind::Error, L"错误", L"出错了"},
        {PromptKind::OkCancel, L"提示", L"继续?"}, {PromptKind::YesNo, L"选择", L"删除?"},
        {PromptKind::OkCancel, L"提示", L"再来?"}, {PromptKind::YesNo, L"选择", L"真的?"},
    };
    for (std::size_t i = 0; i < asked.size(); ++i) {
        EXPECT_EQ(asked[i].Kind, expected[i].kind) << i;
        EXPECT_EQ(asked[i].Title, expected[i].title) << i;
        EXPECT_EQ(asked[i].Text, expected[i].text) << i;
    }
}

TEST(Prompt, ScopeEndPutsThePreviousPromptBack) {
    ScriptedPrompt outer, inner;
    ScopedPrompt a(outer);
    {
        ScopedPrompt b(inner);
        ShowInfo(L"inner");
    }
    ShowInfo(L"outer");
    ASSERT_EQ(inner.Asked().size(), 1u);
    ASSERT_EQ(outer.Asked().size(), 1u);
    EXPECT_EQ(outer.Asked()[0].Text, L"outer");
}

// The console program never opens a box: every question is written out and answered
// cautiously, or with Yes/OK when the user said so beforehand.
TEST(Prompt, ConsoleWritesEveryQuestionAndAnswersByTheYesFlag) {
    const struct { bool yes; PromptKind kind; int answer; const wchar_t* written; } cases[] = {
        {false, PromptKind::YesNo, AnswerNo, L"选择: 删除? [no]"},
        {false, PromptKind::OkCancel, AnswerCancel, L"提示: 删除? [cancel]"},
        {false, PromptKind::Info, AnswerOk, L"提示: 删除?"},
        {true, PromptKind::YesNo, AnswerYes, L"选择: 删除? [yes]"},
        {true, PromptKind::OkCancel, AnswerOk, L"提示: 删除? [ok]"},
        {true, PromptKind::Error, AnswerOk, L"错误: 删除?"},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> lines;
        ConsolePrompt console(c.yes, [](void* sink, const std::wstring& line) {
            static_cast<std::vector<std::wstring>*>(sink)->push_back(line);
        }, &lines);
        ScopedPrompt installed(console);
        int answer = 0;
        switch (c.kind) {
        case PromptKind::YesNo: answer = AskYesNo(L"删除?"); break;
        case PromptKind::OkCancel: answer = AskOkCancel(L"删除?"); break;
        case PromptKind::Info: ShowInfo(L"删除?"); answer = AnswerOk; break;
        case PromptKind::Error: ShowError(L"删除?"); answer = AnswerOk; break;
        }
        EXPECT_EQ(answer, c.answer);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], c.written);
    }
}

}  // namespace
}  // namespace tidemark

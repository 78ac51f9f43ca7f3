#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tidemark

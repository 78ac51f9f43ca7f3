#include "system/prompt.h"

#include <windows.h>

namespace tidemark {
namespace {

MessageBoxPrompt& DefaultPrompt() {
    static MessageBoxPrompt prompt;
    return prompt;
}

Prompt* g_prompt = nullptr;

int AskWith(PromptKind kind, const wchar_t* title, const std::wstring& text) {
    return CurrentPrompt().Ask(PromptRequest{kind, title, text});
}

}  // namespace

int MessageBoxPrompt::Ask(const PromptRequest& request) {
    UINT style = 0;
    switch (request.Kind) {
    case PromptKind::Info: style = MB_OK | MB_ICONINFORMATION; break;
    case PromptKind::Error: style = MB_OK | MB_ICONERROR; break;
    case PromptKind::OkCancel: style = MB_OKCANCEL | MB_ICONQUESTION; break;
    case PromptKind::YesNo: style = MB_YESNO | MB_ICONQUESTION; break;
    }
    const int answer = MessageBoxW(static_cast<HWND>(owner_), request.Text.c_str(),
                                   request.Title.c_str(), style);
    return answer == 0 ? CautiousAnswer(request.Kind) : answer;
}

int ConsolePrompt::Ask(const PromptRequest& request) {
    int answer = CautiousAnswer(request.Kind);
    if (answerYes_) answer = request.Kind == PromptKind::YesNo ? AnswerYes : AnswerOk;
    if (writer_) {
        const wchar_t* reply = L"";
        if (request.Kind == PromptKind::YesNo) reply = answer == AnswerYes ? L" [yes]" : L" [no]";
        if (request.Kind == PromptKind::OkCancel) reply = answer == AnswerOk ? L" [ok]" : L" [cancel]";
        writer_(context_, request.Title + L": " + request.Text + reply);
    }
    return answer;
}

int CautiousAnswer(PromptKind kind) {
    switch (kind) {
    case PromptKind::OkCancel: return AnswerCancel;
    case PromptKind::YesNo: return AnswerNo;
    default: return AnswerOk;
    }
}

int ScriptedPrompt::Ask(const PromptRequest& request) {
    asked_.push_back(request);
    if (answers_.empty()) return CautiousAnswer(request.Kind);
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

Prompt* SetPrompt(Prompt* prompt) {
    Prompt* previous = g_prompt;
    g_prompt = prompt;
    return previous;
}

Prompt& CurrentPrompt() { return g_prompt ? *g_prompt : DefaultPrompt(); }

void ShowInfo(const std::wstring& text) { AskWith(PromptKind::Info, L"提示", text); }
void ShowError(const std::wstring& text) { AskWith(PromptKind::Error, L"错误", text); }
int AskOkCancel(const std::wstring& text) { return AskWith(PromptKind::OkCancel, L"提示", text); }
int AskYesNo(const std::wstring& text) { return AskWith(PromptKind::YesNo, L"选择", text); }

}  // namespace tidemark

// The four message boxes of the program, behind one seam: the window program answers with real
// message boxes, tests with scripted answers, the console program with the cautious answer.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace tidemark {

enum class PromptKind { Info, Error, OkCancel, YesNo };

// Button results, as MessageBox returns them.
enum PromptAnswer : int { AnswerOk = 1, AnswerCancel = 2, AnswerYes = 6, AnswerNo = 7 };

struct PromptRequest {
    PromptKind Kind;
    std::wstring Title;
    std::wstring Text;
};

class Prompt {
public:
    virtual ~Prompt() = default;
    virtual int Ask(const PromptRequest& request) = 0;
};

// Real message boxes owned by a window (none until the main window exists).
class MessageBoxPrompt : public Prompt {
public:
    int Ask(const PromptRequest& request) override;
    void SetOwner(void* hwnd) { owner_ = hwnd; }

private:
    void* owner_ = nullptr;
};

// Answers from a script, in order; once the script is used up, the cautious answer
// (OK for notices, Cancel, No). Records every request.
class ScriptedPrompt : public Prompt {
public:
    int Ask(const PromptRequest& request) override;
    void Script(std::initializer_list<int> answers) { answers_.insert(answers_.end(), answers); }
    const std::vector<PromptRequest>& Asked() const { return asked_; }
    void Clear() { asked_.clear(); answers_.clear(); }

private:
    std::deque<int> answers_;
    std::vector<PromptRequest> asked_;
};

// The console program: no window ever opens. Each question is written (title and text) to the
// writer, then answered cautiously, or with Yes / OK when the user said yes beforehand.
class ConsolePrompt : public Prompt {
public:
    using Writer = void (*)(void* context, const std::wstring& line);
    ConsolePrompt(bool answerYes, Writer writer, void* context)
        : answerYes_(answerYes), writer_(writer), context_(context) {}
    int Ask(const PromptRequest& request) override;

private:
    bool answerYes_;
    Writer writer_;
    void* context_;
};

int CautiousAnswer(PromptKind kind);

// The prompt every ShowInfo/ShowError/Ask* call goes to. Defaults to a MessageBoxPrompt
// without owner. The caller keeps ownership of what it installs; returns the previous one.
Prompt* SetPrompt(Prompt* prompt);
Prompt& CurrentPrompt();

void ShowInfo(const std::wstring& text);
void ShowError(const std::wstring& text);
int AskOkCancel(const std::wstring& text);  // 1 OK, 2 Cancel
int AskYesNo(const std::wstring& text);     // 6 Yes, 7 No

// Installs a prompt for the lifetime of a scope and puts the previous one back.
class ScopedPrompt {
public:
    explicit ScopedPrompt(Prompt& prompt) : previous_(SetPrompt(&prompt)) {}
    ~ScopedPrompt() { SetPrompt(previous_); }
    ScopedPrompt(const ScopedPrompt&) = delete;
    ScopedPrompt& operator=(const ScopedPrompt&) = delete;

private:
    Prompt* previous_;
};

}  // namespace tidemark

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

// The system sizes a message box to its text and buttons, never to its caption, so a short
// message cuts "CorvaneTidemark提示" off. Once the box is up it is widened to its caption
// (caption font, the close button and margins), its contents moved along to stay centred.
thread_local HHOOK g_boxHook = nullptr;
constexpr UINT_PTR kWidenTimer = 0x5444;

int CaptionWidth(HWND box) {
    wchar_t caption[256] = {};
    const int length = GetWindowTextW(box, caption, 256);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (length <= 0 || !SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return 0;
    HDC dc = GetDC(box);
    HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, caption, length, &size);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(box, dc);
    return size.cx + 2 * metrics.iCaptionWidth + 4 * GetSystemMetrics(SM_CXFRAME) + 24;
}

// Moves one control of the box along by the amount the box grows on each side.
struct Shift {
    HWND box;
    int by;
};

BOOL CALLBACK ShiftChild(HWND child, LPARAM data) {
    const Shift& s = *reinterpret_cast<const Shift*>(data);
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, s.box, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(child, nullptr, r.left + s.by, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}

void CALLBACK WidenToCaption(HWND box, UINT, UINT_PTR id, DWORD) {
    KillTimer(box, id);
    RECT frame{};
    if (!GetWindowRect(box, &frame)) return;
    const int width = frame.right - frame.left, needed = CaptionWidth(box);
    if (needed <= width) return;
    Shift shift{box, (needed - width) / 2};
    EnumChildWindows(box, ShiftChild, reinterpret_cast<LPARAM>(&shift));
    SetWindowPos(box, nullptr, frame.left - shift.by, frame.top, needed, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

LRESULT CALLBACK OnBoxActivated(int code, WPARAM wParam, LPARAM lParam) {
    const HHOOK hook = g_boxHook;
    if (code == HCBT_ACTIVATE) {
        const HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t className[16] = {};
        GetClassNameW(box, className, 16);
        if (lstrcmpW(className, L"#32770") == 0) {
            // After the box has laid itself out: widened from its own message loop.
            SetTimer(box, kWidenTimer, 0, WidenToCaption);
            UnhookWindowsHookEx(hook);
            g_boxHook = nullptr;
        }
    }
    return CallNextHookEx(hook, code, wParam, lParam);
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
    if (!g_boxHook) g_boxHook = SetWindowsHookExW(WH_CBT, OnBoxActivated, nullptr, GetCurrentThreadId());
    const int answer = MessageBoxW(static_cast<HWND>(owner_), request.Text.c_str(),
                                   request.Title.c_str(), style);
    if (g_boxHook) {
        UnhookWindowsHookEx(g_boxHook);
        g_boxHook = nullptr;
    }
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

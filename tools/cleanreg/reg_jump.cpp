// cleanreg.dll: RegJump opens the registry editor at a key by typing the path into its key
// tree, the way a user would with the keyboard.
#include <windows.h>

#include <string>

#include "cleanreg/reg_jump_core.h"
#include "system/handles.h"

namespace tidemark::cleanreg {
namespace {

constexpr wchar_t kEditorClass[] = L"RegEdit_RegEdit";
constexpr wchar_t kTreeClass[] = L"SysTreeView32";
constexpr DWORD kStartIdleMs = 10000;
// Opening a hive with thousands of subkeys can keep the editor busy for a while; a message
// that gets no answer within this time means the editor is gone or hung, and the walk stops.
constexpr UINT kReplyMs = 30000;

BOOL CALLBACK FindTreeIn(HWND child, LPARAM found) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (lstrcmpiW(name, kTreeClass) != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

// Windows' editor has the tree as a direct child; Wine's keeps it in a pane window.
HWND FindTree(HWND editor) {
    if (HWND tree = FindWindowExW(editor, nullptr, kTreeClass, nullptr)) return tree;
    HWND tree = nullptr;
    EnumChildWindows(editor, FindTreeIn, reinterpret_cast<LPARAM>(&tree));
    return tree;
}

// Started by its full path: a bare "regedit" would first be looked for in the caller's folder
// and the current folder.
void StartEditor() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    const std::wstring program = std::wstring(folder) + L"\\regedit.exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return;
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    WaitForInputIdle(process.get(), kStartIdleMs);
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                               kReplyMs, &ignored) != 0;
}

// Key data as the keyboard would give it: one repeat, the scan code, the extended flag for the
// arrow keys. Wine's tree ignores typed characters whose key data is zero.
LPARAM KeyData(unsigned virtualKey) {
    LPARAM data = 1 | (static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16);
    if (virtualKey == VK_LEFT || virtualKey == VK_RIGHT) data |= 1 << 24;
    return data;
}

void BringForward(HWND editor, HWND tree) {
    ShowWindow(editor, IsIconic(editor) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(editor);
    // SetFocus reaches only windows of this thread's input queue; the editor's tree is in
    // another process, so the queues are joined for the call.
    const DWORD self = GetCurrentThreadId();
    const DWORD owner = GetWindowThreadProcessId(tree, nullptr);
    if (owner != self && AttachThreadInput(self, owner, TRUE)) {
        SetFocus(tree);
        AttachThreadInput(self, owner, FALSE);
    } else {
        SetFocus(tree);
    }
}

void Jump(const char* text) {
    const std::optional<std::string> target = RegJumpTarget(text);
    if (!target) return;

    HWND editor = FindWindowW(kEditorClass, nullptr);
    if (!editor) {
        StartEditor();
        editor = FindWindowW(kEditorClass, nullptr);
        if (!editor) return;
    }
    HWND tree = FindTree(editor);
    if (!tree || !Send(editor, WM_NULL, 0, 0)) return;
    BringForward(editor, tree);

    for (const KeyStep& step : RegJumpKeySteps(AnsiToUtf16(*target))) {
        bool delivered = true;
        switch (step.kind) {
        case KeyStepKind::KeyDown:
            delivered = Send(tree, WM_KEYDOWN, step.value, KeyData(step.value));
            break;
        case KeyStepKind::Char:
            delivered = Send(tree, WM_CHAR, step.value, 1);
            break;
        case KeyStepKind::Pause:
            Sleep(step.value);
            break;
        }
        if (!delivered) return;
    }
}

}  // namespace
}  // namespace tidemark::cleanreg

extern "C" void __cdecl RegJump(const char* text) {
    try {
        tidemark::cleanreg::Jump(text);
    } catch (...) {
        // Nothing may unwind into the caller, which is not C++-aware.
    }
}

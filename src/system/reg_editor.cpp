#include "system/reg_editor.h"

#include <shellapi.h>

#include "system/handles.h"
#include "system/reg_view.h"

namespace tidemark {

namespace {

std::wstring CurrentFolder() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return {};
    std::wstring folder(size, L'\0');
    const DWORD length = GetCurrentDirectoryW(size, folder.data());
    folder.resize(length < size ? length : 0);
    return folder;
}

// Wine's shell moves the caller into the folder it starts a program in and cannot move it back
// to a current folder outside every drive (a program started from a Linux folder): the caller
// would hold that folder, which then cannot be removed. The caller goes back to its own folder,
// or to the system folder when that cannot be entered again.
void ReturnToFolder(const std::wstring& folder) {
    if (CurrentFolder() == folder) return;
    if (!folder.empty() && SetCurrentDirectoryW(folder.c_str())) return;
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH) SetCurrentDirectoryW(system);
}

std::wstring WindowsFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring(L"C:\\Windows");
}

}  // namespace

RegEditRun RunRegEdit(const std::wstring& arguments, const std::wstring& folder, DWORD waitMs) {
    RegEditRun run;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    // A 32-bit program on 64-bit Windows would start the 32-bit editor, which reads every key
    // of a file in the 32-bit view; the files name that view's keys by their Wow6432Node path
    // and are meant for the 64-bit editor.
    const std::wstring editor = ProcessIsWow64() ? WindowsFolder() + L"\\Sysnative\\regedit.exe" : L"RegEdit.exe";
    info.lpFile = editor.c_str();
    info.lpParameters = arguments.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    const std::wstring current = CurrentFolder();
    const BOOL started = ShellExecuteExW(&info);
    ReturnToFolder(current);
    if (!started) return run;
    run.Started = true;
    UniqueHandle process(info.hProcess);
    if (!process) return run;  // started, but nothing to wait for: its end is unknown
    if (WaitForSingleObject(process.get(), waitMs) != WAIT_OBJECT_0) return run;
    run.Ended = GetExitCodeProcess(process.get(), &run.ExitCode) != 0;
    return run;
}

bool ImportRegFile(const std::wstring& file, DWORD waitMs) {
    const std::size_t slash = file.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : file.substr(0, slash);
    const RegEditRun run = RunRegEdit(L"/s \"" + file + L"\"", folder, waitMs);
    return run.Ended && run.ExitCode == 0;
}

}  // namespace tidemark

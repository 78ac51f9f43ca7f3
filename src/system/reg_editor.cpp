#include "system/reg_editor.h"

#include <shellapi.h>

#include "system/handles.h"

namespace tidemark {

RegEditRun RunRegEdit(const std::wstring& arguments, const std::wstring& folder, DWORD waitMs) {
    RegEditRun run;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = L"RegEdit.exe";
    info.lpParameters = arguments.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) return run;
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

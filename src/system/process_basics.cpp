#include "system/process_basics.h"

#include <windows.h>
#include <tlhelp32.h>

#include "system/handles.h"
#include "system/text_case.h"

namespace tidemark {

std::wstring ProcessImagePath(std::uint32_t processId) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return {};
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    return Module32FirstW(snapshot.get(), &module) ? std::wstring(module.szExePath) : std::wstring();
}

std::uint32_t FindShellProcessId(const std::wstring& imagePath) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return 0;
    const std::wstring wanted = UpperCased(imagePath);
    const auto slash = wanted.find_last_of(L'\\');
    const std::wstring wantedName = slash == std::wstring::npos ? wanted : wanted.substr(slash + 1);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        // The name is cheap to compare; only a process of the right name has its modules read.
        std::wstring name = UpperCased(entry.szExeFile);
        const auto cut = name.find_last_of(L'\\');
        if (cut != std::wstring::npos) name = name.substr(cut + 1);
        if (name != wantedName) continue;
        if (UpperCased(ProcessImagePath(entry.th32ProcessID)) == wanted) return entry.th32ProcessID;
    }
    return 0;
}

bool EndProcessOfImage(std::uint32_t processId, const std::wstring& imagePath) {
    if (processId == 0 || processId == GetCurrentProcessId()) return false;
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    if (!process) return false;
    // Checked with the process held open: its id cannot pass to another program meanwhile.
    if (UpperCased(ProcessImagePath(processId)) != UpperCased(imagePath)) return false;
    if (!TerminateProcess(process.get(), 1)) return false;
    WaitForSingleObject(process.get(), 3000);
    return true;
}

}  // namespace tidemark

// Whole-process timings for the benchmarks: a console program run from start to exit, its
// output thrown away.
#pragma once

#include <windows.h>

#include <string>

#include "bench_figures.h"

namespace tidemark::bench {

// Milliseconds from process creation to its end; -1 when it could not be started or ran past
// the limit.
inline double RunToExitMs(const std::wstring& commandLine, DWORD limitMs = 600000) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul;
    si.hStdOutput = nul;
    si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    const double t0 = NowMs();
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &si, &pi);
    double elapsed = -1;
    if (started) {
        if (WaitForSingleObject(pi.hProcess, limitMs) == WAIT_OBJECT_0) elapsed = NowMs() - t0;
        else TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    return elapsed;
}

}  // namespace tidemark::bench

// Prints how long the window program takes to come up and to go, against a trivial window
// measured in the same run, alternately, several rounds:
//   start: process creation until its main window exists, is visible and the process waits for
//          input (the message loop is idle);
//   close: WM_CLOSE posted to that window, once it has settled (a quarter second after it
//          first waited for input, so the timers a start sets for just after it have run), until
//          the process has ended.
// and how long the console program takes from start to exit for a command that needs nothing
// ("--help") and for one that reads the system ("info"), against a console program that does
// nothing.
//   startup_bench [--rounds N] [--program PATH] [--trivial PATH]
// Defaults: Tidemark.exe, tidemark-cli.exe, trivial_window.exe and trivial_console.exe from the
// build tree. Figures only.
#include <windows.h>

#include "bench_figures.h"
#include "process_timing.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

using tidemark::bench::Median;
using tidemark::bench::NowMs;

namespace {

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path, n);
    return text.substr(0, text.find_last_of(L'\\') + 1);
}

struct Target {
    const char* label;
    std::wstring path;
    const wchar_t* windowClass;
};

struct FindData {
    DWORD pid;
    const wchar_t* windowClass;
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM lp) {
    auto* data = reinterpret_cast<FindData*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t name[128] = {};
    GetClassNameW(hwnd, name, 128);
    if (pid == data->pid && !std::wcscmp(name, data->windowClass) && IsWindowVisible(hwnd)) {
        data->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct Timing {
    double start = -1, close = -1;
};

Timing Measure(const Target& target) {
    Timing timing;
    std::wstring commandLine = L"\"" + target.path + L"\"";
    const std::wstring folder = target.path.substr(0, target.path.find_last_of(L'\\'));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const double t0 = NowMs();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return timing;
    FindData data{pi.dwProcessId, target.windowClass, nullptr};
    while (!data.found && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&data));
        if (!data.found) Sleep(1);
    }
    if (data.found) {
        WaitForInputIdle(pi.hProcess, 10000);
        timing.start = NowMs() - t0;
        Sleep(250);
        const double t1 = NowMs();
        PostMessageW(data.found, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0) timing.close = NowMs() - t1;
    }
    TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return timing;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int rounds = 7;
    const std::wstring bench = ExeFolder();
    Target program{"Tidemark", bench + L"..\\..\\src\\app\\Tidemark.exe", L"{C9A5B730-1E5F-49A2-AAD5-025BBD1F43F0}"};
    Target trivial{"trivial window", bench + L"trivial_window.exe", L"TidemarkTrivialWindow"};
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::wcscmp(argv[i], L"--rounds")) rounds = std::max(1, _wtoi(argv[++i]));
        else if (!std::wcscmp(argv[i], L"--program")) program.path = argv[++i];
        else if (!std::wcscmp(argv[i], L"--trivial")) trivial.path = argv[++i];
    }
    std::vector<double> starts[2], closes[2];
    const Target* targets[2] = {&trivial, &program};
    for (int round = -1; round < rounds; ++round) {  // round -1 warms the caches
        for (int t = 0; t < 2; ++t) {
            const Timing timing = Measure(*targets[t]);
            if (timing.start < 0 || timing.close < 0) {
                std::printf("%s did not come up or did not close\n", targets[t]->label);
                return 1;
            }
            if (round < 0) continue;
            starts[t].push_back(timing.start);
            closes[t].push_back(timing.close);
        }
    }
    std::printf("%d rounds, medians in ms      start     close     total\n", rounds);
    for (int t = 0; t < 2; ++t)
        std::printf("  %-24s %9.1f %9.1f %9.1f\n", targets[t]->label, Median(starts[t]), Median(closes[t]),
                    Median(starts[t]) + Median(closes[t]));
    std::printf("  ratio                    %9.2f %9.2f %9.2f   (goals: start <= 2, close <= 2)\n",
                Median(starts[1]) / Median(starts[0]), Median(closes[1]) / Median(closes[0]),
                (Median(starts[1]) + Median(closes[1])) / (Median(starts[0]) + Median(closes[0])));

    // The console program, start to exit.
    const std::wstring cli = L"\"" + bench + L"..\\..\\src\\cli\\tidemark-cli.exe\"";
    const struct {
        const char* label;
        std::wstring line;
    } consoles[] = {
        {"trivial console program", L"\"" + bench + L"trivial_console.exe\""},
        {"tidemark-cli --help", cli + L" --help"},
        {"tidemark-cli info", cli + L" info"},
    };
    std::vector<double> runs[3];
    for (int round = -1; round < rounds; ++round)
        for (int c = 0; c < 3; ++c) {
            const double ms = tidemark::bench::RunToExitMs(consoles[c].line, 60000);
            if (ms < 0) {
                std::printf("%s did not run\n", consoles[c].label);
                return 1;
            }
            if (round >= 0) runs[c].push_back(ms);
        }
    std::printf("%d rounds, medians in ms      start to exit   ratio\n", rounds);
    for (int c = 0; c < 3; ++c)
        std::printf("  %-24s %13.1f %7.2f%s\n", consoles[c].label, Median(runs[c]), Median(runs[c]) / Median(runs[0]),
                    c == 0 ? "" : "   (goal <= 1.3)");
    return 0;
}

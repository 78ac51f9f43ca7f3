// Prints what the long-operation contract costs: the same walk of a folder tree of about
// 100,000 files, each file reported through a sink, run with the window program's pump and with
// the null pump, alternately, several rounds. Also prints the longest time the window's queue
// waited (between two runs of the queue, and between two ticks of a 10 ms timer). Figures only;
// nothing is judged.
//   engine_contract_bench [--rounds N] [--files N]
// The tree is made once under the temporary folder ("tidemark-bench-walk") and kept.
#include <windows.h>

#include "bench_figures.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "app/message_pump.h"
#include "core/engine_contract.h"

using namespace tidemark;

using tidemark::bench::Median;
using tidemark::bench::NowMs;

namespace {

constexpr int kFilesPerFolder = 1000;

std::wstring TreeRoot() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"tidemark-bench-walk";
}

// Makes the tree unless a complete one is there (its last file exists).
bool EnsureTree(const std::wstring& root, int files) {
    const int folders = (files + kFilesPerFolder - 1) / kFilesPerFolder;
    const std::wstring last = root + L"\\d" + std::to_wstring(folders - 1) + L"\\f" +
                              std::to_wstring((files - 1) % kFilesPerFolder) + L".tmp";
    if (GetFileAttributesW(last.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    std::printf("making %d files in %d folders under %ls ...\n", files, folders, root.c_str());
    CreateDirectoryW(root.c_str(), nullptr);
    for (int d = 0, made = 0; d < folders; ++d) {
        const std::wstring folder = root + L"\\d" + std::to_wstring(d);
        CreateDirectoryW(folder.c_str(), nullptr);
        for (int f = 0; f < kFilesPerFolder && made < files; ++f, ++made) {
            const std::wstring file = folder + L"\\f" + std::to_wstring(f) + L".tmp";
            HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE) return false;
            CloseHandle(h);
        }
    }
    return true;
}

struct FileRecord {
    std::wstring path;
    unsigned long long size;
};

class CountingSink final : public Sink<FileRecord> {
public:
    void Found(const FileRecord& record) override {
        ++found;
        bytes += record.size;
    }
    unsigned long found = 0;
    unsigned long long bytes = 0;
};

// A recursive walk, as a scanner does it: stop tested and pump polled per file.
void WalkFolder(const std::wstring& folder, const Operation<FileRecord>& run) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (run.stop.Requested()) break;
        if (data.cFileName[0] == L'.' && (!data.cFileName[1] || (data.cFileName[1] == L'.' && !data.cFileName[2])))
            continue;
        const std::wstring path = folder + L"\\" + data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) WalkFolder(path, run);
        } else {
            run.sink.Found(FileRecord{path, (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
        }
        run.pump.Poll();
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

// The window whose queue the pump serves: a 10 ms timer whose ticks show how long the queue
// waited.
struct TimerWindow {
    HWND hwnd = nullptr;
    double lastTick = 0, longestTickGap = 0;
    unsigned long ticks = 0;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<TimerWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_TIMER && self) {
            const double now = NowMs();
            if (self->lastTick > 0) self->longestTickGap = std::max(self->longestTickGap, now - self->lastTick);
            self->lastTick = now;
            ++self->ticks;
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    bool Create() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TidemarkBenchTimer";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
        if (!hwnd) return false;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return true;
    }
    void Start() {
        lastTick = 0;
        longestTickGap = 0;
        ticks = 0;
        SetTimer(hwnd, 1, 10, nullptr);
    }
    void Stop() { KillTimer(hwnd, 1); }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int rounds = 5, files = 100000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::wcscmp(argv[i], L"--rounds")) rounds = std::max(1, _wtoi(argv[++i]));
        else if (!std::wcscmp(argv[i], L"--files")) files = std::max(1, _wtoi(argv[++i]));
    }
    const std::wstring root = TreeRoot();
    if (!EnsureTree(root, files)) {
        std::printf("could not make the tree under %ls\n", root.c_str());
        return 1;
    }
    TimerWindow window;
    if (!window.Create()) {
        std::printf("could not create a window (is there a display?)\n");
        return 1;
    }
    StopToken stop;
    std::vector<double> nullTimes, pumpTimes;
    DWORD longestPumpGap = 0;
    double longestTickGap = 0;
    unsigned long walked = 0, drains = 0, ticks = 0;
    double draining = 0, pumpedWalks = 0;
    // One walk first to warm the caches; then null and window pump alternately.
    for (int round = -1; round < rounds; ++round) {
        for (const bool withPump : {false, true}) {
            CountingSink sink;
            NullPump nullPump;
            MessagePump messagePump;
            Pump& pump = withPump ? static_cast<Pump&>(messagePump) : nullPump;
            if (withPump) window.Start();
            const double start = NowMs();
            WalkFolder(root, Operation<FileRecord>{sink, pump, stop});
            const double elapsed = NowMs() - start;
            if (withPump) {
                messagePump.Drain();
                window.Stop();
            }
            if (round < 0) continue;
            walked = sink.found;
            (withPump ? pumpTimes : nullTimes).push_back(elapsed);
            if (withPump) {
                longestPumpGap = std::max(longestPumpGap, messagePump.LongestGap());
                longestTickGap = std::max(longestTickGap, window.longestTickGap);
                drains += messagePump.Drains();
                draining += messagePump.DrainingMs();
                pumpedWalks += elapsed;
                ticks += window.ticks;
            }
        }
    }
    const double nullMedian = Median(nullTimes), pumpMedian = Median(pumpTimes);
    std::printf("walk of %lu files, %d rounds each (median, min, max in ms)\n", walked, rounds);
    std::printf("  null pump    %9.1f %9.1f %9.1f\n", nullMedian, *std::min_element(nullTimes.begin(), nullTimes.end()),
                *std::max_element(nullTimes.begin(), nullTimes.end()));
    std::printf("  window pump  %9.1f %9.1f %9.1f\n", pumpMedian, *std::min_element(pumpTimes.begin(), pumpTimes.end()),
                *std::max_element(pumpTimes.begin(), pumpTimes.end()));
    std::printf("  window pump / null pump: %.3f (%+.2f %%)\n", pumpMedian / nullMedian,
                100.0 * (pumpMedian - nullMedian) / nullMedian);
    std::printf("  per file: %.2f us (null), %.2f us (window)\n", 1000.0 * nullMedian / walked,
                1000.0 * pumpMedian / walked);
    std::printf("  fastest walks: window pump / null pump: %.3f\n",
                *std::min_element(pumpTimes.begin(), pumpTimes.end()) / *std::min_element(nullTimes.begin(), nullTimes.end()));
    std::printf("  time inside the window pump: %.1f ms of %.1f ms walked (%.2f %%)\n", draining, pumpedWalks,
                100.0 * draining / pumpedWalks);
    std::printf("  queue runs: %lu in all; longest gap between runs %lu ms\n", drains, longestPumpGap);
    std::printf("  10 ms timer: %lu ticks; longest gap between ticks %.1f ms\n", ticks, longestTickGap);
    return 0;
}

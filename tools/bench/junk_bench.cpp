// The junk scan against a FindFirstFileW walk of the same tree in this process, and the whole
// console scan (tidemark-cli junk scan --root) against a plain walking program (walk_process),
// and what a million listed rows cost. Builds its tree once in the prefix it runs in (C:\tm-junk-bench, about 100,000
// files in 5,000 folders: a name of every built-in type, names that only an 8.3 alias could
// match, paths over 260 characters and, where the system lets it make one, a link looping back
// to the top). Prints figures only.
//
//   wine junk_bench.exe [folder]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_figures.h"
#include "process_timing.h"
#include "junk/junk_scan.h"
#include "settings/settings_store.h"
#include "system/file_ops.h"
#include "system/folder_reader.h"

namespace {

using namespace tidemark;

// Names that match each built-in type, in table order, then names no rule matches and names
// whose long form no pattern matches (their 8.3 alias would look like one).
const wchar_t* const kJunkNames[] = {
    L"a.~tm",        L"b.---",        L"c.^zz",         L"d.ab~",       L"e.ab$",         L"f.tmp",
    L"g._mp",        L"h.%%%",        L"i.@@@",         L"j.$$$",       L"mscreate.dir",  L"file0001.chk",
    L"checklist.ms", L"file1234._dd", L"01234567.nch",  L"k.gid",       L"l.fts",         L"m.ftg",
    L"n.old",        L"o.bak",        L"p.prv",         L"q.wbk",       L"r.xlk",         L"APP.EXE-12AB34CD.pf",
    L"s.pch",        L"t.dmp",        L"u.diz",         L"Thumbs.db",   L"v.err",         L"errorlog.txt",
    L"w.temp",       L"x.___",        L"y.~mp",         L"z.a~b",       L"zz.chk",        L"imagedb.aid",
    L"aa.syd",       L"bb.#Res",      L"cc.cdr_",
};
const wchar_t* const kOtherNames[] = {
    L"report.doc", L"photo.jpg", L"setup.exe", L"readme.txt", L"library.dll", L"index.html",
    L"longfilename_1.tmpx", L"file0longname.chkx", L"checklistfile.txt", L"data.bin",
};

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring text(path, n);
    return text.substr(0, text.find_last_of(L'\\') + 1);
}

bool WriteSmallFile(const std::wstring& path, DWORD size) {
    HANDLE file = CreateFileW(ExtendedPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    static const std::string bytes(4096, 'x');
    DWORD written = 0;
    WriteFile(file, bytes.data(), size, &written, nullptr);
    CloseHandle(file);
    return true;
}

void FillFolder(const std::wstring& folder, unsigned seed, std::uint64_t& files) {
    CreateDirectoryW(ExtendedPath(folder).c_str(), nullptr);
    for (unsigned i = 0; i < 20; ++i) {
        const unsigned k = seed * 20 + i;
        const std::wstring name = i % 2 == 0 ? std::wstring(kJunkNames[k % std::size(kJunkNames)])
                                             : std::wstring(kOtherNames[k % std::size(kOtherNames)]);
        if (WriteSmallFile(folder + L"\\" + std::to_wstring(k % 97) + L"_" + name, 100 + k % 4000)) ++files;
    }
}

// 50 x 10 x 10 leaf folders of 20 files (and the folders above them), a branch deeper than 260
// characters, and a loop when links can be made.
void BuildTree(const std::wstring& top) {
    const std::wstring done = top + L"\\built.marker";
    if (GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    std::printf("building the tree in %ls ...\n", top.c_str());
    std::fflush(stdout);
    CreateDirectoryW(top.c_str(), nullptr);
    std::uint64_t files = 0;
    unsigned seed = 0;
    for (int a = 0; a < 50; ++a) {
        const std::wstring level1 = top + L"\\dir" + std::to_wstring(a);
        CreateDirectoryW(level1.c_str(), nullptr);
        for (int b = 0; b < 10; ++b) {
            const std::wstring level2 = level1 + L"\\sub" + std::to_wstring(b);
            CreateDirectoryW(level2.c_str(), nullptr);
            for (int c = 0; c < 10; ++c) FillFolder(level2 + L"\\leaf" + std::to_wstring(c), seed++, files);
        }
    }
    std::wstring deep = top + L"\\deep";
    for (int i = 0; i < 12; ++i) {
        deep += L"\\" + std::wstring(30, static_cast<wchar_t>(L'a' + i));
        FillFolder(deep, seed++, files);
    }
    using CreateLink = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
    const auto createLink = reinterpret_cast<CreateLink>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateSymbolicLinkW")));
    const bool loop = createLink && createLink((top + L"\\dir0\\loop").c_str(), top.c_str(), 1 /* folder */);
    std::printf("built %llu files; loop link: %s\n", static_cast<unsigned long long>(files),
                loop ? "made" : "not made (make one with ln -s .. dir0/loop)");
    WriteSmallFile(done, 1);
}

struct WalkCount {
    std::uint64_t folders = 0, files = 0;
};

// Every entry once through FindFirstFileW, as a plain program walks a tree; links are not entered.
void BareWalk(const std::wstring& folder, WalkCount& count) {
    ++count.folders;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(ExtendedPath(folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const wchar_t* n = data.cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            BareWalk(folder + n + L"\\", count);
        else
            ++count.files;
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

// Every entry once through the reader the scan uses, sub-folders opened from their parents.
void ReaderWalk(const std::wstring& folder, const FolderReader* parent, std::wstring_view name, WalkCount& count) {
    ++count.folders;
    FolderReader reader;
    if (reader.OpenChild(parent, name, folder)) return;
    std::vector<std::wstring> folders;
    FolderItem item;
    while (reader.Next(item)) {
        if (item.IsLink()) continue;
        if (item.IsFolder()) folders.emplace_back(item.name);
        else ++count.files;
    }
    for (const std::wstring& sub : folders) ReaderWalk(folder + sub + L"\\", &reader, sub, count);
}

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters;
}

double Mb(std::size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring top = argc > 1 ? argv[1] : L"C:\\tm-junk-bench";
    BuildTree(top);
    const std::wstring root = top + L"\\";

    const JunkRuleSet rules = BuildJunkRuleSetFrom(L"", kDefaultTypeStates, 2052);
    JunkScanRequest request{{root}, rules, SystemAppDataFolders()};
    Sink<JunkListed> sink;
    NullPump pump;
    StopToken stop;

    WalkCount warm;
    BareWalk(root, warm);  // the caches warm alike for both
    std::vector<double> bare, native, scan;
    std::size_t listed = 0;
    for (int run = 0; run < 7; ++run) {
        double t = bench::NowMs();
        WalkCount count;
        BareWalk(root, count);
        bare.push_back(bench::NowMs() - t);
        t = bench::NowMs();
        WalkCount nativeCount;
        ReaderWalk(root, nullptr, {}, nativeCount);
        native.push_back(bench::NowMs() - t);
        t = bench::NowMs();
        const JunkScanResult result = ScanJunk(request, {sink, pump, stop});
        scan.push_back(bench::NowMs() - t);
        listed = result.files.size();
    }
    const PROCESS_MEMORY_COUNTERS afterScan = Memory();
    // Where the time goes: the scan's walk with no rule, with the pattern rules only, with the
    // extension rules only.
    auto timed = [&](JunkRuleSet partial) {
        JunkScanRequest r{{root}, std::move(partial), request.excludedFolders};
        std::vector<double> times;
        for (int run = 0; run < 3; ++run) {
            const double t = bench::NowMs();
            ScanJunk(r, {sink, pump, stop});
            times.push_back(bench::NowMs() - t);
        }
        return *std::min_element(times.begin(), times.end());
    };
    JunkRuleSet patternsOnly = rules, extensionsOnly = rules;
    patternsOnly.extensions.clear();
    patternsOnly.extensionDescriptions.clear();
    extensionsOnly.patterns.clear();
    extensionsOnly.patternDescriptions.clear();
    const double noRuleMs = timed(JunkRuleSet{}), patternMs = timed(patternsOnly), extensionMs = timed(extensionsOnly);
    // The fastest runs: the machine may be busy with other work, which only ever adds time.
    const double bareMs = *std::min_element(bare.begin(), bare.end()), scanMs = *std::min_element(scan.begin(), scan.end());
    std::printf("tree: %llu folders, %llu files; the scan lists %zu\n", static_cast<unsigned long long>(warm.folders),
                static_cast<unsigned long long>(warm.files), listed);
    const double nativeMs = *std::min_element(native.begin(), native.end());
    std::printf("in this process, fastest of 7 (median):\n");
    std::printf("  FindFirstFileW walk:        %6.0f ms (%.0f)\n", bareMs, bench::Median(bare));
    std::printf("  the scan's folder reader:   %6.0f ms (%.0f)   ratio %.3f\n", nativeMs, bench::Median(native),
                nativeMs / bareMs);
    std::printf("  junk scan:                  %6.0f ms (%.0f)   ratio %.3f (goal <= 0.95)\n", scanMs,
                bench::Median(scan), scanMs / bareMs);
    std::printf("  the scan with no rule %.0f ms, pattern rules only %.0f ms, extension rules only %.0f ms\n",
                noRuleMs, patternMs, extensionMs);
    // Whole processes, alternately: the console's scan against a plain walking program.
    {
        const std::wstring folder = ExeFolder();
        const std::wstring walk = L"\"" + folder + L"walk_process.exe\" \"" + top + L"\"";
        const std::wstring cli = L"\"" + folder + L"..\\..\\src\\cli\\tidemark-cli.exe\" junk scan --json --root \"" + top + L"\"";
        std::vector<double> walkRuns, cliRuns;
        for (int round = -1; round < 5; ++round) {
            const double w = bench::RunToExitMs(walk), c = bench::RunToExitMs(cli);
            if (w < 0 || c < 0) {
                std::printf("walk_process or tidemark-cli did not run\n");
                break;
            }
            if (round < 0) continue;
            walkRuns.push_back(w);
            cliRuns.push_back(c);
        }
        if (!walkRuns.empty())
            std::printf("whole processes, medians of 5: walk_process %.0f ms, tidemark-cli junk scan %.0f ms, ratio %.3f "
                        "(goal <= 1.0)\n",
                        bench::Median(walkRuns), bench::Median(cliRuns), bench::Median(cliRuns) / bench::Median(walkRuns));
    }
    std::printf("peak memory after the scans: working set %.1f MB, private %.1f MB\n", Mb(afterScan.PeakWorkingSetSize),
                Mb(afterScan.PeakPagefileUsage));

    // A million listed rows, shaped as a scan makes them (twenty files a folder).
    const PROCESS_MEMORY_COUNTERS before = Memory();
    {
        JunkScanResult big;
        big.groups.resize(4);
        for (std::uint32_t i = 0; i < 1000000; ++i) {
            if (i % 20 == 0)
                big.folders.push_back(L"C:\\Documents and Settings\\user\\Local Settings\\Temp\\folder" +
                                      std::to_wstring(i / 20) + L"\\");
            JunkFile file;
            file.folder = static_cast<std::uint32_t>(big.folders.size() - 1);
            file.group = i % 4;
            file.centiKb = i % 5000;
            file.name = L"~WRL" + std::to_wstring(i) + L".tmp";
            big.files.push_back(std::move(file));
            big.groups[i % 4].files.push_back(i);
        }
        const PROCESS_MEMORY_COUNTERS after = Memory();
        std::printf("1,000,000 listed rows: %.1f MB private (goal <= 400 MB)\n",
                    Mb(after.PagefileUsage - before.PagefileUsage));
    }
    std::printf("peak memory of the whole run: working set %.1f MB, private %.1f MB\n",
                Mb(Memory().PeakWorkingSetSize), Mb(Memory().PeakPagefileUsage));
    return 0;
}

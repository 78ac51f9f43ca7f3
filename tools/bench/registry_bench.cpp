// The registry's thorough search (category 3) against a bare walk of the same keys: builds a
// hive of about 50,000 keys with string values below HKEY_CURRENT_USER\Software\TidemarkBench
// (kept for the next run; "--remove" deletes it), a share of them naming files that are gone,
// then times each walk several times and prints the medians and their ratio. Run it in the
// test prefix. Prints figures only.
#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_figures.h"
#include "registry/registry_scan.h"
#include "system/handles.h"

using namespace tidemark;

namespace {

const wchar_t kBenchKey[] = L"Software\\TidemarkBench";
constexpr int kTop = 50, kMid = 100, kLeaf = 10;  // 50 + 5,000 + 50,000 keys
constexpr wchar_t kDoneMarker[] = L"built";

void SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool Built() {
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kBenchKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    return RegQueryValueExW(key.get(), kDoneMarker, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Leaf values: a path to a missing file (one leaf in four), an existing file, plain text and a
// number, so the judgement sees every shape it meets in a real hive.
void Build() {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring existing = std::wstring(system) + L"\\kernel32.dll";
    SHDeleteKeyW(HKEY_CURRENT_USER, kBenchKey);
    const double start = bench::NowMs();
    int leaves = 0;
    for (int t = 0; t < kTop; ++t) {
        for (int m = 0; m < kMid; ++m) {
            const std::wstring mid = std::wstring(kBenchKey) + L"\\Vendor" + std::to_wstring(t) + L"\\Product" + std::to_wstring(m);
            UniqueHKey midKey;
            RegCreateKeyExW(HKEY_CURRENT_USER, mid.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, midKey.put(), nullptr);
            SetText(midKey.get(), L"Version", L"1." + std::to_wstring(m));
            for (int l = 0; l < kLeaf; ++l, ++leaves) {
                UniqueHKey leaf;
                RegCreateKeyExW(midKey.get(), (L"Setting" + std::to_wstring(l)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, leaf.put(), nullptr);
                if (leaves % 4 == 0)
                    SetText(leaf.get(), L"File", L"C:\\TidemarkBenchGone\\app" + std::to_wstring(t) + L"\\file" +
                                                     std::to_wstring(leaves) + L".dll");
                else if (leaves % 4 == 1)
                    SetText(leaf.get(), L"File", existing);
                else
                    SetText(leaf.get(), L"Text", L"some setting text " + std::to_wstring(leaves));
                const DWORD number = static_cast<DWORD>(leaves);
                RegSetValueExW(leaf.get(), L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
            }
        }
    }
    UniqueHKey top;
    RegOpenKeyExW(HKEY_CURRENT_USER, kBenchKey, 0, KEY_ALL_ACCESS, top.put());
    SetText(top.get(), kDoneMarker, L"yes");
    std::printf("built %d keys with %d string values in %.1f s\n", kTop + kTop * kMid + leaves,
                kTop * kMid + leaves, (bench::NowMs() - start) / 1000);
}

// The floor: open each key, list its subkeys and its values by name, nothing else.
void BareWalk(HKEY parent, bool withData, std::size_t& keys) {
    ++keys;
    std::vector<wchar_t> name(256);
    std::vector<BYTE> data(4096);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size()), type = 0, size = static_cast<DWORD>(data.size());
        const LONG rc = withData ? RegEnumValueW(parent, i, name.data(), &length, nullptr, &type, data.data(), &size)
                                 : RegEnumValueW(parent, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) break;
    }
    std::vector<std::wstring> subKeys;
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(parent, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subKeys.emplace_back(name.data(), length);
    }
    for (const std::wstring& sub : subKeys) {
        UniqueHKey child;
        if (RegOpenKeyExW(parent, sub.c_str(), 0, KEY_READ, child.put()) == ERROR_SUCCESS) BareWalk(child.get(), withData, keys);
    }
}

double TimeBare(bool withData, std::size_t& keys) {
    const double start = bench::NowMs();
    keys = 0;
    UniqueHKey top;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kBenchKey, 0, KEY_READ, top.put()) == ERROR_SUCCESS) BareWalk(top.get(), withData, keys);
    return bench::NowMs() - start;
}

struct Counter final : Sink<TDataRegItems> {
    void Found(const TDataRegItems&) override { ++found; }
    std::size_t found = 0;
};

double TimeScan(std::size_t& found) {
    const std::vector<TDataRegDefault> categories = RegistryCategories(0x0804);
    Counter counter;
    NullPump pump;
    StopToken stop;
    SystemPathProbe probe;
    RegScanRun run{counter, pump, stop, probe, categories};
    const double start = bench::NowMs();
    ScanMissingFileData(HKEY_CURRENT_USER, kBenchKey, run);
    found = counter.found;
    return bench::NowMs() - start;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wstring(argv[1]) == L"--remove") {
        SHDeleteKeyW(HKEY_CURRENT_USER, kBenchKey);
        std::printf("removed\n");
        return 0;
    }
    const int runs = argc > 1 ? _wtoi(argv[1]) : 5;
    if (!Built()) Build();
    std::vector<double> scan, bare, bareData;
    std::size_t found = 0, keys = 0;
    for (int i = 0; i < runs; ++i) {
        bare.push_back(TimeBare(false, keys));
        bareData.push_back(TimeBare(true, keys));
        scan.push_back(TimeScan(found));
    }
    const double s = bench::Median(scan), b = bench::Median(bare), bd = bench::Median(bareData);
    std::printf("keys walked:                  %zu (%d runs each, medians)\n", keys, runs);
    std::printf("bare walk, names only:        %8.1f ms\n", b);
    std::printf("bare walk, names and data:    %8.1f ms\n", bd);
    std::printf("category-3 scan:              %8.1f ms (%zu findings)\n", s, found);
    std::printf("ratio scan / bare names-only: %8.2f\n", s / b);
    std::printf("ratio scan / bare with data:  %8.2f\n", s / bd);
    return 0;
}

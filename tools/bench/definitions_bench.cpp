// The cost of the definition set at start-up: deciphering every definition the program carries
// and building the whole set from it, as the window does before it becomes usable. The program
// is asked to carry its own copy of the set (the same resources as Tidemark.exe).
#include <cstdio>

#include "bench_figures.h"
#include "engine/definition_store.h"
#include "engine/sealed_store.h"
#include "engine/sealed_text.h"
#include "engine/store_keys.h"

using namespace tidemark;

int wmain() {
    const std::vector<std::wstring> names = DefinitionResourceNames(nullptr);
    if (names.empty()) {
        std::printf("no definitions carried\n");
        return 1;
    }
    constexpr int kRuns = 21;
    std::vector<double> decipher, build;
    std::size_t definitions = 0, bytes = 0;
    for (int run = 0; run < kRuns; ++run) {
        double start = bench::NowMs();
        bytes = 0;
        for (const std::wstring& name : names) {
            const auto text = ReadSealedResource(nullptr, L"V", name.c_str(), DefinitionKey(name, kDefinitionKeySource));
            bytes += text ? text->size() : 0;
        }
        decipher.push_back(bench::NowMs() - start);
        start = bench::NowMs();
        const auto set = DefinitionSet::Load(nullptr, DefaultCleanHost(), nullptr);
        build.push_back(bench::NowMs() - start);
        definitions = set ? set->Count() : 0;
    }
    std::printf("definitions: %zu resources, %zu bytes enciphered\n", definitions, bytes);
    std::printf("decipher only:          median %.2f ms, fastest %.2f ms (%d runs)\n", bench::Median(decipher),
                *std::min_element(decipher.begin(), decipher.end()), kRuns);
    std::printf("decipher and build set: median %.2f ms, fastest %.2f ms (goal: 20 ms)\n", bench::Median(build),
                *std::min_element(build.begin(), build.end()));
    // A full set of the size the program was designed for carries 302 definitions.
    const double each = bench::Median(build) / static_cast<double>(names.size());
    std::printf("per definition: %.3f ms; 302 definitions of this size: about %.1f ms\n", each, each * 302);
    return 0;
}

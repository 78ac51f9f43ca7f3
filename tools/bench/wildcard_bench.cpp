// How long the in-memory wildcard test takes per entry: the built-in junk patterns against
// 100 000 names shaped like a temporary folder's, in both dialects. Prints figures only.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "junk/wildcard.h"

namespace {

using tidemark::WildcardDialect;
using tidemark::WildcardPattern;

struct Name {
    std::wstring name;
    std::wstring alias;
};

// A fixed sequence, so every run measures the same names.
class Lcg {
public:
    std::uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    std::uint32_t Below(std::uint32_t n) { return Next() % n; }

private:
    std::uint32_t state_ = 12345;
};

std::vector<Name> MakeNames(std::size_t count) {
    static const wchar_t* const stems[] = {L"report", L"~WRL0001", L"setup", L"file0", L"Thumbs",
                                           L"checklist", L"data", L"NOTEPAD.EXE-", L"中文文件",
                                           L"0", L"a", L"mscreate", L"longfilename_with_words"};
    static const wchar_t* const extensions[] = {L".tmp", L".TMP", L".~tm", L".log", L".db",
                                                L".chk", L"._dd", L".nch", L".pf", L".de~",
                                                L".ab$", L".d~e", L"", L".html", L".tar.gz",
                                                L".^jp"};
    Lcg random;
    std::vector<Name> names;
    names.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Name n;
        n.name = stems[random.Below(std::size(stems))];
        const std::uint32_t digits = random.Below(6);
        for (std::uint32_t d = 0; d < digits; ++d) n.name += static_cast<wchar_t>(L'0' + random.Below(10));
        n.name += extensions[random.Below(std::size(extensions))];
        // Names past 8.3 carry an alias, as the walk reports it.
        if (n.name.size() > 12) n.alias = L"ABCDEF~1.TMP";
        names.push_back(std::move(n));
    }
    return names;
}

}  // namespace

int main() {
    const wchar_t* const patterns[] = {L"*.~*",       L"*.^*",         L"*.??~",     L"*.??$",
                                       L"mscreate.dir", L"file0*.chk",  L"checklist.m*",
                                       L"file????._dd", L"0???????.nch", L"*exe-*.pf",
                                       L"Thumbs.db",  L"errorlog.txt", L"*.?~?",     L"imagedb.aid"};
    const std::vector<Name> names = MakeNames(100000);

    for (const WildcardDialect dialect : {WildcardDialect::Windows, WildcardDialect::Wine}) {
        std::printf("%s dialect, %zu names\n", dialect == WildcardDialect::Windows ? "Windows" : "Wine",
                    names.size());
        double totalNs = 0;
        std::size_t totalTests = 0;
        for (const wchar_t* text : patterns) {
            const WildcardPattern pattern(text, dialect);
            std::size_t matched = 0;
            const auto start = std::chrono::steady_clock::now();
            for (const Name& n : names) matched += pattern.Matches(n.name, n.alias);
            const auto ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
            totalNs += ns;
            totalTests += names.size();
            std::printf("  %-14ls %7.1f ns per name  (%zu matched)\n", text, ns / names.size(), matched);
        }
        std::printf("  all %zu patterns: %.1f ns per name and pattern, %.2f ms per 100 000 names\n",
                    std::size(patterns), totalNs / totalTests, totalNs / 1e6);
    }
    return 0;
}

// File-name wildcards as the system's file search (FindFirstFile with folder + "\" + pattern)
// applies them, so a scan can walk a folder once and test each entry against every pattern in
// memory, getting exactly the entries one search per pattern would have returned.
//
// Pure text: no Windows headers, so it builds and can be fuzzed natively too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tidemark {

// Whose file search a pattern is read by. Windows rewrites "?", "*." and ".?"/".*" into the
// old DOS wildcards before its file systems see them ("file????._dd" also selects "file1._dd",
// "*." selects only names without an extension). Wine 8 does not, and has quirks of its own
// (see wildcard.cpp). Windows is what a rule means to the people who write them; Wine is
// there to reproduce Wine's search exactly, and selects every entry for "*." (Wine drops the
// dot), so it is not the one to decide deletions with.
enum class WildcardDialect { Windows, Wine };

// The upper-casing the system's name comparison uses: the simple Unicode 14 upper-case
// mappings of the Basic Multilingual Plane whose capital maps back to the same small letter
// (so not final sigma, dotless i, long s, the micro sign or the title-case digraphs). This is
// Wine 8's table character for character. Windows takes the table of the volume, which for
// ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and fullwidth Latin is the same; letters
// given case in later Unicode versions (Georgian Mtavruli, Cherokee small letters, parts of
// Latin Extended-B to -E) may stay unmapped there. Surrogates and CJK have no case.
wchar_t UpcaseNameChar(wchar_t c);

// One pattern, prepared once and tested against many entries.
class WildcardPattern {
public:
    explicit WildcardPattern(std::wstring_view pattern,
                             WildcardDialect dialect = WildcardDialect::Windows);

    // True when the system's search with this pattern would return the entry whose name is
    // longName and whose 8.3 alias (WIN32_FIND_DATAW::cAlternateFileName, empty when it has
    // none) is shortName. A pattern naming no entry of the folder itself (empty, "." or "..",
    // or one with a path separator) matches nothing.
    bool Matches(std::wstring_view longName, std::wstring_view shortName = {}) const;

private:
    enum class Op : std::uint8_t { Literal, Star, DosStar, DosQm, DosDot, AnyOne };

    bool MatchesName(std::wstring_view name) const;
    bool MatchesDos(std::wstring_view name) const;
    bool MatchesDosLong(std::wstring_view name) const;
    bool MatchesWine(std::wstring_view name) const;

    WildcardDialect dialect_;
    bool selectsNothing_ = false;
    std::vector<Op> ops_;         // one per pattern character after the system's rewriting
    std::wstring chars_;          // each op's upper-cased character (none for DOS wildcards)
    // Bit sets over the ops for the Windows dialect when they fit 64 bits (one bit is the end).
    bool fitsWord_ = false;
    std::uint64_t star_ = 0, dosStar_ = 0, dosQm_ = 0, dosDot_ = 0;
    std::uint64_t asciiLiteral_[128] = {};
    std::vector<std::pair<wchar_t, std::uint64_t>> otherLiteral_;
};

// One-off form of WildcardPattern(pattern, dialect).Matches(longName, shortName).
bool WildcardMatches(std::wstring_view pattern, std::wstring_view longName,
                     std::wstring_view shortName = {},
                     WildcardDialect dialect = WildcardDialect::Windows);

}  // namespace tidemark

#include "junk/wildcard.h"

#include <algorithm>
#include <iterator>

namespace tidemark {
namespace {

// Lower-case letters and the distance to their capital, as runs: every code point from first
// to last, or every other one (step 2) in the blocks where capitals and small letters alternate.
struct CaseRun {
    std::uint16_t first;
    std::uint16_t last;
    std::int32_t delta;
    std::uint8_t step;
};

// Generated from the Unicode 14 character database: each simple upper-case mapping whose
// capital lower-cases back to the same letter. ASCII is handled before the table is consulted.
constexpr CaseRun kCaseRuns[] = {
    {0x00E0, 0x00F6, -32, 1}, {0x00F8, 0x00FE, -32, 1}, {0x00FF, 0x00FF, 121, 1},
    {0x0101, 0x012F, -1, 2}, {0x0133, 0x0137, -1, 2}, {0x013A, 0x0148, -1, 2},
    {0x014B, 0x0177, -1, 2}, {0x017A, 0x017E, -1, 2}, {0x0180, 0x0180, 195, 1},
    {0x0183, 0x0185, -1, 2}, {0x0188, 0x0188, -1, 1}, {0x018C, 0x018C, -1, 1},
    {0x0192, 0x0192, -1, 1}, {0x0195, 0x0195, 97, 1}, {0x0199, 0x0199, -1, 1},
    {0x019A, 0x019A, 163, 1}, {0x019E, 0x019E, 130, 1}, {0x01A1, 0x01A5, -1, 2},
    {0x01A8, 0x01A8, -1, 1}, {0x01AD, 0x01AD, -1, 1}, {0x01B0, 0x01B0, -1, 1},
    {0x01B4, 0x01B6, -1, 2}, {0x01B9, 0x01B9, -1, 1}, {0x01BD, 0x01BD, -1, 1},
    {0x01BF, 0x01BF, 56, 1}, {0x01C6, 0x01C6, -2, 1}, {0x01C9, 0x01C9, -2, 1},
    {0x01CC, 0x01CC, -2, 1}, {0x01CE, 0x01DC, -1, 2}, {0x01DD, 0x01DD, -79, 1},
    {0x01DF, 0x01EF, -1, 2}, {0x01F3, 0x01F3, -2, 1}, {0x01F5, 0x01F5, -1, 1},
    {0x01F9, 0x021F, -1, 2}, {0x0223, 0x0233, -1, 2}, {0x023C, 0x023C, -1, 1},
    {0x023F, 0x0240, 10815, 1}, {0x0242, 0x0242, -1, 1}, {0x0247, 0x024F, -1, 2},
    {0x0250, 0x0250, 10783, 1}, {0x0251, 0x0251, 10780, 1}, {0x0252, 0x0252, 10782, 1},
    {0x0253, 0x0253, -210, 1}, {0x0254, 0x0254, -206, 1}, {0x0256, 0x0257, -205, 1},
    {0x0259, 0x0259, -202, 1}, {0x025B, 0x025B, -203, 1}, {0x025C, 0x025C, 42319, 1},
    {0x0260, 0x0260, -205, 1}, {0x0261, 0x0261, 42315, 1}, {0x0263, 0x0263, -207, 1},
    {0x0265, 0x0265, 42280, 1}, {0x0266, 0x0266, 42308, 1}, {0x0268, 0x0268, -209, 1},
    {0x0269, 0x0269, -211, 1}, {0x026A, 0x026A, 42308, 1}, {0x026B, 0x026B, 10743, 1},
    {0x026C, 0x026C, 42305, 1}, {0x026F, 0x026F, -211, 1}, {0x0271, 0x0271, 10749, 1},
    {0x0272, 0x0272, -213, 1}, {0x0275, 0x0275, -214, 1}, {0x027D, 0x027D, 10727, 1},
    {0x0280, 0x0280, -218, 1}, {0x0282, 0x0282, 42307, 1}, {0x0283, 0x0283, -218, 1},
    {0x0287, 0x0287, 42282, 1}, {0x0288, 0x0288, -218, 1}, {0x0289, 0x0289, -69, 1},
    {0x028A, 0x028B, -217, 1}, {0x028C, 0x028C, -71, 1}, {0x0292, 0x0292, -219, 1},
    {0x029D, 0x029D, 42261, 1}, {0x029E, 0x029E, 42258, 1}, {0x0371, 0x0373, -1, 2},
    {0x0377, 0x0377, -1, 1}, {0x037B, 0x037D, 130, 1}, {0x03AC, 0x03AC, -38, 1},
    {0x03AD, 0x03AF, -37, 1}, {0x03B1, 0x03C1, -32, 1}, {0x03C3, 0x03CB, -32, 1},
    {0x03CC, 0x03CC, -64, 1}, {0x03CD, 0x03CE, -63, 1}, {0x03D7, 0x03D7, -8, 1},
    {0x03D9, 0x03EF, -1, 2}, {0x03F2, 0x03F2, 7, 1}, {0x03F3, 0x03F3, -116, 1},
    {0x03F8, 0x03F8, -1, 1}, {0x03FB, 0x03FB, -1, 1}, {0x0430, 0x044F, -32, 1},
    {0x0450, 0x045F, -80, 1}, {0x0461, 0x0481, -1, 2}, {0x048B, 0x04BF, -1, 2},
    {0x04C2, 0x04CE, -1, 2}, {0x04CF, 0x04CF, -15, 1}, {0x04D1, 0x052F, -1, 2},
    {0x0561, 0x0586, -48, 1}, {0x10D0, 0x10FA, 3008, 1}, {0x10FD, 0x10FF, 3008, 1},
    {0x13F8, 0x13FD, -8, 1}, {0x1D79, 0x1D79, 35332, 1}, {0x1D7D, 0x1D7D, 3814, 1},
    {0x1D8E, 0x1D8E, 35384, 1}, {0x1E01, 0x1E95, -1, 2}, {0x1EA1, 0x1EFF, -1, 2},
    {0x1F00, 0x1F07, 8, 1}, {0x1F10, 0x1F15, 8, 1}, {0x1F20, 0x1F27, 8, 1},
    {0x1F30, 0x1F37, 8, 1}, {0x1F40, 0x1F45, 8, 1}, {0x1F51, 0x1F57, 8, 2},
    {0x1F60, 0x1F67, 8, 1}, {0x1F70, 0x1F71, 74, 1}, {0x1F72, 0x1F75, 86, 1},
    {0x1F76, 0x1F77, 100, 1}, {0x1F78, 0x1F79, 128, 1}, {0x1F7A, 0x1F7B, 112, 1},
    {0x1F7C, 0x1F7D, 126, 1}, {0x1F80, 0x1F87, 8, 1}, {0x1F90, 0x1F97, 8, 1},
    {0x1FA0, 0x1FA7, 8, 1}, {0x1FB0, 0x1FB1, 8, 1}, {0x1FB3, 0x1FB3, 9, 1},
    {0x1FC3, 0x1FC3, 9, 1}, {0x1FD0, 0x1FD1, 8, 1}, {0x1FE0, 0x1FE1, 8, 1},
    {0x1FE5, 0x1FE5, 7, 1}, {0x1FF3, 0x1FF3, 9, 1}, {0x214E, 0x214E, -28, 1},
    {0x2170, 0x217F, -16, 1}, {0x2184, 0x2184, -1, 1}, {0x24D0, 0x24E9, -26, 1},
    {0x2C30, 0x2C5F, -48, 1}, {0x2C61, 0x2C61, -1, 1}, {0x2C65, 0x2C65, -10795, 1},
    {0x2C66, 0x2C66, -10792, 1}, {0x2C68, 0x2C6C, -1, 2}, {0x2C73, 0x2C73, -1, 1},
    {0x2C76, 0x2C76, -1, 1}, {0x2C81, 0x2CE3, -1, 2}, {0x2CEC, 0x2CEE, -1, 2},
    {0x2CF3, 0x2CF3, -1, 1}, {0x2D00, 0x2D25, -7264, 1}, {0x2D27, 0x2D27, -7264, 1},
    {0x2D2D, 0x2D2D, -7264, 1}, {0xA641, 0xA66D, -1, 2}, {0xA681, 0xA69B, -1, 2},
    {0xA723, 0xA72F, -1, 2}, {0xA733, 0xA76F, -1, 2}, {0xA77A, 0xA77C, -1, 2},
    {0xA77F, 0xA787, -1, 2}, {0xA78C, 0xA78C, -1, 1}, {0xA791, 0xA793, -1, 2},
    {0xA794, 0xA794, 48, 1}, {0xA797, 0xA7A9, -1, 2}, {0xA7B5, 0xA7C3, -1, 2},
    {0xA7C8, 0xA7CA, -1, 2}, {0xA7D1, 0xA7D1, -1, 1}, {0xA7D7, 0xA7D9, -1, 2},
    {0xA7F6, 0xA7F6, -1, 1}, {0xAB53, 0xAB53, -928, 1}, {0xAB70, 0xABBF, -38864, 1},
    {0xFF41, 0xFF5A, -32, 1},
};

constexpr std::uint64_t Bit(std::size_t index) { return std::uint64_t{1} << index; }

// The states reachable from `states` through ops that can match nothing at this point of the
// name: each run of such ops is crossed by one carry ((run + entries) ^ run keeps every bit
// from the lowest entry to just past the run).
constexpr std::uint64_t Closure(std::uint64_t states, std::uint64_t skippable) {
    return states | ((skippable + (states & skippable)) ^ skippable);
}

}  // namespace

wchar_t UpcaseNameChar(wchar_t c) {
    const auto code = static_cast<std::uint32_t>(c);
    if (code < 0x80) return (code >= 'a' && code <= 'z') ? static_cast<wchar_t>(code - 32) : c;
    if (code > 0xFFFF) return c;
    const auto* run = std::upper_bound(std::begin(kCaseRuns), std::end(kCaseRuns), code,
                                       [](std::uint32_t value, const CaseRun& r) { return value < r.first; });
    if (run == std::begin(kCaseRuns)) return c;
    --run;
    if (code > run->last || (code - run->first) % run->step != 0) return c;
    return static_cast<wchar_t>(static_cast<std::int32_t>(code) + run->delta);
}

WildcardPattern::WildcardPattern(std::wstring_view pattern, WildcardDialect dialect)
    : dialect_(dialect) {
    // The system reads the pattern as a C string, then drops the trailing dots and spaces of
    // the last path component before any matching ("*." reaches the file system as "*").
    pattern = pattern.substr(0, pattern.find(L'\0'));
    const bool endsInDot = !pattern.empty() && pattern.back() == L'.';
    while (!pattern.empty() && (pattern.back() == L'.' || pattern.back() == L' ')) {
        pattern.remove_suffix(1);
    }
    // What is left of ".", ".." or "sub\x" names the folder, its parent or another folder:
    // never an entry of the folder being walked.
    if (pattern.empty() || pattern.find_first_of(L"\\/") != std::wstring_view::npos) {
        selectsNothing_ = true;
        return;
    }

    auto add = [this](Op op, wchar_t c = 0) {
        ops_.push_back(op);
        chars_.push_back(UpcaseNameChar(c));
    };

    if (dialect_ == WildcardDialect::Wine) {
        // '*', and '?' or '>' for one character. These keep their character: Wine's search
        // looks for the character after a star literally, '?' included.
        for (wchar_t c : pattern) {
            if (c == L'*') add(Op::Star);
            else if (c == L'?' || c == L'>') add(Op::AnyOne, c);
            else add(Op::Literal, c);
        }
        return;
    }

    // Windows rewrites the pattern for its file systems: "*.*" becomes "*"; every '?' becomes
    // DOS_QM; a '.' before '?' or '*' becomes DOS_DOT; a '*' before '.' becomes DOS_STAR, and
    // so does a final '*' whose dot the path rules took away (the "*." of names without an
    // extension). '<', '>' and '"' typed in the pattern already are those three.
    if (pattern == L"*.*") {
        add(Op::Star);
    } else {
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            const wchar_t c = pattern[i];
            const wchar_t next = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
            switch (c) {
                case L'?': add(Op::DosQm); break;
                case L'*': add(next == L'.' ? Op::DosStar : Op::Star); break;
                case L'.':
                    if (next == L'?' || next == L'*') add(Op::DosDot);
                    else add(Op::Literal, c);
                    break;
                case L'<': add(Op::DosStar); break;
                case L'>': add(Op::DosQm); break;
                case L'"': add(Op::DosDot); break;
                default: add(Op::Literal, c); break;
            }
        }
        if (endsInDot && ops_.back() == Op::Star) ops_.back() = Op::DosStar;
    }

    // One bit per op and one for the end.
    fitsWord_ = ops_.size() < 64;
    if (!fitsWord_) return;
    for (std::size_t i = 0; i < ops_.size(); ++i) {
        switch (ops_[i]) {
            case Op::Star: star_ |= Bit(i); break;
            case Op::DosStar: dosStar_ |= Bit(i); break;
            case Op::DosQm: dosQm_ |= Bit(i); break;
            case Op::DosDot: dosDot_ |= Bit(i); break;
            case Op::AnyOne: break;
            case Op::Literal: {
                const wchar_t c = chars_[i];
                if (static_cast<std::uint32_t>(c) < 128) {
                    asciiLiteral_[c] |= Bit(i);
                } else {
                    auto it = std::find_if(otherLiteral_.begin(), otherLiteral_.end(),
                                           [c](const auto& entry) { return entry.first == c; });
                    if (it == otherLiteral_.end()) otherLiteral_.emplace_back(c, Bit(i));
                    else it->second |= Bit(i);
                }
                break;
            }
        }
    }
}

bool WildcardPattern::Matches(std::wstring_view longName, std::wstring_view shortName) const {
    if (selectsNothing_) return false;
    // The file systems test the alias as well, so "*.htm" also finds "page.html" (PAGE~1.HTM).
    return MatchesName(longName) || (!shortName.empty() && MatchesName(shortName));
}

bool WildcardPattern::MatchesName(std::wstring_view name) const {
    if (name.empty()) return false;
    if (dialect_ == WildcardDialect::Wine) return MatchesWine(name);
    return fitsWord_ ? MatchesDos(name) : MatchesDosLong(name);
}

// The file systems' matching of a rewritten pattern, run as a set of pattern positions:
//   '*'      any characters;
//   DOS_STAR any characters except the last dot of the name;
//   DOS_QM   one character, or nothing at a dot or at the end of the name;
//   DOS_DOT  a dot, or nothing at the end of the name.
bool WildcardPattern::MatchesDos(std::wstring_view name) const {
    const std::size_t lastDot = name.rfind(L'.');
    const std::uint64_t alwaysSkippable = star_ | dosStar_;
    std::uint64_t states = 1;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = UpcaseNameChar(name[i]);
        const bool dot = c == L'.';
        states = Closure(states, dot ? alwaysSkippable | dosQm_ : alwaysSkippable);
        std::uint64_t next = states & star_;
        if (!dot || i != lastDot) next |= states & dosStar_;
        next |= ((states & (dot ? dosDot_ : dosQm_)) << 1);
        std::uint64_t literal = 0;
        if (static_cast<std::uint32_t>(c) < 128) {
            literal = asciiLiteral_[c];
        } else {
            for (const auto& [ch, bits] : otherLiteral_) {
                if (ch == c) literal = bits;
            }
        }
        next |= (states & literal) << 1;
        states = next;
        if (states == 0) return false;
    }
    states = Closure(states, alwaysSkippable | dosQm_ | dosDot_);
    return (states & Bit(ops_.size())) != 0;
}

// The same rules for patterns too long for one word of states.
bool WildcardPattern::MatchesDosLong(std::wstring_view name) const {
    const std::size_t count = ops_.size();
    const std::size_t lastDot = name.rfind(L'.');
    std::vector<char> states(count + 1, 0), next(count + 1, 0);
    states[0] = 1;
    // One ascending pass follows chains of skippable ops.
    auto close = [&](bool dot, bool end) {
        for (std::size_t p = 0; p < count; ++p) {
            if (!states[p]) continue;
            const Op op = ops_[p];
            if (op == Op::Star || op == Op::DosStar || (op == Op::DosQm && (dot || end)) ||
                (op == Op::DosDot && end)) {
                states[p + 1] = 1;
            }
        }
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = UpcaseNameChar(name[i]);
        const bool dot = c == L'.';
        close(dot, false);
        std::fill(next.begin(), next.end(), 0);
        bool any = false;
        for (std::size_t p = 0; p < count; ++p) {
            if (!states[p]) continue;
            std::size_t to = count + 1;
            switch (ops_[p]) {
                case Op::Star: to = p; break;
                case Op::DosStar: if (!dot || i != lastDot) to = p; break;
                case Op::DosQm: if (!dot) to = p + 1; break;
                case Op::DosDot: if (dot) to = p + 1; break;
                case Op::AnyOne: to = p + 1; break;
                case Op::Literal: if (chars_[p] == c) to = p + 1; break;
            }
            if (to <= count) {
                next[to] = 1;
                any = true;
            }
        }
        if (!any) return false;
        states.swap(next);
    }
    close(false, true);
    return states[count] != 0;
}

// Wine 8's search: '*' is any characters, '?' (and '>') exactly one; after the name has run
// out, the rest of the pattern may only be dots and stars. Its star is a single backtracking
// scan, which misses some names a full match would find: after a star it skips to the next
// occurrence of the following pattern character taken literally (so "*?" matches nothing),
// when the pattern ends on '?' before the name does it gives up instead of retrying, and
// after a full match that leaves name over it goes on from there instead of from the next
// start ("*aa" does not find "aaa"). Reproducing that search is this dialect's purpose,
// so these stay.
// One thing an entry-by-entry test cannot copy: for a pattern without '*' or '?', Wine
// returns only the first matching entry, as if the pattern were a plain name.
bool WildcardPattern::MatchesWine(std::wstring_view name) const {
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    const std::size_t count = ops_.size();
    std::size_t p = 0, i = 0, star = kNone, retry = 0;
    while (i < name.size() && p < count) {
        switch (ops_[p]) {
            case Op::Star:
                while (p < count && ops_[p] == Op::Star) ++p;
                if (p == count) return true;
                star = p;
                while (i < name.size() && UpcaseNameChar(name[i]) != chars_[p]) ++i;
                retry = i;
                break;
            case Op::AnyOne:
                ++p;
                ++i;
                break;
            default:
                if (UpcaseNameChar(name[i]) == chars_[p]) {
                    ++p;
                    ++i;
                    if (p == count) {
                        if (i == name.size()) return true;
                        if (star != kNone) p = star;
                    }
                } else if (star != kNone) {
                    p = star;
                    i = ++retry;
                } else {
                    return false;
                }
                break;
        }
    }
    while (p < count && (ops_[p] == Op::Star || (ops_[p] == Op::Literal && chars_[p] == L'.'))) ++p;
    return i == name.size() && p == count;
}

bool WildcardMatches(std::wstring_view pattern, std::wstring_view longName,
                     std::wstring_view shortName, WildcardDialect dialect) {
    return WildcardPattern(pattern, dialect).Matches(longName, shortName);
}

}  // namespace tidemark

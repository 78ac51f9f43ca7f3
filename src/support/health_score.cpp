#include "support/health_score.h"

namespace tidemark {

namespace {

bool ParseDecimal(const std::wstring& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    return true;
}

}  // namespace

int HealthScore(std::uint64_t registryJunk, int freePercent) {
    const std::uint64_t tens = registryJunk / 10;
    const int registryPart = tens >= 10 ? 0 : 20 - 2 * static_cast<int>(tens);
    const int free = freePercent < 0 ? 0 : freePercent > 100 ? 100 : freePercent;
    return registryPart + free * 8 / 10;
}

int ScoreBarWidth(int score) { return score * kScoreBarFullWidth / 100; }

bool HealthScoreFromTexts(const std::wstring& registryJunk, const std::wstring& freePercent, int& score) {
    std::uint64_t junk = 0, free = 0;
    if (!ParseDecimal(registryJunk, junk) || !ParseDecimal(freePercent, free)) return false;
    score = HealthScore(junk, free > 100 ? 100 : static_cast<int>(free));
    return true;
}

}  // namespace tidemark

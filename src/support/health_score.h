// The health score: unneeded registry entries and free disk space summed up as 0-100.
#pragma once

#include <cstdint>
#include <string>

namespace tidemark {

constexpr int kScoreBarFullWidth = 171;

// 20 for 0-9 registry findings, 2 less per ten more, 0 from 100 on; plus 8/10 of the free
// percentage.
int HealthScore(std::uint64_t registryJunk, int freePercent);
int ScoreBarWidth(int score);
// The score from the two labels' texts; false (score untouched) when one is not a decimal number.
bool HealthScoreFromTexts(const std::wstring& registryJunk, const std::wstring& freePercent, int& score);

}  // namespace tidemark

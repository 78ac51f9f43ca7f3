// The health score and the free-space percentage behind it.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>

#include "support/health_score.h"
#include "system/disk_space.h"

namespace tidemark {
namespace {

TEST(HealthScore, RegistryPartAndDiskPart) {
    struct Case {
        std::uint64_t junk;
        int free;
        int score;
    } const cases[] = {{0, 50, 60}, {9, 0, 20}, {10, 0, 18}, {99, 0, 2}, {100, 0, 0}, {5000, 0, 0},
                       {0, 100, 100}, {0, 99, 99}, {37, 12, 23}};
    for (const Case& c : cases) EXPECT_EQ(HealthScore(c.junk, c.free), c.score) << c.junk << " " << c.free;
    EXPECT_EQ(ScoreBarWidth(60), 102);
    EXPECT_EQ(ScoreBarWidth(100), 171);
    EXPECT_EQ(ScoreBarWidth(20), 34);
    int score = 44;
    EXPECT_TRUE(HealthScoreFromTexts(L"0", L"0", score));
    EXPECT_EQ(score, 20);
    score = 44;
    EXPECT_FALSE(HealthScoreFromTexts(L"12a", L"50", score));
    EXPECT_FALSE(HealthScoreFromTexts(L"", L"50", score));
    EXPECT_FALSE(HealthScoreFromTexts(L"3", L"-1", score));
    EXPECT_EQ(score, 44);  // kept
}

TEST(DiskFree, KeptDrivesSumsAndRounding) {
    using Drives = std::map<wchar_t, std::pair<unsigned, VolumeSpace>>;
    const auto percent = [](const Drives& drives) {
        return DiskFreePercentFrom(
            [&](const std::wstring& root) {
                const auto it = drives.find(root[0]);
                return it == drives.end() ? DRIVE_NO_ROOT_DIR : it->second.first;
            },
            [&](const std::wstring& root) { return drives.at(root[0]).second; });
    };
    constexpr std::uint64_t G = 1ull << 30;
    // 12.5 % goes to 12, 13.5 % to 14 (halves to the even neighbour); sizes beyond 32 bits.
    EXPECT_EQ(percent({{L'C', {DRIVE_FIXED, {true, 800 * G, 100 * G}}}}), 12);
    EXPECT_EQ(percent({{L'C', {DRIVE_FIXED, {true, 1000 * G, 135 * G}}}}), 14);
    // Network and RAM drives count; removable and CD-ROM drives do not.
    EXPECT_EQ(percent({{L'C', {DRIVE_FIXED, {true, 100 * G, 0}}},
                       {L'D', {DRIVE_REMOTE, {true, 50 * G, 50 * G}}},
                       {L'E', {DRIVE_RAMDISK, {true, 50 * G, 50 * G}}},
                       {L'F', {DRIVE_REMOVABLE, {true, 1000 * G, 1000 * G}}},
                       {L'G', {DRIVE_CDROM, {true, 1000 * G, 1000 * G}}}}),
              50);
    EXPECT_EQ(percent({{L'F', {DRIVE_REMOVABLE, {true, 10 * G, 5 * G}}}, {L'G', {DRIVE_CDROM, {true, G, G}}}}), 0);
    // A kept drive that cannot be measured ends the count with 0.
    EXPECT_EQ(percent({{L'C', {DRIVE_FIXED, {true, 10 * G, 5 * G}}}, {L'D', {DRIVE_REMOTE, {false, 0, 0}}}}), 0);
    // Drives A and B are never asked about.
    EXPECT_EQ(percent({{L'A', {DRIVE_FIXED, {true, 10 * G, 10 * G}}}, {L'C', {DRIVE_FIXED, {true, 10 * G, 0}}}}), 0);
    const int real = DiskFreePercent();
    EXPECT_GE(real, 0);
    EXPECT_LE(real, 100);
}

}  // namespace
}  // namespace tidemark

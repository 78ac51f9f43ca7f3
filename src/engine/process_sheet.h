// The rating of a process file against the lists the program carries: the system files of this
// Windows kind, rogue process names and rogue process paths.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/sealed_store.h"

namespace tidemark {

enum ProcessRating : std::uint8_t { RatingNone = 0, RatingSystem = 1, RatingSuspect = 2, RatingRisky = 3, RatingDangerous = 4 };

// What the process view shows for each rating.
inline constexpr std::array<const wchar_t*, 5> ProcessRatingLabels = {L"", L"系统", L"可疑", L"有风险", L"危险"};
const wchar_t* ProcessRatingLabel(std::uint8_t rating);

// Digests kept sorted (unsigned byte order), searched by halving.
class TModSheet {
public:
    void Add(const Md5Digest& digest) { digests_.push_back(digest); }
    void Sort();
    bool Contains(const Md5Digest& digest) const;
    std::size_t Count() const { return digests_.size(); }

private:
    std::vector<Md5Digest> digests_;
};

class TProcessSheet {
public:
    // Reads the lists from module's resources (null: the program itself) for this Windows kind.
    TProcessSheet(HMODULE module, int windowsKind);

    // 0-4: the first rule that holds (system area or system path, system name, rogue name,
    // rogue path). A path without a backslash rates 0.
    std::uint8_t Rate(const std::wstring& name, const std::wstring& path) const;

    const TModSheet& SystemPaths() const { return systemPaths_; }
    const TModSheet& SystemNames() const { return systemNames_; }
    const TModSheet& RogueNames() const { return rogueNames_; }
    const TModSheet& RoguePaths() const { return roguePaths_; }

private:
    std::vector<std::wstring> fragments_;
    TModSheet systemPaths_, systemNames_, rogueNames_, roguePaths_;
};

// The rating by the program's own lists; the sheet is built on the first call with a path.
std::uint8_t RateProcessFile(const std::wstring& name, const std::wstring& path);

}  // namespace tidemark

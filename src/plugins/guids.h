// The table of known browser plug-ins: which add-ons are safe, ordinary or risky. Carried
// enciphered in the program ("VB"), behind four rows of the maker's own add-on.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/clean_obj.h"

namespace tidemark {

// Risk ratings (TPluginObj::Risk, TGuidItem::Rating).
enum PluginRisk : std::uint8_t { RiskOrdinary = 0, RiskSafe = 1, RiskUnknown = 2, RiskRisky = 3, RiskDangerous = 4 };

inline constexpr std::uint32_t kGreen = 0x008000;
inline constexpr std::array<ColouredText, 5> RiskTexts = {{
    {L"普通", kBlack}, {L"安全", kGreen}, {L"安全未知", kOlive}, {L"风险", kRed}, {L"危险", kRed},
}};
const ColouredText& RiskText(std::uint8_t risk);

struct TGuidItem {
    std::wstring Caption;
    std::wstring Guid;  // upper case
    std::uint8_t Class = 0;
    std::uint8_t Rating = RiskUnknown;
};

class TGuids {
public:
    // The built-in rows, then the rows of text (the deciphered table, already split into lines).
    explicit TGuids(const std::vector<std::wstring>& tableLines);
    // The built-in rows and the program's own "VB" table of module (null: the program itself);
    // null when the table cannot be read.
    static std::unique_ptr<TGuids> Load(HMODULE module);

    // The first row whose Guid equals name upper-cased; -1 when none does.
    int IndexOf(const std::wstring& name) const;
    const TGuidItem& Item(int index) const { return *rows_[static_cast<std::size_t>(index)]; }
    int Count() const { return static_cast<int>(rows_.size()); }

private:
    std::vector<std::unique_ptr<TGuidItem>> rows_;
};

// The class identifiers of the maker's own add-on ("Wayfarer"), rated safe before the table.
extern const std::array<const wchar_t*, 4> kOwnAddOnGuids;

}  // namespace tidemark

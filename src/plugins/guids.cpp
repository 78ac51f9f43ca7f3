#include "plugins/guids.h"

#include <cwchar>

#include "engine/sealed_store.h"
#include "engine/store_keys.h"
#include "system/text_case.h"

namespace tidemark {

// Wayfarer's helper object, toolbar, toolbar button and context-menu handler.
const std::array<const wchar_t*, 4> kOwnAddOnGuids = {
    L"{30EE45DF-8CC9-44D0-AE33-99295D0B7E2E}",
    L"{8AC8AB19-C1C2-4F1B-825A-9E30ABC37688}",
    L"{08CFBC4B-0FB9-4F67-AD49-4C5390E4B004}",
    L"{21C5D580-11C2-4BE9-A45C-4FE419392B74}",
};

namespace {

const ColouredText kNoRiskText{L"", kBlack};

// The whole text as a decimal integer (an optional sign, then digits only); nothing otherwise.
bool ParseInteger(const std::wstring& text, long& number) {
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    number = std::wcstol(text.c_str(), &end, 10);
    return end == text.c_str() + text.size();
}

// The table's RISK scale (1 safe .. 4 risky) in the program's ratings. A rating the table
// cannot name is read as ordinary: such a plug-in is shown and loses only its registration,
// never its files, until someone rates it properly.
std::uint8_t RatingOfRisk(const std::wstring& value) {
    long risk = 0;
    if (!ParseInteger(value, risk)) return RiskOrdinary;
    switch (risk) {
        case 1: return RiskSafe;
        case 2: return RiskOrdinary;
        case 3: return RiskUnknown;
        case 4: return RiskRisky;
        default: return RiskOrdinary;
    }
}

}  // namespace

const ColouredText& RiskText(std::uint8_t risk) { return risk < RiskTexts.size() ? RiskTexts[risk] : kNoRiskText; }

TGuids::TGuids(const std::vector<std::wstring>& tableLines) {
    for (const wchar_t* guid : kOwnAddOnGuids) {
        rows_.push_back(std::make_unique<TGuidItem>(TGuidItem{L"Wayfarer", guid, 1, RiskSafe}));
    }
    // Key lines before the first "[" have no row to act on and are dropped.
    std::unique_ptr<TGuidItem> row;
    for (const std::wstring& raw : tableLines) {
        const std::wstring line = Trimmed(raw);
        if (line.empty() || line[0] == L';') continue;
        if (line[0] == L'[') {
            if (row) rows_.push_back(std::move(row));
            row = std::make_unique<TGuidItem>();
            row->Caption = line.size() >= 2 ? line.substr(1, line.size() - 2) : std::wstring();
            continue;
        }
        const std::size_t equals = line.find(L'=');
        if (!row || equals == std::wstring::npos) continue;
        const std::wstring key = UpperCased(Trimmed(line.substr(0, equals)));
        const std::wstring value = Trimmed(line.substr(equals + 1));
        if (key == L"GUID") {
            row->Guid = UpperCased(value);
        } else if (key == L"CLASS") {
            long number = 0;
            row->Class = ParseInteger(value, number) ? static_cast<std::uint8_t>(number) : 1;
        } else if (key == L"RISK") {
            row->Rating = RatingOfRisk(value);
        }
    }
    if (row) rows_.push_back(std::move(row));
}

std::unique_ptr<TGuids> TGuids::Load(HMODULE module) {
    std::optional<TextList> lines = ReadSealedLines(module, L"FILE", L"VB", kFixedStoreKey);
    if (!lines) return nullptr;
    return std::make_unique<TGuids>(*lines);
}

int TGuids::IndexOf(const std::wstring& name) const {
    const std::wstring wanted = UpperCased(name);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i]->Guid == wanted) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace tidemark

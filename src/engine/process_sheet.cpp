#include "engine/process_sheet.h"

#include <algorithm>
#include <memory>

#include "engine/removal_guard_system.h"
#include "engine/store_keys.h"
#include "system/folder_macros.h"
#include "system/text_case.h"
#include "system/win_info.h"

namespace tidemark {
namespace {

TextList ListLines(HMODULE module, const wchar_t* name) {
    auto lines = ReadSealedLines(module, L"FILE", name, kFixedStoreKey);
    return lines ? std::move(*lines) : TextList();
}

std::wstring FileNamePart(const std::wstring& path) {
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

const wchar_t* ProcessRatingLabel(std::uint8_t rating) {
    return rating < ProcessRatingLabels.size() ? ProcessRatingLabels[rating] : L"";
}

void TModSheet::Sort() { std::sort(digests_.begin(), digests_.end()); }

bool TModSheet::Contains(const Md5Digest& digest) const {
    return std::binary_search(digests_.begin(), digests_.end(), digest);
}

TProcessSheet::TProcessSheet(HMODULE module, int windowsKind) {
    for (const wchar_t* fragment : {L"$SYSDIR\\DLLCACHE\\", L"$WINDIR\\SERVICEPACKFILES\\", L"$WINDIR\\$NTUPDATE",
                                    L"$WINDIR\\$NTUNINSTALL", L"$WINDIR\\$NTSERVICE"})
        fragments_.push_back(ReplaceDirTokens(fragment, false));
    // Lookups digest upper-cased text, and Windows names have no case: the lists are upper-cased
    // here, so an entry written in lower case still matches.
    for (const std::wstring& line : ListLines(module, SystemFileListName(windowsKind))) {
        if (line.empty()) continue;
        const std::wstring path = UpperCased(ReplaceDirTokens(line, true));
        systemPaths_.Add(StringMD5(path));
        systemNames_.Add(StringMD5(FileNamePart(path)));
    }
    for (const std::wstring& line : ListLines(module, L"TROJAN"))
        if (!line.empty()) rogueNames_.Add(StringMD5(UpperCased(line)));
    for (const std::wstring& line : ListLines(module, L"RFILE2"))
        if (!line.empty()) roguePaths_.Add(StringMD5(UpperCased(GetFolderMacros().Expand(line))));
    for (TModSheet* sheet : {&systemPaths_, &systemNames_, &rogueNames_, &roguePaths_}) sheet->Sort();
}

std::uint8_t TProcessSheet::Rate(const std::wstring& name, const std::wstring& path) const {
    if (path.find(L'\\') == std::wstring::npos) return RatingNone;
    const std::wstring upperPath = UpperCased(path);
    for (const std::wstring& fragment : fragments_)
        if (upperPath.find(fragment) != std::wstring::npos) return RatingSystem;
    const Md5Digest pathDigest = StringMD5(upperPath);
    if (systemPaths_.Contains(pathDigest)) return RatingSystem;
    const Md5Digest nameDigest = StringMD5(UpperCased(name));
    if (systemNames_.Contains(nameDigest)) return RatingSuspect;
    if (rogueNames_.Contains(nameDigest)) return RatingRisky;
    if (roguePaths_.Contains(pathDigest)) return RatingDangerous;
    return RatingNone;
}

std::uint8_t RateProcessFile(const std::wstring& name, const std::wstring& path) {
    if (path.find(L'\\') == std::wstring::npos) return RatingNone;
    static const std::unique_ptr<TProcessSheet> sheet = std::make_unique<TProcessSheet>(nullptr, GetWinInfo().Kind);
    return sheet->Rate(name, path);
}

}  // namespace tidemark

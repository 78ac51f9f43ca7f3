#include "junk/custom_folders.h"

#include "system/text_case.h"
#include "system/text_util.h"

namespace tidemark {

namespace {
constexpr wchar_t kSeparator[] = L"###";
}

std::vector<std::wstring> CustomFolderEntries(const std::wstring& stored) {
    TextList parts;
    SplitToList(stored, parts, kSeparator);
    std::vector<std::wstring> entries;
    for (const std::wstring& part : parts)
        if (!part.empty()) entries.push_back(part);
    return entries;
}

bool CustomFolderPresent(const std::wstring& stored, const std::wstring& path) {
    const std::wstring u = UpperCased(stored), p = UpperCased(path);
    if (p.empty()) return false;
    return u.find(p + kSeparator) != std::wstring::npos ||
           (u.size() >= p.size() && u.compare(u.size() - p.size(), p.size(), p) == 0);
}

std::optional<std::wstring> CustomFolderListWith(const std::wstring& stored, const std::wstring& path) {
    if (path.empty() || path.find(kSeparator) != std::wstring::npos) return std::nullopt;
    if (CustomFolderPresent(stored, path)) return stored;
    return stored.empty() ? path : stored + kSeparator + path;
}

std::wstring CustomFolderListText(const std::vector<std::wstring>& entries) {
    std::wstring text;
    for (const std::wstring& entry : entries) {
        if (!text.empty()) text += kSeparator;
        text += entry;
    }
    return text;
}

}  // namespace tidemark

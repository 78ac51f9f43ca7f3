#include "system/text_util.h"

#include <algorithm>

namespace tidemark {

void SplitLastBackslash(const std::wstring& path, std::wstring& folder, std::wstring& name) {
    const auto pos = path.rfind(L'\\');
    if (pos == std::wstring::npos) return;
    folder = path.substr(0, pos);
    name = path.substr(pos + 1);
}

void SplitToList(const std::wstring& text, TextList& list, const std::wstring& delimiter) {
    if (delimiter.empty()) {
        // Nothing can be found between empty delimiters; searching for one would never advance.
        list.push_back(text);
        return;
    }
    std::wstring::size_type start = 0;
    for (;;) {
        const auto pos = text.find(delimiter, start);
        if (pos == std::wstring::npos) {
            list.push_back(text.substr(start));
            return;
        }
        list.push_back(text.substr(start, pos - start));
        start = pos + delimiter.size();
    }
}

int CountChar(const std::wstring& text, wchar_t ch) {
    return static_cast<int>(std::count(text.begin(), text.end(), ch));
}

bool ListContains(const TextList& list, const std::wstring& text) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

std::wstring WithTrailingBackslash(std::wstring path) {
    if (path.empty() || path.back() != L'\\') path.push_back(L'\\');
    return path;
}

}  // namespace tidemark

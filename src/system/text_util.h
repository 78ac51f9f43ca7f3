// Plain text helpers shared by every layer. No Windows headers here: this builds natively too.
#pragma once

#include <string>
#include <vector>

namespace tidemark {

using TextList = std::vector<std::wstring>;

// Splits at the last backslash: folder gets the text before it, name the text after it.
// A path without a backslash leaves both outputs as they were.
void SplitLastBackslash(const std::wstring& path, std::wstring& folder, std::wstring& name);

// Appends the pieces of text between occurrences of delimiter to list. An empty text gives one
// empty entry; a text ending with the delimiter gives a last, empty entry. An empty delimiter
// appends the whole text as one entry.
void SplitToList(const std::wstring& text, TextList& list, const std::wstring& delimiter);

int CountChar(const std::wstring& text, wchar_t ch);

// Exact, case-sensitive membership.
bool ListContains(const TextList& list, const std::wstring& text);

// Drops one trailing backslash, if there is one ("C:\" becomes "C:").
std::wstring WithoutTrailingBackslash(std::wstring path);
std::wstring WithTrailingBackslash(std::wstring path);

}  // namespace tidemark

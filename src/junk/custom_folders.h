// The stored list of custom cleaning folders ("CustomFileExt"): full paths joined by "###".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tidemark {

// The non-empty entries, in stored order.
std::vector<std::wstring> CustomFolderEntries(const std::wstring& stored);
// True when path is already listed: the stored text holds path + "###", or ends with path
// (letter case ignored).
bool CustomFolderPresent(const std::wstring& stored, const std::wstring& path);
// The stored text with path appended (in its own letter case); the same text when it is already
// there. Nothing (refused) for an empty path and for one holding "###", which would split the list.
std::optional<std::wstring> CustomFolderListWith(const std::wstring& stored, const std::wstring& path);
// The entries joined by "###" (an empty list is an empty text).
std::wstring CustomFolderListText(const std::vector<std::wstring>& entries);

}  // namespace tidemark

// Registry-editor 5.00 text, as "regedit /e" writes it and "regedit /s" (Windows' and Wine's)
// reads it back: every value's type and bytes kept exactly, default values as "@".
#pragma once

#include <windows.h>

#include <string>

namespace tidemark {

// "Windows Registry Editor Version 5.00" and the empty line after it.
std::wstring RegTextHeader();
// The key below root with all its values and every key below it; false (text as far as it got)
// when any part could not be read.
bool AppendRegKeyTree(HKEY root, const std::wstring& path, std::wstring& text);
// One value of the key, under the key's heading; false when it cannot be read.
bool AppendRegValue(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring& text);
// The heading name of root\key. On 64-bit Windows a key of the 32-bit view is named by its
// Wow6432Node path, so the 64-bit registry editor (the one that imports files there, see
// RunRegEdit) puts it back in the same view.
std::wstring RegTextKeyName(HKEY root, const std::wstring& key);
// The line that makes an import remove the value ("name"=-, @=- for the default value).
std::wstring RegValueDeletionLine(const std::wstring& name);
// The text as the editor writes its files: UTF-16 little-endian with a byte-order mark. A file
// that could not be written whole is removed.
bool WriteRegTextFile(const std::wstring& file, const std::wstring& text);

}  // namespace tidemark

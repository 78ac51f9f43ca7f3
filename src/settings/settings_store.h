// The settings of the current user: seven values of one registry key, read at the moment of use
// and never cached. Lists are joined with a separator; state strings hold one "0" (on) or "1"
// (off) per row.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tidemark {

inline const HKEY kSettingsRoot = HKEY_CURRENT_USER;
constexpr wchar_t kSettingsKey[] = L"Software\\Corvane\\BRIM";

// Value names.
constexpr wchar_t kFileExt[] = L"FileExt";                            // user types, "/" list
constexpr wchar_t kFileExtEnabled[] = L"FileExtEnabled";              // 39 built-in + user states
constexpr wchar_t kFileExtCustom[] = L"FileExtCustom";                // custom rule types, "/" list
constexpr wchar_t kFileExtCustomEnabled[] = L"FileExtCustomEnabled";  // their states
constexpr wchar_t kCustomFileExt[] = L"CustomFileExt";                // custom folders, "###" list
constexpr wchar_t kDirectDel[] = L"DirectDel";  // deletion method: 0 direct, 1 recycle bin
constexpr wchar_t kInitSet[] = L"InitSet";      // 1: the first-run question is not asked again

constexpr wchar_t kTypeListSeparator[] = L"/";
constexpr wchar_t kFolderListSeparator[] = L"###";

// The states a fresh profile stores at its first junk scan: every built-in type on but the
// memory dumps, archive descriptions and thumbnail caches (positions 25, 26, 27).
constexpr wchar_t kDefaultTypeStates[] = L"000000000000000000000000011100000000000";
constexpr std::size_t kBuiltInTypeCount = 39;

// An integer setting; a missing value is stored as the default when the key exists. A value
// of another type (text written by another program, say) reads as the default.
std::int32_t ReadSettingInt(const wchar_t* name, std::int16_t defaultValue);
[[nodiscard]] bool WriteSettingInt(const wchar_t* name, std::int16_t value);
// A text setting; empty when missing or of another type.
std::wstring ReadSettingText(const wchar_t* name);
[[nodiscard]] bool WriteSettingText(const wchar_t* name, const std::wstring& text);

// Stores a type list and its state string as one pair (the general set, or the custom set).
// False when the key can neither be opened nor created; nothing is stored then.
[[nodiscard]] bool SaveTypeSettings(bool customSet, const std::wstring& typeList, const std::wstring& states);

}  // namespace tidemark

// The settings key of the current user. Values are read at the moment of use, never cached.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tidemark {

inline const HKEY kSettingsRoot = HKEY_CURRENT_USER;
constexpr wchar_t kSettingsKey[] = L"Software\\Corvane\\BRIM";

// Value names.
constexpr wchar_t kDirectDel[] = L"DirectDel";  // deletion method: 0 direct, 1 recycle bin
constexpr wchar_t kInitSet[] = L"InitSet";      // 1: the first-run question is not asked again

// An integer setting; a missing value is stored as the default when the key exists.
std::int32_t ReadSettingInt(const wchar_t* name, std::int16_t defaultValue);
[[nodiscard]] bool WriteSettingInt(const wchar_t* name, std::int16_t value);

}  // namespace tidemark

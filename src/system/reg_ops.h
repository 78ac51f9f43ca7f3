// Registry value operations over a predefined root and a key path below it. Each call opens
// the key it needs and closes it before returning.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "system/handles.h"

namespace tidemark {

// A key opened without creating it (Open) or with its whole path created (Create); empty on
// failure or for a null root.
UniqueHKey OpenRegKey(HKEY root, const std::wstring& path, REGSAM access);
UniqueHKey CreateRegKey(HKEY root, const std::wstring& path, REGSAM access);
// A string value (REG_SZ or REG_EXPAND_SZ) of an open key as stored, up to its first zero; nothing
// when it is missing or of another type. type (when given) receives the stored type.
std::optional<std::wstring> QueryStringValue(HKEY key, const std::wstring& name, DWORD* type = nullptr);

// value receives the string (REG_SZ or REG_EXPAND_SZ, unexpanded) when the value exists,
// otherwise default_. A value of another type, or a key that cannot be opened, leaves value
// as it was.
void ReadRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                   const std::wstring& defaultValue, std::wstring& value);

// Opens the key without creating it. A missing value is first stored as REG_DWORD
// defaultValue, then read back. A key that cannot be opened gives defaultValue and creates
// nothing; so does a value of another type (it is left alone) and a default that cannot be
// stored.
std::int32_t ReadRegIntDefault(HKEY root, const std::wstring& key, const std::wstring& name,
                               std::int16_t defaultValue);

// Open the key, creating the whole path when missing, and store REG_SZ / REG_DWORD (number
// sign-extended). False when the key can neither be opened nor created or the write fails.
[[nodiscard]] bool WriteRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                                  const std::wstring& text);
[[nodiscard]] bool WriteRegInt(HKEY root, const std::wstring& key, const std::wstring& name,
                               std::int16_t number);

bool DeleteRegValue(HKEY root, const std::wstring& key, const std::wstring& name);
// Deletes subkey of key with everything below it. An empty subkey name is refused (false):
// it would name the opened key itself.
bool DeleteRegSubKey(HKEY root, const std::wstring& key, const std::wstring& subkey);

}  // namespace tidemark

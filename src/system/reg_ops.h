// Registry value operations over a predefined root and a key path below it. Each call opens
// the key it needs and closes it before returning.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "system/handles.h"

namespace tidemark {

// A key opened without creating it (Open) or with its whole path created (Create); empty on
// failure or for a null root. error (when given) receives the system's answer (ERROR_SUCCESS
// when the key opened; ERROR_INVALID_HANDLE for a null root).
UniqueHKey OpenRegKey(HKEY root, const std::wstring& path, REGSAM access, LONG* error = nullptr);
UniqueHKey CreateRegKey(HKEY root, const std::wstring& path, REGSAM access, LONG* error = nullptr);
// OpenRegKey's shape, so callers can stand in for the system (Wine ignores key security, so a
// refusal can only be shown by an opener that refuses).
using KeyOpener = UniqueHKey (*)(HKEY root, const std::wstring& path, REGSAM access, LONG* error);
// The answers that mean the key (or value) is not there. Any other failure, access denied
// above all, says nothing about whether it exists.
bool IsMissingError(LONG error);

// A key path below a root that names exactly one key: not empty, no empty part (no leading,
// trailing or doubled backslash), no control character. Deletions refuse anything else: the
// system reads an empty part as the key before it, or the root itself.
bool IsExactKeyPath(const std::wstring& path);

// A string value (REG_SZ or REG_EXPAND_SZ) of an open key as stored, up to its first zero; nothing
// when it is missing or of another type. type (when given) receives the stored type.
std::optional<std::wstring> QueryStringValue(HKEY key, const std::wstring& name, DWORD* type = nullptr);
// Stores text with its terminating zero as type (REG_SZ or REG_EXPAND_SZ).
[[nodiscard]] bool SetStringValue(HKEY key, const std::wstring& name, const std::wstring& text,
                                  DWORD type = REG_SZ);
// A REG_MULTI_SZ value of an open key: its strings up to the first empty one (where the system
// stops reading too), whether or not the stored data is terminated. Nothing when it is missing,
// of another type or unreadable.
std::optional<std::vector<std::wstring>> QueryMultiStringValue(HKEY key, const std::wstring& name);
// Stores strings as REG_MULTI_SZ: each with its zero, then one more zero. An empty string or one
// holding a zero would end the list early for every reader: refused (false, nothing written).
[[nodiscard]] bool SetMultiStringValue(HKEY key, const std::wstring& name, const std::vector<std::wstring>& strings);

// The names of an open key's subkeys or values, in the system's order. False when the walk
// stopped on an error (the key was deleted meanwhile, say): names then holds what came before.
bool EnumSubKeyNames(HKEY key, std::vector<std::wstring>& names);
bool EnumValueNames(HKEY key, std::vector<std::wstring>& names);

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

// False when the value is missing or cannot be deleted; a name holding a zero is refused.
bool DeleteRegValue(HKEY root, const std::wstring& key, const std::wstring& name);
// Deletes subkey of key with everything below it. subkey must be an exact key path
// (IsExactKeyPath) and key empty or one: anything else is refused (false), as the system would
// read an empty part as another key.
bool DeleteRegSubKey(HKEY root, const std::wstring& key, const std::wstring& subkey);

}  // namespace tidemark

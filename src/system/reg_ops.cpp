#include "system/reg_ops.h"

#include <shlwapi.h>

#include <vector>

#include "system/handles.h"
#include "system/reg_view.h"

namespace tidemark {
namespace {

bool IsControlChar(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Longer than any name the system stores (value names end at 16,383 characters).
constexpr std::size_t kMaxNameChars = 32768;

bool EnumNames(HKEY key, bool subKeys, std::vector<std::wstring>& names) {
    names.clear();
    std::vector<wchar_t> name(256);
    for (DWORD index = 0;;) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG rc = subKeys ? RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr)
                                : RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return true;
        if (rc == ERROR_MORE_DATA && name.size() < kMaxNameChars) {
            name.resize(name.size() * 4);  // the same index again
            continue;
        }
        // Any other answer ends the walk: skipping it would run through every index there is.
        if (rc != ERROR_SUCCESS) return false;
        names.emplace_back(name.data(), length);
        ++index;
    }
}

enum class DwordRead { Value, Missing, WrongType };

DwordRead QueryDword(HKEY key, const std::wstring& name, std::int32_t& out) {
    DWORD type = 0, data = 0, size = sizeof data;
    const LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(&data), &size);
    if (rc == ERROR_FILE_NOT_FOUND) return DwordRead::Missing;
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) return DwordRead::WrongType;
    out = static_cast<std::int32_t>(data);
    return DwordRead::Value;
}

bool SetDword(HKEY key, const std::wstring& name, std::int32_t number) {
    const DWORD data = static_cast<DWORD>(number);
    return RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof data) == ERROR_SUCCESS;
}

}  // namespace

UniqueHKey OpenRegKey(HKEY root, const std::wstring& path, REGSAM access, LONG* error) {
    UniqueHKey handle;
    const LONG rc = root ? RegOpenKeyExW(root, path.c_str(), 0, access | ViewAccess(CurrentRegView()), handle.put()) : ERROR_INVALID_HANDLE;
    if (error) *error = rc;
    if (rc != ERROR_SUCCESS) return {};
    return handle;
}

UniqueHKey CreateRegKey(HKEY root, const std::wstring& path, REGSAM access, LONG* error) {
    UniqueHKey handle;
    const LONG rc = root ? RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           access | ViewAccess(CurrentRegView()), nullptr,
                                           handle.put(), nullptr)
                         : ERROR_INVALID_HANDLE;
    if (error) *error = rc;
    if (rc != ERROR_SUCCESS) return {};
    return handle;
}

bool IsMissingError(LONG error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool IsExactKeyPath(const std::wstring& path) {
    if (path.empty() || path.front() == L'\\' || path.back() == L'\\') return false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsControlChar(path[i])) return false;
        if (path[i] == L'\\' && path[i + 1] == L'\\') return false;  // path[size()] is the zero
    }
    return true;
}

std::optional<std::wstring> QueryStringValue(HKEY key, const std::wstring& name, DWORD* typeOut) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    // Stored strings need not be terminated; read into a buffer with room for one more zero.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    if (typeOut) *typeOut = type;
    return std::wstring(buffer.data());  // up to the first zero, as the system's string readers do
}

bool SetStringValue(HKEY key, const std::wstring& name, const std::wstring& text, DWORD type) {
    return RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::optional<std::vector<std::wstring>> QueryMultiStringValue(HKEY key, const std::wstring& name) {
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    std::vector<wchar_t> buffer;
    DWORD bytes = 0;
    // The value may grow between asking its size and reading it: ask again then.
    for (int attempt = 0; rc == ERROR_SUCCESS && attempt < 4; ++attempt) {
        if (type != REG_MULTI_SZ) return std::nullopt;
        // Zeroed room for two more zeros, so the last string ends even when the data does not.
        buffer.assign(size / sizeof(wchar_t) + 3, L'\0');
        bytes = static_cast<DWORD>((buffer.size() - 2) * sizeof(wchar_t));
        rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
        if (rc == ERROR_SUCCESS) break;
        if (rc == ERROR_MORE_DATA) {
            rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
            if (rc == ERROR_SUCCESS) rc = ERROR_MORE_DATA;
        }
    }
    if (rc != ERROR_SUCCESS || type != REG_MULTI_SZ) return std::nullopt;
    std::vector<std::wstring> strings;
    const std::size_t units = bytes / sizeof(wchar_t);
    for (std::size_t at = 0; at < units && buffer[at] != L'\0';) {
        strings.emplace_back(buffer.data() + at);
        at += strings.back().size() + 1;
    }
    return strings;
}

bool SetMultiStringValue(HKEY key, const std::wstring& name, const std::vector<std::wstring>& strings) {
    std::wstring data;
    for (const std::wstring& entry : strings) {
        if (entry.empty() || entry.find(L'\0') != std::wstring::npos) return false;
        data += entry;
        data.push_back(L'\0');
    }
    data.push_back(L'\0');
    return RegSetValueExW(key, name.c_str(), 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool EnumSubKeyNames(HKEY key, std::vector<std::wstring>& names) { return EnumNames(key, true, names); }

bool EnumValueNames(HKEY key, std::vector<std::wstring>& names) { return EnumNames(key, false, names); }

void ReadRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                   const std::wstring& defaultValue, std::wstring& value) {
    UniqueHKey handle = OpenRegKey(root, key, KEY_QUERY_VALUE);
    if (!handle) return;
    if (RegQueryValueExW(handle.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND) {
        value = defaultValue;
        return;
    }
    if (auto text = QueryStringValue(handle.get(), name)) value = std::move(*text);
}

std::int32_t ReadRegIntDefault(HKEY root, const std::wstring& key, const std::wstring& name,
                               std::int16_t defaultValue) {
    UniqueHKey handle = OpenRegKey(root, key, KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!handle) return defaultValue;
    std::int32_t value = defaultValue;
    switch (QueryDword(handle.get(), name, value)) {
    case DwordRead::Value: return value;
    case DwordRead::WrongType: return defaultValue;
    case DwordRead::Missing: break;
    }
    if (!SetDword(handle.get(), name, defaultValue)) return defaultValue;
    if (QueryDword(handle.get(), name, value) != DwordRead::Value) return defaultValue;
    return value;
}

bool WriteRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                    const std::wstring& text) {
    UniqueHKey handle = CreateRegKey(root, key, KEY_SET_VALUE);
    return handle && SetStringValue(handle.get(), name, text);
}

bool WriteRegInt(HKEY root, const std::wstring& key, const std::wstring& name,
                 std::int16_t number) {
    UniqueHKey handle = CreateRegKey(root, key, KEY_SET_VALUE);
    return handle && SetDword(handle.get(), name, number);
}

bool DeleteRegValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    // The system reads the name up to a zero: "a\0b" would delete "a".
    if (name.find(L'\0') != std::wstring::npos) return false;
    UniqueHKey handle = OpenRegKey(root, key, KEY_SET_VALUE);
    return handle && RegDeleteValueW(handle.get(), name.c_str()) == ERROR_SUCCESS;
}

bool DeleteRegSubKey(HKEY root, const std::wstring& key, const std::wstring& subkey) {
    if (!IsExactKeyPath(subkey) || (!key.empty() && !IsExactKeyPath(key))) return false;
    UniqueHKey handle = OpenRegKey(root, key, KEY_ALL_ACCESS);
    return handle && SHDeleteKeyW(handle.get(), subkey.c_str()) == ERROR_SUCCESS;
}

}  // namespace tidemark

#include "system/reg_ops.h"

#include <shlwapi.h>

#include <vector>

#include "system/handles.h"

namespace tidemark {
namespace {

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

UniqueHKey OpenRegKey(HKEY root, const std::wstring& path, REGSAM access) {
    UniqueHKey handle;
    if (!root || RegOpenKeyExW(root, path.c_str(), 0, access, handle.put()) != ERROR_SUCCESS) return {};
    return handle;
}

UniqueHKey CreateRegKey(HKEY root, const std::wstring& path, REGSAM access) {
    UniqueHKey handle;
    if (!root || RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                 handle.put(), nullptr) != ERROR_SUCCESS)
        return {};
    return handle;
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
    if (!handle) return false;
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(handle.get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

bool WriteRegInt(HKEY root, const std::wstring& key, const std::wstring& name,
                 std::int16_t number) {
    UniqueHKey handle = CreateRegKey(root, key, KEY_SET_VALUE);
    return handle && SetDword(handle.get(), name, number);
}

bool DeleteRegValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    UniqueHKey handle = OpenRegKey(root, key, KEY_SET_VALUE);
    return handle && RegDeleteValueW(handle.get(), name.c_str()) == ERROR_SUCCESS;
}

bool DeleteRegSubKey(HKEY root, const std::wstring& key, const std::wstring& subkey) {
    if (subkey.empty()) return false;
    UniqueHKey handle = OpenRegKey(root, key, KEY_ALL_ACCESS);
    return handle && SHDeleteKeyW(handle.get(), subkey.c_str()) == ERROR_SUCCESS;
}

}  // namespace tidemark

// What the registry engine's tests share: keys and values made with the plain system calls, and
// a sink that keeps the findings.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "registry/registry_scan.h"

namespace tidemark::test {

inline void SetValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                     DWORD size) {
    HKEY handle = nullptr;
    RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    RegSetValueExW(handle, name.empty() ? nullptr : name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
}

inline void SetText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text,
                    DWORD type = REG_SZ) {
    SetValue(root, key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

inline void MakeKey(HKEY root, const std::wstring& key) {
    HKEY handle = nullptr;
    RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    RegCloseKey(handle);
}

inline bool KeyThere(HKEY root, const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

// The value's type and bytes; type 0xFFFFFFFF when it is not there.
struct StoredValue {
    DWORD type = 0xFFFFFFFF;
    std::vector<BYTE> data;
    bool operator==(const StoredValue&) const = default;
};
inline StoredValue ReadValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    StoredValue value;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return value;
    DWORD size = 0, type = 0;
    if (RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        RegQueryValueExW(handle, name.c_str(), nullptr, &type, value.data.data(), &size);
        value.data.resize(size);
        value.type = type;
    }
    RegCloseKey(handle);
    return value;
}

struct Findings final : Sink<TDataRegItems> {
    std::vector<TDataRegItems> rows;
    void Found(const TDataRegItems& row) override { rows.push_back(row); }
    // "category|key|name" per row, for comparing with what a case expects.
    std::vector<std::wstring> Texts() const {
        std::vector<std::wstring> texts;
        for (const auto& r : rows) texts.push_back(std::to_wstring(r.Category) + L"|" + r.KeyPath + L"|" + r.Name);
        return texts;
    }
};

}  // namespace tidemark::test

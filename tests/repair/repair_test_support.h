// Registry fixtures the repair tests share: values set and read back on the machine's real keys
// (the test prefix is the machine), and the system the repairs are told they run on.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "repair/repair_system.h"
#include "system/handles.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"

namespace tidemark::test {

inline void SetText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text,
                    DWORD type = REG_SZ) {
    UniqueHKey open = CreateRegKey(root, key, KEY_ALL_ACCESS);
    ASSERT_TRUE(open && SetStringValue(open.get(), name, text, type)) << testing::PrintToString(key + L"\\" + name);
}

inline void SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
    UniqueHKey open = CreateRegKey(root, key, KEY_ALL_ACCESS);
    ASSERT_TRUE(open);
    ASSERT_EQ(RegSetValueExW(open.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
}

inline void SetBinary(HKEY root, const std::wstring& key, const std::wstring& name, const std::vector<unsigned char>& data) {
    UniqueHKey open = CreateRegKey(root, key, KEY_ALL_ACCESS);
    ASSERT_TRUE(open);
    ASSERT_EQ(RegSetValueExW(open.get(), name.c_str(), 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

// The stored type and text of a string value; nothing when missing or not a string.
inline std::optional<std::wstring> TextOf(HKEY root, const std::wstring& key, const std::wstring& name,
                                          DWORD* type = nullptr) {
    UniqueHKey open = OpenRegKey(root, key, KEY_QUERY_VALUE);
    if (!open) return std::nullopt;
    return QueryStringValue(open.get(), name, type);
}

inline DWORD TypeOf(HKEY root, const std::wstring& key, const std::wstring& name) {
    UniqueHKey open = OpenRegKey(root, key, KEY_QUERY_VALUE);
    DWORD type = REG_NONE;
    if (!open || RegQueryValueExW(open.get(), name.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        return REG_NONE;
    return type;
}

inline void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    RegDeleteValueChecked(root, key, name);
}

// The system of this process, told it is another kind.
inline RepairSystem SystemOfKind(int kind, std::uint8_t language = LangOther) {
    RepairSystem system = RepairSystemOfProcess();
    system.Win.Kind = static_cast<std::uint8_t>(kind);
    system.Win.Language = language;
    return system;
}

}  // namespace tidemark::test

#include "settings/settings_store.h"

#include "system/handles.h"
#include "system/reg_ops.h"

namespace tidemark {

std::int32_t ReadSettingInt(const wchar_t* name, std::int16_t defaultValue) {
    return ReadRegIntDefault(kSettingsRoot, kSettingsKey, name, defaultValue);
}

bool WriteSettingInt(const wchar_t* name, std::int16_t value) {
    return WriteRegInt(kSettingsRoot, kSettingsKey, name, value);
}

std::wstring ReadSettingText(const wchar_t* name) {
    std::wstring value;
    ReadRegString(kSettingsRoot, kSettingsKey, name, L"", value);
    return value;
}

bool WriteSettingText(const wchar_t* name, const std::wstring& text) {
    return WriteRegString(kSettingsRoot, kSettingsKey, name, text);
}

bool SaveTypeSettings(bool customSet, const std::wstring& typeList, const std::wstring& states) {
    // Both values go through one open key, so the pair is written together or not at all.
    UniqueHKey key;
    if (RegCreateKeyExW(kSettingsRoot, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    auto store = [&](const wchar_t* name, const std::wstring& text) {
        return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    };
    const bool list = store(customSet ? kFileExtCustom : kFileExt, typeList);
    const bool state = store(customSet ? kFileExtCustomEnabled : kFileExtEnabled, states);
    return list && state;
}

}  // namespace tidemark

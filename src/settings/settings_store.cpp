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
    UniqueHKey key = CreateRegKey(kSettingsRoot, kSettingsKey, KEY_SET_VALUE);
    if (!key) return false;
    const bool list = SetStringValue(key.get(), customSet ? kFileExtCustom : kFileExt, typeList);
    const bool state = SetStringValue(key.get(), customSet ? kFileExtCustomEnabled : kFileExtEnabled, states);
    return list && state;
}

}  // namespace tidemark

#include "settings/settings_store.h"

#include "system/reg_ops.h"

namespace tidemark {

std::int32_t ReadSettingInt(const wchar_t* name, std::int16_t defaultValue) {
    return ReadRegIntDefault(kSettingsRoot, kSettingsKey, name, defaultValue);
}

bool WriteSettingInt(const wchar_t* name, std::int16_t value) {
    return WriteRegInt(kSettingsRoot, kSettingsKey, name, value);
}

}  // namespace tidemark

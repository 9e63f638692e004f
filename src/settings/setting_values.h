// Applies a SettingMap to Settings through the setting table, converting
// each value with the parser of its key, and reads values back as text.
#pragma once

#include <string>

#include "settings/setting_map.h"
#include "settings/settings.h"
#include "settings/value_parsers.h"

namespace qav {

// Visits the keys of the setting table in table order; keys outside the
// table are ignored. Throws std::runtime_error with the German message on
// the first value that cannot be converted; keys before it stay applied.
void applySettingMap(Settings& settings, const SettingMap& map);

// Whether the setting table has the key.
bool isSettingKey(const std::string& key);

// The text that applySettingMap turns back into the field's current value.
// Throws std::invalid_argument for a key the table does not have.
std::string formatSetting(const Settings& settings, const std::string& key);

}  // namespace qav

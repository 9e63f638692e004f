// Applies a SettingMap to Settings through the key table, converting each
// value with the parser of its key (the parsers are in value_parsers.h).
#pragma once

#include "settings/setting_map.h"
#include "settings/settings.h"
#include "settings/value_parsers.h"

namespace qav {

// Visits the keys of the key table in table order; keys outside the table
// are ignored. Throws std::runtime_error with the German message on the
// first value that cannot be converted; keys before it stay applied.
void applySettingMap(Settings& settings, const SettingMap& map);

// Whether the key table has the key.
bool isSettingKey(const std::string& key);

}  // namespace qav

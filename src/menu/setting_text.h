// The settings record seen as qav-cli's key/value texts: every key of the
// setting table in table order, and the text that reads back as its value.
#pragma once

#include <string>
#include <vector>

#include "settings/settings.h"

namespace qav::menu {

// All keys qav-cli accepts in its configuration file, in setting-table order.
const std::vector<std::string>& settingKeys();

// The text that applySettingMap turns back into the field's current value:
// numbers in decimal, booleans as true/false, enumerations as their word,
// lists joined with commas. Throws std::invalid_argument for a foreign key.
std::string settingText(const Settings& settings, const std::string& key);

}  // namespace qav::menu

// One entered value judged by qav-cli's own rules, as a form checks a field:
// the key's parser, then its check; and the allowed values in words.
#pragma once

#include <optional>
#include <string>

#include "settings/settings.h"

namespace qav {

// The German reason why `text` is no value for `key`, given the other
// settings in `current`; nothing when it is fine. The key's check applies
// whether or not its action is selected. Throws std::invalid_argument for a
// key the setting table does not have.
std::optional<std::string> checkSettingValue(const Settings& current, const std::string& key,
                                             const std::string& text);

// The allowed values of `key` with their meaning on the QAV, for example
// "0 = Impulswahl, 1 = Tonwahl, 2 = Standleitung" or "0 bis 12; 0 = unbegrenzt".
// Throws std::invalid_argument for a key the setting table does not have.
std::string allowedValuesText(const std::string& key);

}  // namespace qav

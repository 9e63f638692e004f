// Writes settings as a qav-cli INI file: a [sip] and a [qav] section whose
// values qav-cli's reader turns back into exactly the same settings.
#pragma once

#include <string>
#include <vector>

#include "settings/settings.h"

namespace qav::menu {

// The value as it must stand after "key = ": the reader trims blanks and
// strips one pair of surrounding double quotes, with no escapes, so a value
// with blanks at either end or in quotes of its own is wrapped in quotes.
// Throws std::runtime_error for a value with a line break, which no INI line
// can hold.
std::string iniValue(const std::string& key, const std::string& value);

// Every key except "config" and those in leftOut; "sip-password" only when a
// password is set, because the mere key makes qav-cli check the file's mode.
// Throws std::runtime_error when a value would not read back unchanged.
std::string iniText(const Settings& settings, const std::vector<std::string>& leftOut = {});

// Whether iniText with the same keys left out writes the password.
bool iniHoldsPassword(const Settings& settings, const std::vector<std::string>& leftOut = {});

}  // namespace qav::menu

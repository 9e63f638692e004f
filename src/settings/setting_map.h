// The neutral form in which the configuration file, the environment and the
// command line deliver settings: key to value text, one value per key.
#pragma once

#include <map>
#include <string>

namespace qav {

// Assigning to an existing key replaces its value, so within one source the
// last occurrence wins.
using SettingMap = std::map<std::string, std::string>;

}  // namespace qav

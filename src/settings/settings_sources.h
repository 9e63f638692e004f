// Merges the four settings sources in their documented priority: command
// line over environment over configuration file over built-in defaults.
#pragma once

#include <vector>

#include "settings/command_line.h"
#include "settings/config_file.h"
#include "settings/settings.h"

namespace qav {

// Throws std::runtime_error for unreadable files and unconvertible values.
Settings mergeSettings(const CommandLine& commandLine);
// The same, also handing back the keys of the configuration file that no
// setting has.
Settings mergeSettings(const CommandLine& commandLine,
                       std::vector<UnknownConfigKey>& unknownKeys);

}  // namespace qav

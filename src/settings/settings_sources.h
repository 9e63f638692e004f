// Merges the four settings sources in their documented priority: command
// line over environment over configuration file over built-in defaults.
#pragma once

#include "settings/command_line.h"
#include "settings/settings.h"

namespace qav {

// Throws std::runtime_error for unreadable files and unconvertible values.
Settings mergeSettings(const CommandLine& commandLine);

}  // namespace qav

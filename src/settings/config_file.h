// The INI configuration file: which one is read, and reading it into a
// SettingMap with the permission rule for files that hold the SIP password.
#pragma once

#include <optional>
#include <string>

#include "settings/command_line.h"
#include "settings/setting_map.h"

namespace qav {

inline constexpr const char* systemConfigPath = "/usr/local/etc/qav-cli.conf";
inline constexpr const char* localConfigPath = "qav-cli.conf";

// --config first, then the system-wide file, then the local one; only one.
std::optional<std::string> locateConfigFile(const CommandLine& commandLine);

SettingMap readConfigFile(const std::string& path);

}  // namespace qav

// The INI configuration file: which one is read, and reading it into a
// SettingMap with the permission rule for files that hold the SIP password.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/command_line.h"
#include "settings/setting_map.h"

namespace qav {

inline constexpr const char* systemConfigPath = "/usr/local/etc/qav-cli.conf";
inline constexpr const char* localConfigPath = "qav-cli.conf";

// --config first, then the system-wide file, then the local one; only one.
std::optional<std::string> locateConfigFile(const CommandLine& commandLine);

// A line whose key no setting has: it is ignored when the file is applied,
// and the technician is told where it is, since a misspelt key silently
// leaves its setting at the default.
struct UnknownConfigKey {
  std::string path;
  unsigned long line = 0;
  std::string key;
};

struct ConfigFileContent {
  SettingMap map;
  std::vector<UnknownConfigKey> unknownKeys;  // in line order
};

ConfigFileContent readConfigFileContent(const std::string& path);
// The map of readConfigFileContent.
SettingMap readConfigFile(const std::string& path);

}  // namespace qav

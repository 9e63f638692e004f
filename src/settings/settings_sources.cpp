#include "settings/settings_sources.h"

#include <optional>
#include <string>
#include <utility>

#include "settings/config_file.h"
#include "settings/environment.h"
#include "settings/setting_values.h"

namespace qav {

Settings mergeSettings(const CommandLine& commandLine) {
  std::vector<UnknownConfigKey> unknownKeys;
  return mergeSettings(commandLine, unknownKeys);
}

Settings mergeSettings(const CommandLine& commandLine,
                       std::vector<UnknownConfigKey>& unknownKeys) {
  Settings settings;
  if (const std::optional<std::string> path = locateConfigFile(commandLine)) {
    settings.configPath = *path;
    ConfigFileContent content = readConfigFileContent(*path);
    applySettingMap(settings, content.map);
    unknownKeys = std::move(content.unknownKeys);
  }
  applyEnvironment(settings);
  applySettingMap(settings, commandLine.options);
  if (settings.json) settings.color = ColorMode::Never;
  return settings;
}

}  // namespace qav

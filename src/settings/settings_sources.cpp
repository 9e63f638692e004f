#include "settings/settings_sources.h"

#include <optional>
#include <string>

#include "settings/config_file.h"
#include "settings/environment.h"
#include "settings/setting_values.h"

namespace qav {

Settings mergeSettings(const CommandLine& commandLine) {
  Settings settings;
  if (const std::optional<std::string> path = locateConfigFile(commandLine)) {
    settings.configPath = *path;
    applySettingMap(settings, readConfigFile(*path));
  }
  applyEnvironment(settings);
  applySettingMap(settings, commandLine.options);
  if (settings.json) settings.color = ColorMode::Never;
  return settings;
}

}  // namespace qav

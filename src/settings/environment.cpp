#include "settings/environment.h"

#include <cstdlib>

#include "settings/setting_map.h"
#include "settings/setting_table.h"
#include "settings/setting_values.h"

namespace qav {

namespace {

// Unset and empty are the same: an empty variable cannot clear a value that
// the configuration file set.
const char* nonEmptyVariable(const std::string& name) {
  if (name.empty()) return nullptr;
  const char* value = std::getenv(name.c_str());
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

void applyEnvironment(Settings& settings) {
  SettingMap map;
  for (const SettingRow& row : settingTable())
    if (const char* value = nonEmptyVariable(row.variable)) map[row.key] = value;
  applySettingMap(settings, map);

  if (!settings.sip.password.empty()) return;
  if (const char* password = nonEmptyVariable(settings.sip.passwordEnv))
    settings.sip.password = password;
}

}  // namespace qav

#include "settings/setting_values.h"

#include <stdexcept>

#include "settings/setting_table.h"

namespace qav {

bool isSettingKey(const std::string& key) { return findSettingRow(key) != nullptr; }

void applySettingMap(Settings& settings, const SettingMap& map) {
  for (const SettingRow& row : settingTable()) {
    const auto entry = map.find(row.key);
    if (entry != map.end()) row.access.apply(settings, entry->first, entry->second);
  }
}

std::string formatSetting(const Settings& settings, const std::string& key) {
  const SettingRow* row = findSettingRow(key);
  if (row == nullptr) throw std::invalid_argument("Unbekannter Einstellungsschlüssel: " + key);
  return row->access.format(settings);
}

}  // namespace qav

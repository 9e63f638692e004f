#include "menu/setting_text.h"

#include "settings/setting_table.h"
#include "settings/setting_values.h"

namespace qav::menu {

const std::vector<std::string>& settingKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> list;
    for (const SettingRow& row : settingTable()) list.push_back(row.key);
    return list;
  }();
  return keys;
}

std::string settingText(const Settings& settings, const std::string& key) {
  return formatSetting(settings, key);
}

}  // namespace qav::menu

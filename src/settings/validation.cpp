#include "settings/validation.h"

#include <algorithm>
#include <iterator>

#include "settings/action_catalogue.h"
#include "settings/setting_table.h"

namespace qav {

namespace {

// The order in which findings are reported: the account, what every run
// needs, the values of the selected actions in plan order, then the
// settings that depend on others. Rows with a check that are not named here
// follow in table order.
const char* const kFindingOrder[] = {
    "sip-server", "sip-user", "sip-password",
    "target", "pin", "cabin", "actions", "routine-days",
    "new-pin", "emergency-trigger-1", "emergency-trigger-2", "emergency-trigger-3",
    "routine-at", "service-number", "emergency-numbers",
    "dial-mode", "dial-attempts", "call-duration", "input-mode", "call-protection",
    "routine-fault", "z208", "output-mode", "alarm-latency", "alarm-horn", "line-impedance",
    "bus-address",
    "sip-tls-verify", "dtmf-tone-ms",
};

bool isOrdered(const std::string& key) {
  return std::find(std::begin(kFindingOrder), std::end(kFindingOrder), key) !=
         std::end(kFindingOrder);
}

bool applies(const SettingRow& row, const Settings& settings, bool callFollows) {
  switch (row.when) {
    case CheckWhen::CallFollows:
      return callFollows;
    case CheckWhen::ActionSelected:
      return isSelected(settings.device.actions, row.action);
    case CheckWhen::Always:
      break;
  }
  return true;
}

void check(const SettingRow& row, const Settings& settings, bool callFollows,
           std::vector<std::string>& findings) {
  if (!applies(row, settings, callFollows)) return;
  checkSettingRow(row, settings, findings);
}

}  // namespace

void checkSettingRow(const SettingRow& row, const Settings& settings,
                     std::vector<std::string>& findings) {
  if (row.rule != nullptr && !row.rule(row.access.format(settings)))
    findings.push_back(row.message);
  if (row.composite != nullptr) row.composite(settings, findings);
}

std::vector<std::string> validateSettings(const Settings& settings, bool callFollows) {
  std::vector<std::string> findings;
  for (const char* key : kFindingOrder)
    if (const SettingRow* row = findSettingRow(key)) check(*row, settings, callFollows, findings);
  for (const SettingRow& row : settingTable())
    if (!isOrdered(row.key)) check(row, settings, callFollows, findings);
  return findings;
}

}  // namespace qav

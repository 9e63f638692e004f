#include "fleet_test_support.h"

#include "programming_call.h"
#include "settings/setting_values.h"

namespace qav::testing {

SettingMap liftValues(std::uint16_t pbxPort, const std::string& user, const SettingMap& values) {
  SettingMap map{{"sip-server", "127.0.0.1"},  {"sip-port", std::to_string(pbxPort)},
                 {"sip-user", user},           {"sip-password", user + "-secret"},
                 {"actions", "clock"},         {"color", "never"}};
  for (std::size_t i = 0; i + 1 < kFastDigits.size(); i += 2) map[kFastDigits[i].substr(2)] = kFastDigits[i + 1];
  for (const auto& [key, value] : values) map[key] = value;
  return map;
}

Command deviceCommand(std::uint16_t pbxPort, const std::string& statePath, const std::string& user,
                      const std::vector<std::string>& faults) {
  Command command = simulatorCommand("127.0.0.1:" + std::to_string(pbxPort), statePath, user);
  command.argv.resize(command.argv.size() - 2);  // without "--calls 1"
  command.argv.insert(command.argv.end(), faults.begin(), faults.end());
  return command;
}

fleet::FleetLift fleetLift(std::size_t line, const std::string& id, const SettingMap& values) {
  fleet::FleetLift lift;
  lift.line = line;
  lift.id = id;
  lift.values = values;
  applySettingMap(lift.settings, values);
  return lift;
}

}  // namespace qav::testing

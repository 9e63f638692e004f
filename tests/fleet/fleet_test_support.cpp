#include "fleet_test_support.h"

#include "programming_call.h"

namespace qav::testing {

SettingMap commonValues(std::uint16_t pbxPort) {
  SettingMap map{{"sip-server", "127.0.0.1"}, {"sip-port", std::to_string(pbxPort)}, {"actions", "clock"}};
  for (std::size_t i = 0; i + 1 < kFastDigits.size(); i += 2) map[kFastDigits[i].substr(2)] = kFastDigits[i + 1];
  return map;
}

SettingMap liftValues(std::uint16_t pbxPort, const std::string& user, const SettingMap& values) {
  SettingMap map = commonValues(pbxPort);
  map["sip-user"] = user;
  map["sip-password"] = user + "-secret";
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

}  // namespace qav::testing

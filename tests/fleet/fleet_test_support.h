// What the fleet tests share: the settings of a lift calling a simulated
// device at the test PBX at a fast digit pace, and the device itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "process.h"
#include "settings/setting_map.h"

namespace qav::testing {

// The PBX on loopback, actions "clock", the fast digit pace.
SettingMap commonValues(std::uint16_t pbxPort);

// The common values, the caller account `user` (password user +
// "-secret"), then `values` over them.
SettingMap liftValues(std::uint16_t pbxPort, const std::string& user, const SettingMap& values);

// qav-sim as `user` at the PBX, taking calls until it is stopped.
Command deviceCommand(std::uint16_t pbxPort, const std::string& statePath, const std::string& user,
                      const std::vector<std::string>& faults = {});

}  // namespace qav::testing

// What the fleet tests share: a lift's settings as the device list would
// give them, calling a simulated device at the test PBX at a fast digit pace.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fleet/fleet_lift.h"
#include "process.h"
#include "settings/setting_map.h"

namespace qav::testing {

// The caller account `user` (password user + "-secret") at the PBX on
// loopback, actions "clock", the fast digit pace; `values` over that.
SettingMap liftValues(std::uint16_t pbxPort, const std::string& user, const SettingMap& values);

// qav-sim as `user` at the PBX, taking calls until it is stopped.
Command deviceCommand(std::uint16_t pbxPort, const std::string& statePath, const std::string& user,
                      const std::vector<std::string>& faults = {});

// Default settings with `values` applied, as a row of the list.
fleet::FleetLift fleetLift(std::size_t line, const std::string& id, const SettingMap& values);

}  // namespace qav::testing

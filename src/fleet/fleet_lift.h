// One lift of a fleet run: the row of the device list it came from and the
// settings its call of qav-cli runs with.
#pragma once

#include <cstddef>
#include <string>

#include "settings/setting_map.h"
#include "settings/settings.h"

namespace qav::fleet {

// Plain value; built once from the list, then only read.
struct FleetLift {
  std::size_t line = 0;  // line of the list where the row begins (header = 1)
  std::string id;        // free column "id"; may be empty
  std::string remark;    // free column "bemerkung"
  SettingMap values;     // the row's setting columns that hold a value
  Settings settings;     // the common settings with `values` applied over them

  // How the journal, the report and `history` name the lift.
  const std::string& name() const { return id.empty() ? settings.device.target : id; }
};

}  // namespace qav::fleet

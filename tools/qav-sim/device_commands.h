// The QAV's "#*" command set as the device sees it: for every two-digit code
// the entries that follow it and how they change the stored state.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "qav-sim/device_state.h"
#include "qav-sim/entry_format.h"

namespace qav::sim {

struct DeviceCommand {
  std::string code;  // the two digits after "#*"
  std::vector<EntryFormat> entries;
  // Applies the complete, individually valid entries. False when they
  // disagree with each other (the new PIN and its confirmation); the state
  // is then left as it was.
  std::function<bool(DeviceState&, const std::vector<std::string>&)> commit;
  // The line calibration takes no entry and answers only when it has
  // measured the line.
  bool calibrates = false;
};

// Nullptr for a code the device does not know.
const DeviceCommand* findCommand(const std::string& code);

}  // namespace qav::sim

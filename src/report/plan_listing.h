// The dry run's listing of the command plan as "plan", "action" and
// "segment" info events.
#pragma once

#include <chrono>

#include "report/reporter.h"
#include "settings/settings.h"

namespace qav {

void listPlan(const DeviceSettings& device, std::chrono::system_clock::time_point timePoint,
              Reporter& reporter);

}  // namespace qav

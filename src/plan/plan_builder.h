// Builds the command plan from the device settings and a time point: a pure
// function, in the fixed plan order.
#pragma once

#include <chrono>
#include <string>

#include "plan/command_plan.h"
#include "settings/settings.h"

namespace qav {

CommandPlan buildCommandPlan(const DeviceSettings& settings,
                             std::chrono::system_clock::time_point timePoint);

void addTriggerAction(const DeviceSettings& settings, CommandPlan& plan, int triggerNumber,
                      const std::string& value);

}  // namespace qav

// Builds the command plan from the device settings and a time point: a pure
// function, in the fixed plan order.
#pragma once

#include <chrono>
#include <string>

#include "plan/command_plan.h"
#include "settings/settings.h"

namespace qav {

// The time point is the moment the plan is meant for: clock, date and the
// "auto" routine time are taken from it in the process's local time zone.
// Throws on a malformed routine-at (whether or not routine is selected), on
// fewer than four emergency numbers when they are selected, and on values
// outside the parameter label tables; no partial plan is ever returned.
CommandPlan buildCommandPlan(const DeviceSettings& settings,
                             std::chrono::system_clock::time_point timePoint);

// The action as it is sent at the time point: the clock and a routine time
// "auto" are built anew from it, every other action is returned unchanged.
// A repeated sequence is sent with the time of its own attempt, not with
// the one it had when the plan was built.
PlanAction actionAt(const DeviceSettings& settings, const PlanAction& action,
                    std::chrono::system_clock::time_point timePoint);

// Appends the assignment of emergency trigger `triggerNumber` (1 to 3);
// `value` is the three digits trigger, loudspeaker, microphone.
void addTriggerAction(const DeviceSettings& settings, CommandPlan& plan, int triggerNumber,
                      const std::string& value);

}  // namespace qav

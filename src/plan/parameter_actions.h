// The twelve actions that set one QAV parameter each: opening code, one
// parameter entry, double confirmation.
#pragma once

#include <string>

#include "plan/command_plan.h"
#include "settings/settings.h"

namespace qav {

// Appends the selected ones of the twelve, in table order.
void addParameterActions(const DeviceSettings& settings, CommandPlan& plan);

std::string parameterValueText(const std::string& actionName, const std::string& digits);

}  // namespace qav

// The twelve actions that set one QAV parameter each: opening code, one
// parameter entry, double confirmation.
#pragma once

#include <string>

#include "plan/command_plan.h"
#include "settings/settings.h"

namespace qav {

// Appends the selected ones of the twelve, in table order (which is also
// their plan order).
void addParameterActions(const DeviceSettings& settings, CommandPlan& plan);

// The German text shown for a parameter value in the step label. Throws
// std::out_of_range for an output-mode or alarm-horn value the QAV does not
// know, std::invalid_argument for a name that is not one of the twelve.
std::string parameterValueText(const std::string& actionName, const std::string& digits);

}  // namespace qav

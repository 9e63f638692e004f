// Checks the merged settings once and collects every finding as a German
// sentence, in a fixed order; never throws.
#pragma once

#include <string>
#include <vector>

#include "settings/setting_table.h"
#include "settings/settings.h"

namespace qav {

// Only the settings that a run uses are looked at: the account when a call
// follows, the values of an action when it is selected, and those every
// run needs.
std::vector<std::string> validateSettings(const Settings& settings, bool callFollows);

// One row's check, whatever the selection: appends its findings.
void checkSettingRow(const SettingRow& row, const Settings& settings,
                     std::vector<std::string>& findings);

}  // namespace qav

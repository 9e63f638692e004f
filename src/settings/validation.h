// Checks the merged settings once and collects every finding as a German
// sentence, in a fixed order; never throws.
#pragma once

#include <string>
#include <vector>

#include "settings/settings.h"

namespace qav {

std::vector<std::string> validateSettings(const Settings& settings, bool callFollows);

}  // namespace qav

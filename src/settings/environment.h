// The QAV_ environment variables, applied over the configuration file, and
// the final lookup of the password variable.
#pragma once

#include "settings/settings.h"

namespace qav {

void applyEnvironment(Settings& settings);

}  // namespace qav

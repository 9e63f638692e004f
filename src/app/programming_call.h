// The real run: one programming call over a new telephony session, which is
// hung up and shut down on every path before an error leaves.
#pragma once

#include "report/reporter.h"
#include "settings/settings.h"

namespace qav {

void runProgrammingCall(const Settings& settings, Reporter& reporter);

}  // namespace qav

// A real fleet run: each lift called by its own qav-cli, a bounded number at
// once, retried in rounds, journalled so that --resume continues it.
#pragma once

#include <iosfwd>
#include <string>

#include "fleet/fleet_run_request.h"

namespace qav::fleet {

// Exit statuses of a run.
inline constexpr int kAllDone = 0;
inline constexpr int kOtherError = 3;
inline constexpr int kSomeFailed = 4;

// Runs it on the calling thread (the main thread: it handles SIGINT and
// SIGTERM meanwhile), calling each lift with the qav-cli at `cliPath`,
// writing the display to `out` and errors as "Fehler: " lines to `err`.
// Returns the exit status: 0 every lift done, 4 the run ended and some
// failed, 3 interrupted or another error (2: --resume found nothing to
// resume).
int runFleet(const FleetRunRequest& request, const std::string& cliPath, std::ostream& out,
             std::ostream& err);

// The same with qav-cli beside qav-fleet or on PATH, on standard output
// and error.
int runFleet(const FleetRunRequest& request);

}  // namespace qav::fleet

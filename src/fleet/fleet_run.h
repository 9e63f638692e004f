// A real fleet run: every lift of the list called by its own qav-cli, a
// bounded number at once and spaced apart, retried in rounds, journalled so
// that --resume continues where a run stopped.
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>
#include <vector>

#include "fleet/fleet_lift.h"

namespace qav::fleet {

// What main hands over for a real run. Plain value.
struct FleetRunRequest {
  std::string listPath;  // the device list, as the journal names the run
  std::vector<FleetLift> lifts;
  std::string databasePath;
  std::string cliPath;  // the qav-cli to run
  std::string options;  // the run's command line, for the report
  int parallel = 1;
  std::chrono::milliseconds callInterval{1000};
  int retryRounds = 2;
  std::chrono::seconds retryAfter{300};
  bool resume = false;
  bool json = false;
};

// Exit statuses of a run.
inline constexpr int kAllDone = 0;
inline constexpr int kOtherError = 3;
inline constexpr int kSomeFailed = 4;

// Runs it on the calling thread (the main thread: it handles SIGINT and
// SIGTERM meanwhile), writing the display to `out` and errors as
// "Fehler: " lines to `err`. Returns the exit status: 0 every lift done,
// 4 the run ended and some failed, 3 interrupted or another error.
int runFleet(const FleetRunRequest& request, std::ostream& out, std::ostream& err);

}  // namespace qav::fleet

// What `qav-fleet run` hands to the run once its options and every row of
// the list have been checked: the lifts, the pace of their calls and the
// journal to keep.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "fleet/fleet_lift.h"
#include "settings/settings.h"

namespace qav::fleet {

// qav-fleet's own options of `run`; every other option is qav-cli's. Plain value.
struct FleetOptions {
  std::uint32_t parallel = 1;                    // calls at the same time, 1 to 100
  std::chrono::milliseconds callInterval{1000};  // between the starts of two calls
  std::uint32_t retryRounds = 2;                 // rounds after the first, 0 to 20
  std::chrono::seconds retryAfter{300};          // between two rounds
  std::string dbPath;                            // empty until resolved: beside the list
  bool resume = false;
  bool dryRun = false;
  bool json = false;  // one JSON object a line instead of the terminal display
};

// Plain value, built once and only read by the run.
struct FleetRunRequest {
  std::string listPath;          // as given; the journal makes it absolute
  std::vector<FleetLift> lifts;  // every row checked, in list order
  FleetOptions options;          // dbPath resolved
  Settings common;               // what the rows' values were applied over
  // The run's arguments after "run" for the journal, a password given on
  // the command line replaced by "***".
  std::string commandLine;
};

}  // namespace qav::fleet

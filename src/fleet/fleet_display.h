// What a fleet run shows: a line per finished lift, a status line and the
// summary on a terminal, or one JSON object a line for supervising programs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "fleet/fleet_lift.h"
#include "fleet/lift_outcome.h"

namespace qav::fleet {

struct FleetCounts {
  std::size_t done = 0;
  std::size_t failed = 0;  // given up, or out of retry rounds
  std::size_t running = 0;
  std::size_t waiting = 0;

  bool operator==(const FleetCounts&) const = default;
};

// Where one lift stands at the end of the run. Plain value.
struct LiftSummary {
  const FleetLift* lift = nullptr;
  std::optional<LiftOutcome> outcome;  // of its last attempt; none: never called
  std::string explanation;
  int attempts = 0;
  bool final = false;  // it will not be called again
};

// Writes to one stream, from the thread that runs the fleet.
class FleetDisplay {
 public:
  // `terminal`: the stream is a terminal, so the status line is rewritten
  // in place; elsewhere it is left out of the plain text.
  FleetDisplay(std::ostream& out, bool json, bool terminal);

  void runStarted(std::int64_t run, std::size_t lifts, bool resumed);
  void liftStarted(const FleetLift& lift, int attempt);
  // `nextTry`: when a lift that will be called again is due.
  void liftEnded(const FleetLift& lift, const AttemptRecord& attempt, bool final,
                 std::optional<WallTime> nextTry);
  // On a terminal it is rewritten each time; as JSON it is written when the
  // counts change.
  void status(const FleetCounts& counts, std::optional<WallTime> estimatedEnd);
  // `stage`: 1 no new calls, 2 the running ones are ended, 3 killed.
  void stopRequested(int stage);
  void runEnded(std::int64_t run, const std::vector<LiftSummary>& lifts, const FleetCounts& counts,
                int exitStatus);

 private:
  void clearStatus();
  void line(const std::string& text);

  std::ostream& out_;
  bool json_;
  bool terminal_;
  bool statusShown_ = false;
  std::optional<FleetCounts> lastCounts_;  // of the last JSON status
};

}  // namespace qav::fleet

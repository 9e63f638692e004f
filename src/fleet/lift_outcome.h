// What one call of qav-cli for a lift ended with, as the fleet run, the
// journal and the report see it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qav::fleet {

enum class LiftOutcome {
  Done,         // the device took every action
  RetryLater,   // busy, no answer, no start tone, dropped line, time limits
  GiveUp,       // invalid settings, PIN refused, 401/403/404, wrong cabin
  Interrupted,  // stopped by the technician or lost with a killed run
};

using WallTime = std::chrono::system_clock::time_point;

// One call of qav-cli for one lift. Plain value.
struct AttemptRecord {
  int number = 0;  // 1-based over all runs of the same list
  WallTime started;
  WallTime ended;
  std::optional<int> exitStatus;  // none when the child ended by a signal
  std::string errorLine;          // its last error line without "Fehler: "
  // The values the device confirmed: the labels of the segments of every
  // action that succeeded, as qav-cli announced them ("Parameter Uhrzeit
  // auf 10:49 Uhr setzen").
  std::vector<std::string> sent;
  LiftOutcome outcome = LiftOutcome::Interrupted;
  std::string explanation;  // one line for the technician, German
};

}  // namespace qav::fleet

// What a failed run of qav-cli means for the technician: its error lines,
// each with whether another call later may succeed, the cause and what to do.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fleet/lift_outcome.h"

namespace qav {

// One row of the table: qav-cli's error line (without "Fehler: ") in the
// step it failed in, its outcome and the line for the technician.
struct FailureExplanation {
  const char* pattern;  // ECMAScript regular expression over the whole line
  const char* step;     // event of the step that failed ("auth", "qav"); "" for any
  fleet::LiftOutcome outcome;
  const char* explanation;  // German, one short line for a list of lifts
  const char* cause;        // German sentence: what most likely happened
  const char* nextStep;     // German sentence: what the technician does next
};

// The rows in the order they are tried; the first that matches counts.
const std::vector<FailureExplanation>& failureExplanations();

struct ExplainedFailure {
  fleet::LiftOutcome outcome = fleet::LiftOutcome::RetryLater;
  std::string explanation;
  std::string cause;
  std::string nextStep;
  bool known = false;  // a row of the table matched
};

// The row for an error line of qav-cli's exit status 3; an unknown line is
// worth another call, which the retry rounds bound.
ExplainedFailure explainFailure(const std::string& errorLine, const std::string& failedStep);

// How one run of qav-cli ended: its exit status (none: ended by a signal),
// its last error line and the event of its last pending step.
ExplainedFailure explainRun(std::optional<int> exitStatus, const std::string& errorLine,
                            const std::string& failedStep);

}  // namespace qav

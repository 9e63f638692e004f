// A run of qav-cli's end in plain words: the verdict, the cause and next
// step of a failure, and which actions and values the device took.
#pragma once

#include <string>
#include <vector>

#include "menu/call_transcript.h"
#include "menu/child_process.h"
#include "menu/plan_outline.h"

namespace qav::menu {

// The verdict in one sentence. Status 0 success, 2 invalid settings
// (nothing was sent), 3 failure; 127 is the menu's own status for a qav-cli
// that could not be started.
std::string exitMeaning(const ChildExit& exit);

// The status symbol level fitting the exit: success for 0, error otherwise.
std::string exitLevel(const ChildExit& exit);

// For a failed call: "Ursache: …" and "Nächster Schritt: …" for qav-cli's
// last error line, from the table shared with qav-fleet. Empty otherwise.
std::vector<std::string> failureAdvice(const ChildExit& exit, const CallTranscript& transcript);

// Which actions of the plan the device confirmed, which not, and the
// values sent, one line each.
std::vector<std::string> runSummary(const PlanOutline& outline, const CallTranscript& transcript);

}  // namespace qav::menu

// What a programming call sent to the QAV and heard back, for a record of
// the call kept beside the event stream (the call report).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plan/command_plan.h"
#include "tone/signal.h"

namespace qav {

// One digit string sent and the answer to it, passed or failed.
struct Exchange {
  std::string event;  // "qav", "auth" or the action's name
  std::string label;  // the segment's label; for cabin and PIN the step's message
  std::string digits;  // as sent, PINs included: the log decides what to keep
  std::vector<Signal> expected;  // any of these passes
  std::optional<Signal> heard;   // none: nothing came within the time limit
  std::string failure;           // why the attempt failed; empty when it passed
  std::uint64_t attempt = 1;
  std::chrono::system_clock::time_point sentAt;
};

// Told by the DeviceProgrammer, on its thread, as the dialogue goes on.
class DialogueLog {
 public:
  virtual ~DialogueLog() = default;
  virtual void exchanged(const Exchange& exchange) = 0;
  // The command plan once it is built, after the PIN.
  virtual void planned(const CommandPlan& plan) = 0;
  // An action the QAV confirmed, as sent in its last attempt.
  virtual void programmed(const PlanAction& action) = 0;
};

}  // namespace qav

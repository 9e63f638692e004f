// One lift's call: qav-cli as a child with the lift's settings in a private
// configuration file, its event stream read back into an AttemptRecord.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "fleet/lift_outcome.h"
#include "menu/call_transcript.h"
#include "menu/child_process.h"
#include "menu/cli_event.h"
#include "menu/cli_invocation.h"
#include "settings/settings.h"

namespace qav::fleet {

// Called with every event of the child as it comes, on the calling thread.
using CallEventSink = std::function<void(const menu::CliEvent& event)>;

// One running qav-cli in a process group of its own, so that a Ctrl-C at
// the terminal reaches only the fleet. The password goes to it through its
// environment, never its arguments. Created and finished by one thread;
// stop() may be called from any other.
class LiftCall {
 public:
  // Starts the child; throws std::runtime_error when it cannot.
  LiftCall(const std::string& cliPath, const Settings& settings);

  // Reads its events to the end and reaps it: an attempt with times, exit
  // status, error line, values sent and the outcome; `number` is left 0.
  AttemptRecord finish(const CallEventSink& onEvent);

  // Asks it to hang up and unregister (SIGTERM).
  void stop() { child_.terminate(); }
  // Ends it at once (SIGKILL), for a child that does not end when asked.
  void kill() { child_.terminate(SIGKILL); }

 private:
  WallTime started_;
  menu::RunConfigFile config_;
  menu::ChildProcess child_;
};

}  // namespace qav::fleet

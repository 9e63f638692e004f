#include "fleet/lift_call.h"

#include "report/failure_explanations.h"

namespace qav::fleet {

LiftCall::LiftCall(const std::string& cliPath, const Settings& settings)
    : started_(std::chrono::system_clock::now()),
      config_(settings),
      child_(menu::cliCall(cliPath, config_.path(), settings, false), menu::ProcessGroup::Own) {}

AttemptRecord LiftCall::finish(const CallEventSink& onEvent) {
  menu::CallTranscript transcript;
  const menu::ChildExit exit = child_.finish(
      [&](const std::string& line) {
        if (const auto event = transcript.outputLine(line)) onEvent(*event);
      },
      [&](const std::string& line) { transcript.errorLine(line); });
  AttemptRecord attempt;
  attempt.started = started_;
  attempt.ended = std::chrono::system_clock::now();
  if (exit.exited) attempt.exitStatus = exit.code;
  attempt.errorLine = transcript.lastError();
  attempt.sent = transcript.sent();
  const ExplainedFailure explained =
      explainRun(attempt.exitStatus, attempt.errorLine, transcript.lastStep());
  attempt.outcome = explained.outcome;
  attempt.explanation = explained.explanation;
  return attempt;
}

}  // namespace qav::fleet

#include "fleet/lift_call.h"

#include <regex>

#include "report/failure_explanations.h"

namespace qav::fleet {

namespace {

// "  ├─ LABEL (Versuch a/n)" or "  └─ LABEL (Versuch a/n)", as qav-cli
// announces each segment of an action.
const std::regex& segmentPattern() {
  static const std::regex pattern(R"(  (?:├─|└─) (.*) \(Versuch (\d+)/\d+\))");
  return pattern;
}

constexpr std::string_view errorPrefix = "Fehler: ";

}  // namespace

std::optional<menu::CliEvent> CallTranscript::outputLine(const std::string& line) {
  std::optional<menu::CliEvent> event = menu::parseCliEvent(line);
  if (!event) return event;
  if (event->level == "pending" || event->level == "retry") {
    lastStep_ = event->event;
    if (event->level == "pending") segment(*event);
  } else if (event->level == "success" && event->event == segmentEvent_) {
    sent_.insert(sent_.end(), segments_.begin(), segments_.end());
    segmentEvent_.clear();
    segments_.clear();
  }
  return event;
}

// A repeated sequence starts over with its first segment, so only the
// labels of the attempt that succeeded count.
void CallTranscript::segment(const menu::CliEvent& event) {
  std::smatch match;
  if (!std::regex_match(event.message, match, segmentPattern())) return;
  if (event.event != segmentEvent_ || match[2].str() != segmentAttempt_) {
    segmentEvent_ = event.event;
    segmentAttempt_ = match[2].str();
    segments_.clear();
  }
  segments_.push_back(match[1].str());
}

void CallTranscript::errorLine(const std::string& line) {
  if (line.starts_with(errorPrefix)) lastError_ = line.substr(errorPrefix.size());
}

LiftCall::LiftCall(const std::string& cliPath, const Settings& settings)
    : started_(std::chrono::system_clock::now()),
      config_(settings),
      child_(menu::cliCall(cliPath, config_.path(), settings, false), menu::ProcessGroup::Own) {}

AttemptRecord LiftCall::finish(const CallEventSink& onEvent) {
  CallTranscript transcript;
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

#include "menu/call_transcript.h"

#include <regex>
#include <string_view>

namespace qav::menu {

namespace {

// "  ├─ LABEL (Versuch a/n)" or "  └─ LABEL (Versuch a/n)", as qav-cli
// announces each segment of an action.
const std::regex& segmentPattern() {
  static const std::regex pattern(R"(  (?:├─|└─) (.*) \(Versuch (\d+)/\d+\))");
  return pattern;
}

constexpr std::string_view errorPrefix = "Fehler: ";

}  // namespace

std::optional<CliEvent> CallTranscript::outputLine(const std::string& line) {
  std::optional<CliEvent> event = parseCliEvent(line);
  if (!event) return event;
  if (event->level == "pending" || event->level == "retry") {
    lastStep_ = event->event;
    if (event->level == "pending") segment(*event);
  } else if (event->level == "success" && event->event == segmentEvent_) {
    sent_.insert(sent_.end(), segments_.begin(), segments_.end());
    programmed_.push_back(segmentEvent_);
    segmentEvent_.clear();
    segments_.clear();
  }
  return event;
}

// A repeated sequence starts over with its first segment, so only the
// labels of the attempt that succeeded count.
void CallTranscript::segment(const CliEvent& event) {
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

}  // namespace qav::menu

// What qav-cli announced in one call, read back from its event stream and
// error lines: the actions it programmed, the values sent, its last error.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "menu/cli_event.h"

namespace qav::menu {

// Gathered from the child's lines as they come. Plain value, fed by one
// thread.
class CallTranscript {
 public:
  // The line's event, if it is one.
  std::optional<CliEvent> outputLine(const std::string& line);
  void errorLine(const std::string& line);

  // Labels of the segments of every action that succeeded, in order.
  const std::vector<std::string>& sent() const { return sent_; }
  // Events of the actions that succeeded with segments, in order.
  const std::vector<std::string>& programmed() const { return programmed_; }
  // The last "Fehler: " line of standard error, without the prefix.
  const std::string& lastError() const { return lastError_; }
  // The event of the last step that was under way (pending or retried).
  const std::string& lastStep() const { return lastStep_; }

 private:
  void segment(const CliEvent& event);

  std::vector<std::string> sent_;
  std::vector<std::string> programmed_;
  std::string lastError_;
  std::string lastStep_;
  std::string segmentEvent_;  // the action whose segments are collected
  std::string segmentAttempt_;
  std::vector<std::string> segments_;
};

}  // namespace qav::menu

// The live view of a programming call: qav-cli's events and error lines,
// the progress bar, and at the end the outcome and what was programmed.
#pragma once

#include <iosfwd>
#include <string>

#include "menu/call_transcript.h"
#include "menu/child_process.h"
#include "menu/progress_tracker.h"

namespace qav::menu {

class RunView {
 public:
  // On a terminal the bar stays on the last line and is redrawn in place
  // with a carriage return (no cursor control beyond that, so serial
  // consoles cope); elsewhere it is written as a line of its own whenever
  // another step has finished.
  RunView(std::ostream& out, bool terminal, bool colour, PlanOutline outline);

  void outputLine(const std::string& line);
  void errorLine(const std::string& line);
  // The final bar, what the exit status means, the cause and next step of
  // a failure and the summary of the actions.
  void finish(const ChildExit& exit);

  std::size_t finished() const { return tracker.finished(); }

 private:
  void write(const std::string& line);
  void showProgress(bool always);
  void eraseBar();

  std::ostream& out;
  bool terminal;
  bool colour;
  PlanOutline outline;
  ProgressTracker tracker;
  CallTranscript transcript;
  std::size_t shownFinished = 0;
  std::size_t barWidth = 0;  // characters of the bar now on screen
};

}  // namespace qav::menu

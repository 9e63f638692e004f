// A program run to its end as a child process, with standard output as lines
// stamped at the moment they arrived and standard error kept apart.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qav::e2e {

using Clock = std::chrono::steady_clock;

struct OutputLine {
  std::string text;
  Clock::time_point arrived;
};

struct ProcessRun {
  // Empty when the process was killed after the limit or died by a signal.
  std::optional<int> status;
  std::vector<OutputLine> out;
  std::string err;
  Clock::time_point started;
  Clock::time_point ended;
};

// The limit bounds a hung process; it is not a timing requirement.
ProcessRun runToEnd(const std::vector<std::string>& argv, std::chrono::milliseconds limit);

}  // namespace qav::e2e

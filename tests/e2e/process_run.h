// What a program run as a child process left: its exit status, standard
// output as lines stamped at the moment they arrived, standard error apart.
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

}  // namespace qav::e2e

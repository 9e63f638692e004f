// A program started for one test with its output lines read under a time
// limit; the process is ended with the object if it is still running.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qav::sim::testing {

class ChildProcess {
 public:
  // Standard output and standard error both come back as lines.
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line, or empty when none came within the limit or the output
  // ended.
  std::optional<std::string> nextLine(std::chrono::milliseconds limit);
  // Lines until one that starts with prefix (returned) or the limit.
  std::optional<std::string> waitFor(const std::string& prefix, std::chrono::milliseconds limit);
  // Reads to the end of the output and reaps the process: its exit status,
  // or empty when it did not end within the limit or died by a signal.
  std::optional<int> finish(std::chrono::milliseconds limit);
  void terminate();
  void sendSignal(int number);

  // Every line read so far, in order.
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  bool readMore(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  int output_ = -1;
  std::string pending_;
  std::vector<std::string> lines_;
};

}  // namespace qav::sim::testing

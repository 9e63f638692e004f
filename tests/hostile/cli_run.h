// qav-cli run as a child process under a hard limit: exit status or signal,
// both output streams, how long it took, and a hook that can look at the
// live process (its /proc entries) while it runs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qav::hostile {

using Clock = std::chrono::steady_clock;

struct CliRun {
  std::optional<int> exitStatus;  // empty when killed or died by a signal
  std::optional<int> signal;      // the signal it died by, if any
  bool killedAfterLimit = false;
  std::string out;
  std::string err;
  Clock::duration took{};

  // The last line of standard error, without its newline.
  std::string lastErrorLine() const;
};

struct CliCall {
  std::vector<std::string> args;              // without argument 0
  std::map<std::string, std::string> env;     // added to PATH and TZ
  std::chrono::milliseconds limit{std::chrono::seconds(120)};
  std::string cwd;                            // empty: the test's own
  // Called about every 10 ms with the child's pid while it runs.
  std::function<void(pid_t)> whileRunning;
};

CliRun runCli(const CliCall& call);

// Arguments of a live process as /proc/PID/cmdline lists them.
std::vector<std::string> processArguments(pid_t pid);
// The pids whose parent is pid.
std::vector<pid_t> childrenOf(pid_t pid);

}  // namespace qav::hostile

// Programs run as child processes by the tests: started with an argument
// list, environment and working directory, their output read as it comes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qav::testing {

using Clock = std::chrono::steady_clock;

// Where the child's standard output and error go. Its standard input is
// /dev/null, or the terminal for Streams::Terminal.
enum class Streams {
  Apart,     // each through a pipe of its own
  Merged,    // both through one pipe, so that their lines keep their order
  Terminal,  // both to a new pseudo terminal, read like a pipe
  OutOnly,   // output through a pipe; error stays the test's own
  None,      // both to /dev/null
};

struct Command {
  std::vector<std::string> argv;  // argv[0]: a path, or a name found in PATH
  // The whole environment; none: the test's own.
  std::optional<std::map<std::string, std::string>> env = std::nullopt;
  std::string cwd = {};  // empty: the test's own
  Streams streams = Streams::Apart;
};

struct OutputLine {
  std::string text;
  Clock::time_point arrived;
};

// What a child left: how it ended and everything it wrote.
struct ProcessRun {
  // The exit status; none when it died by a signal or was ended after a limit.
  std::optional<int> status;
  // The signal it died by, unless it was ended after a limit.
  std::optional<int> signal;
  bool killedAfterLimit = false;
  std::string out;  // standard output as it came
  // Standard output as lines stamped on arrival; a last line without a
  // newline counts once the output has ended.
  std::vector<OutputLine> lines;
  std::string err;
  Clock::time_point started;
  Clock::time_point ended;  // its output closed and it was reaped

  Clock::duration took() const { return ended - started; }
  // The last line of standard error, without its newline.
  std::string lastErrorLine() const;
};

// One child, ended (SIGTERM, then SIGKILL after 2 s) with the object. It
// dies with the test process, also when the test crashes. Used from one
// thread at a time.
class Process {
 public:
  // Throws std::runtime_error when it cannot start; an argv[0] that cannot
  // be run gives exit status 127.
  explicit Process(const Command& command);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  // Its output has closed and it has been reaped.
  bool done() const { return outFd_ < 0 && errFd_ < 0 && pid_ < 0; }

  // The next line not yet returned, or none when none came within the limit
  // or the output ended.
  std::optional<std::string> nextLine(std::chrono::milliseconds limit);
  // Lines until one that starts with prefix (returned), the limit or the end.
  std::optional<std::string> waitFor(const std::string& prefix, std::chrono::milliseconds limit);
  // Reads to the end of the output and reaps it: the exit status, or none
  // when it did not end within the limit or died by a signal.
  std::optional<int> finish(std::chrono::milliseconds limit);
  // Reads and reaps until done() or the deadline; whether it is done.
  bool readUntil(Clock::time_point deadline, const std::function<void(pid_t)>& whileRunning = {});

  void sendSignal(int number);
  // SIGTERM, then SIGKILL if it has not ended within `grace`; closes the
  // output and reaps it.
  void stop(std::chrono::milliseconds grace = std::chrono::seconds(2));

  // Every line read so far, in order.
  std::vector<std::string> lines() const;
  const ProcessRun& run() const { return run_; }
  ProcessRun takeRun() { return std::move(run_); }

  // Reads what any of them writes until all are done or the deadline.
  static void readAll(const std::vector<Process*>& processes, Clock::time_point deadline);
  // stop() for one that outlived its limit: it then has no exit status.
  void stopAfterLimit();

 private:
  void readFrom(int& fd, bool isOut);
  void closeOutput();
  void reap(bool block);
  void noteEnd();
  static void pollOnce(const std::vector<Process*>& processes, std::chrono::milliseconds wait);

  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  std::string partial_;  // output after its last newline
  std::size_t nextLine_ = 0;
  ProcessRun run_;
};

// Runs it to its end. At the limit it is stopped and counts as killed after
// the limit; the limit bounds a hung process, it is no timing requirement.
// whileRunning gets the pid about every 10 ms until it has ended.
ProcessRun runToEnd(const Command& command, std::chrono::milliseconds limit,
                    const std::function<void(pid_t)>& whileRunning = {});

// Starts them all before reading any, so that they run side by side.
std::vector<ProcessRun> runTogether(const std::vector<Command>& commands, std::chrono::milliseconds limit);

// Runs `command` through /bin/sh and returns its standard output; standard
// error stays the test's own.
std::string runCommand(const std::string& command);

// Arguments of a live process as /proc/PID/cmdline lists them.
std::vector<std::string> processArguments(pid_t pid);
// The pids whose parent is pid.
std::vector<pid_t> childrenOf(pid_t pid);

// Runs `body` in a forked copy of the test process and returns what it
// returned as the exit status, or 128 + the signal it died by.
int runForked(const std::function<int()>& body);

}  // namespace qav::testing

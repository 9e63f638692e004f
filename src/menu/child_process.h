// Runs a program as a child with a given argument list and environment and
// hands over each line of its standard output and error as it arrives.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace qav::menu {

struct ChildCall {
  std::string program;                   // path of the executable
  std::vector<std::string> arguments;    // argument 0 not included
  std::vector<std::string> environment;  // the whole environment, "NAME=value"
};

struct ChildExit {
  bool exited = false;  // false: ended by a signal
  int code = -1;        // exit status when exited
  int signal = 0;       // signal number otherwise
};

using LineSink = std::function<void(const std::string& line)>;

// Where a child's terminal signals come from.
enum class ProcessGroup {
  Shared,  // the caller's: Ctrl-C at the terminal reaches the child too
  Own,     // its own: only what the caller sends it reaches it
};

// One started child. Its standard input is /dev/null, so it never takes the
// caller's input; it starts with no signal blocked, and it is sent SIGTERM
// should the thread that started it end first (Linux, FreeBSD).
// Started, read and reaped by one thread; terminate() may be called from any
// thread, also after the child has ended. Several may run at once.
class ChildProcess {
 public:
  // Throws std::runtime_error with a German message when it cannot fork; a
  // program that cannot be executed ends with status 127 and says why on its
  // standard error.
  ChildProcess(const ChildCall& call, ProcessGroup group);
  // A child that was never finished is killed and reaped.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }

  // Passes on its lines until both streams have closed (a last line without
  // line feed too), then reaps it.
  ChildExit finish(const LineSink& onOutput, const LineSink& onError);

  // SIGTERM (or `signal`), unless it has been reaped already.
  void terminate(int signal = SIGTERM);

 private:
  void closeStreams();

  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  std::mutex reapMutex_;
  bool reaped_ = false;
};

// The menu's call: the child shares the menu's process group, and the menu
// ignores SIGINT and SIGQUIT while it runs, so that Ctrl-C ends the
// programming call and not the menu.
ChildExit runChild(const ChildCall& call, const LineSink& onOutput, const LineSink& onError);

}  // namespace qav::menu

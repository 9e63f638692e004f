#include "cli_process.h"

#include <signal.h>
#include <sys/wait.h>

#include <thread>

#include "piped_child.h"

namespace qav::e2e {

namespace {

// A hung process gets SIGTERM and 3 s to end orderly before SIGKILL.
void reap(pid_t pid, ProcessRun& run, bool timedOut) {
  if (timedOut) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
      if (waitpid(pid, nullptr, WNOHANG) == pid) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
}

}  // namespace

ProcessRun runToEnd(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
  std::vector<ProcessRun> runs(1);
  runs[0].started = Clock::now();
  std::vector<PipedChild> children{startPiped(argv)};
  readOutputs(children, runs, runs[0].started + limit);
  const bool timedOut = children[0].outputOpen();
  closeOutput(children[0], runs[0]);
  reap(children[0].pid, runs[0], timedOut);
  runs[0].ended = Clock::now();
  return std::move(runs[0]);
}

}  // namespace qav::e2e

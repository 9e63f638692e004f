#include "concurrent_runs.h"

#include <signal.h>
#include <sys/wait.h>

#include "piped_child.h"

namespace qav::load {

using qav::e2e::Clock;
using qav::e2e::PipedChild;
using qav::e2e::ProcessRun;

namespace {

void reap(const PipedChild& process, ProcessRun& run, bool killed) {
  if (killed) kill(process.pid, SIGKILL);
  int status = 0;
  waitpid(process.pid, &status, 0);
  if (!killed && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  if (killed) run.ended = Clock::now();
}

void killAll(std::vector<PipedChild>& processes, std::vector<ProcessRun>& runs) {
  for (std::size_t i = 0; i < processes.size(); ++i) {
    kill(processes[i].pid, SIGKILL);
    waitpid(processes[i].pid, nullptr, 0);
    qav::e2e::closeOutput(processes[i], runs[i]);
  }
}

}  // namespace

std::vector<ProcessRun> runTogether(const std::vector<std::vector<std::string>>& argvs,
                                    std::chrono::milliseconds limit) {
  std::vector<PipedChild> processes;
  std::vector<ProcessRun> runs(argvs.size());
  try {
    for (std::size_t i = 0; i < argvs.size(); ++i) {
      runs[i].started = Clock::now();
      processes.push_back(qav::e2e::startPiped(argvs[i]));
    }
  } catch (...) {
    killAll(processes, runs);
    throw;
  }
  qav::e2e::readOutputs(processes, runs, Clock::now() + limit);
  for (std::size_t i = 0; i < processes.size(); ++i) {
    const bool hung = processes[i].outputOpen();
    qav::e2e::closeOutput(processes[i], runs[i]);
    reap(processes[i], runs[i], hung);
  }
  return runs;
}

}  // namespace qav::load

#include "concurrent_runs.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace qav::load {

using qav::e2e::Clock;
using qav::e2e::ProcessRun;

namespace {

struct Running {
  pid_t pid = -1;
  int out = -1;
  int err = -1;
  std::string partial;
};

Running start(const std::vector<std::string>& argv) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    throw std::runtime_error("pipe failed");
  }
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // dup2 leaves the copies open across exec; the originals close there.
    dup2(out[1], 1);
    dup2(err[1], 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  return {pid, out[0], err[0], {}};
}

// Reads what one descriptor has; closes it at the end of its output.
void drain(int& fd, bool isOut, Running& process, ProcessRun& run) {
  char buffer[4096];
  const ssize_t count = read(fd, buffer, sizeof buffer);
  if (count <= 0) {
    close(fd);
    fd = -1;
    return;
  }
  if (!isOut) {
    run.err.append(buffer, static_cast<std::size_t>(count));
    return;
  }
  const auto arrived = Clock::now();
  process.partial.append(buffer, static_cast<std::size_t>(count));
  for (auto newline = process.partial.find('\n'); newline != std::string::npos;
       newline = process.partial.find('\n')) {
    run.out.push_back({process.partial.substr(0, newline), arrived});
    process.partial.erase(0, newline + 1);
  }
}

void reap(Running& process, ProcessRun& run, bool killed) {
  if (killed) kill(process.pid, SIGKILL);
  int status = 0;
  waitpid(process.pid, &status, 0);
  if (!killed && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  if (killed) run.ended = Clock::now();
}

void killAll(std::vector<Running>& processes) {
  for (Running& process : processes) {
    kill(process.pid, SIGKILL);
    waitpid(process.pid, nullptr, 0);
    for (int fd : {process.out, process.err})
      if (fd >= 0) close(fd);
  }
}

}  // namespace

std::vector<ProcessRun> runTogether(const std::vector<std::vector<std::string>>& argvs,
                                    std::chrono::milliseconds limit) {
  std::vector<Running> processes;
  std::vector<ProcessRun> runs(argvs.size());
  try {
    for (std::size_t i = 0; i < argvs.size(); ++i) {
      runs[i].started = Clock::now();
      processes.push_back(start(argvs[i]));
    }
  } catch (...) {
    killAll(processes);
    throw;
  }
  const auto deadline = Clock::now() + limit;
  for (;;) {
    std::vector<pollfd> fds;
    std::vector<std::pair<std::size_t, bool>> owners;
    for (std::size_t i = 0; i < processes.size(); ++i) {
      if (processes[i].out >= 0) {
        fds.push_back({processes[i].out, POLLIN, 0});
        owners.emplace_back(i, true);
      }
      if (processes[i].err >= 0) {
        fds.push_back({processes[i].err, POLLIN, 0});
        owners.emplace_back(i, false);
      }
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (fds.empty() || left.count() <= 0) break;
    if (poll(fds.data(), fds.size(), static_cast<int>(left.count())) <= 0) continue;
    for (std::size_t f = 0; f < fds.size(); ++f) {
      if (!(fds[f].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      auto [index, isOut] = owners[f];
      Running& process = processes[index];
      drain(isOut ? process.out : process.err, isOut, process, runs[index]);
      // The end of its output is the end of the run as far as a reader can see.
      if (process.out < 0 && process.err < 0) runs[index].ended = Clock::now();
    }
  }
  for (std::size_t i = 0; i < processes.size(); ++i) {
    Running& process = processes[i];
    const bool hung = process.out >= 0 || process.err >= 0;
    for (int fd : {process.out, process.err})
      if (fd >= 0) close(fd);
    if (!process.partial.empty()) runs[i].out.push_back({process.partial, Clock::now()});
    reap(process, runs[i], hung);
  }
  return runs;
}

}  // namespace qav::load

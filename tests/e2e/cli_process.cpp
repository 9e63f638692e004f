#include "cli_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace qav::e2e {

namespace {

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
  int out[2];
  int err[2];
  if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
  ProcessRun run;
  run.started = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    // A test that crashes takes its call with it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);

  const auto deadline = run.started + limit;
  std::string partial;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  bool timedOut = false;
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    if (poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      const ssize_t count = read(fds[i].fd, buffer, sizeof buffer);
      if (count <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        continue;
      }
      if (i == 1) {
        run.err.append(buffer, static_cast<std::size_t>(count));
        continue;
      }
      const auto arrived = Clock::now();
      partial.append(buffer, static_cast<std::size_t>(count));
      for (auto newline = partial.find('\n'); newline != std::string::npos; newline = partial.find('\n')) {
        run.out.push_back({partial.substr(0, newline), arrived});
        partial.erase(0, newline + 1);
      }
    }
  }
  for (const pollfd& fd : fds)
    if (fd.fd >= 0) close(fd.fd);
  // A last line without newline is still output the caller must see.
  if (!partial.empty()) run.out.push_back({partial, Clock::now()});
  reap(pid, run, timedOut);
  run.ended = Clock::now();
  return run;
}

}  // namespace qav::e2e

#include "piped_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <stdexcept>
#include <utility>

namespace qav::e2e {

namespace {

// Reads what one descriptor has; closes it at the end of its output.
void drain(int& fd, bool isOut, PipedChild& child, ProcessRun& run) {
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
  child.partial.append(buffer, static_cast<std::size_t>(count));
  for (auto newline = child.partial.find('\n'); newline != std::string::npos; newline = child.partial.find('\n')) {
    run.out.push_back({child.partial.substr(0, newline), arrived});
    child.partial.erase(0, newline + 1);
  }
}

}  // namespace

PipedChild startPiped(const std::vector<std::string>& argv) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    throw std::runtime_error("pipe failed");
  }
  const pid_t pid = fork();
  if (pid < 0) {
    for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    throw std::runtime_error("fork failed");
  }
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

void readOutputs(std::vector<PipedChild>& children, std::vector<ProcessRun>& runs, Clock::time_point deadline) {
  for (;;) {
    std::vector<pollfd> fds;
    std::vector<std::pair<std::size_t, bool>> owners;
    for (std::size_t i = 0; i < children.size(); ++i) {
      if (children[i].out >= 0) {
        fds.push_back({children[i].out, POLLIN, 0});
        owners.emplace_back(i, true);
      }
      if (children[i].err >= 0) {
        fds.push_back({children[i].err, POLLIN, 0});
        owners.emplace_back(i, false);
      }
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (fds.empty() || left.count() <= 0) return;
    if (poll(fds.data(), fds.size(), static_cast<int>(left.count())) <= 0) continue;
    for (std::size_t f = 0; f < fds.size(); ++f) {
      if (!(fds[f].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      auto [index, isOut] = owners[f];
      PipedChild& child = children[index];
      drain(isOut ? child.out : child.err, isOut, child, runs[index]);
      // The end of its output is the end of the run as far as a reader can see.
      if (!child.outputOpen()) runs[index].ended = Clock::now();
    }
  }
}

void closeOutput(PipedChild& child, ProcessRun& run) {
  for (int* fd : {&child.out, &child.err}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  if (!child.partial.empty()) run.out.push_back({child.partial, Clock::now()});
  child.partial.clear();
}

}  // namespace qav::e2e

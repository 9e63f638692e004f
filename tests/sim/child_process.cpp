#include "child_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>
#include <utility>

namespace qav::sim::testing {

using Clock = std::chrono::steady_clock;

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    // Never outlive a test that crashed.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  output_ = fds[0];
}

ChildProcess::~ChildProcess() {
  terminate();
  if (output_ >= 0) close(output_);
}

void ChildProcess::terminate() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

void ChildProcess::sendSignal(int number) {
  if (pid_ > 0) kill(pid_, number);
}

bool ChildProcess::readMore(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0) return false;
  pollfd descriptor{output_, POLLIN, 0};
  if (poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) return false;
  char buffer[1024];
  const ssize_t count = read(output_, buffer, sizeof buffer);
  if (count <= 0) return false;
  pending_.append(buffer, static_cast<std::size_t>(count));
  return true;
}

std::optional<std::string> ChildProcess::nextLine(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    const auto newline = pending_.find('\n');
    if (newline != std::string::npos) {
      lines_.push_back(pending_.substr(0, newline));
      pending_.erase(0, newline + 1);
      return lines_.back();
    }
    if (!readMore(deadline)) return std::nullopt;
  }
}

std::optional<std::string> ChildProcess::waitFor(const std::string& prefix, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (std::optional<std::string> line =
             nextLine(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()))) {
    if (line->compare(0, prefix.size(), prefix) == 0) return line;
  }
  return std::nullopt;
}

std::optional<int> ChildProcess::finish(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (nextLine(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()))) {
  }
  if (!pending_.empty()) lines_.push_back(std::exchange(pending_, {}));
  while (pid_ > 0 && Clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

}  // namespace qav::sim::testing

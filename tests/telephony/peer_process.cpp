#include "peer_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#ifndef QAV_TEST_PEER
#error "QAV_TEST_PEER must name the test peer program"
#endif

namespace qav::testing {

PeerProcess::PeerProcess(std::uint16_t registrarPort, const std::string& user, const std::string& password) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    const std::string port = std::to_string(registrarPort);
    execl(QAV_TEST_PEER, QAV_TEST_PEER, "--registrar-port", port.c_str(), "--user", user.c_str(), "--password",
          password.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  output = fds[0];
}

PeerProcess::~PeerProcess() {
  if (pid > 0) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
  if (output >= 0) close(output);
}

std::optional<std::string> PeerProcess::nextLine(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (true) {
    const auto newline = pending.find('\n');
    if (newline != std::string::npos) {
      std::string line = pending.substr(0, newline);
      pending.erase(0, newline + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd descriptor{output, POLLIN, 0};
    if (poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[512];
    const ssize_t count = read(output, buffer, sizeof buffer);
    if (count <= 0) return std::nullopt;
    pending.append(buffer, static_cast<std::size_t>(count));
  }
}

std::optional<std::string> PeerProcess::waitFor(const std::string& prefix, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    std::optional<std::string> line = nextLine(left);
    if (!line) return std::nullopt;
    if (line->compare(0, prefix.size(), prefix) == 0) return line;
  }
}

}  // namespace qav::testing

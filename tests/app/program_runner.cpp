#include "program_runner.h"

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace qav::test {
namespace {

struct ExecArgs {
  std::vector<std::string> envStrings;
  std::vector<char*> argv;
  std::vector<char*> envp;
};

ExecArgs prepare(const ProgramCall& call) {
  ExecArgs a;
  for (const auto& [key, value] : call.env) a.envStrings.push_back(key + "=" + value);
  for (const std::string& arg : call.args) a.argv.push_back(const_cast<char*>(arg.c_str()));
  a.argv.push_back(nullptr);
  for (std::string& entry : a.envStrings) a.envp.push_back(entry.data());
  a.envp.push_back(nullptr);
  return a;
}

[[noreturn]] void execChild(const ProgramCall& call, ExecArgs& a) {
  if (!call.cwd.empty() && chdir(call.cwd.c_str()) != 0) _exit(125);
  execve(call.program.c_str(), a.argv.data(), a.envp.data());
  _exit(126);
}

int waitStatus(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

// Reads both pipes to their end without letting either fill up.
void drain(int outFd, int errFd, std::string& out, std::string& err) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open = 2;
  char buffer[4096];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("poll failed");
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

ProgramResult runProgram(const ProgramCall& call) {
  ExecArgs a = prepare(call);
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]); close(outPipe[1]); close(errPipe[0]); close(errPipe[1]);
    execChild(call, a);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  ProgramResult result;
  drain(outPipe[0], errPipe[0], result.out, result.err);
  result.status = waitStatus(pid);
  return result;
}

ProgramResult runOnTerminal(const ProgramCall& call) {
  ExecArgs a = prepare(call);
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) throw std::runtime_error("forkpty failed");
  if (pid == 0) execChild(call, a);
  ProgramResult result;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n > 0) {
      result.out.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // EIO once the child has closed the terminal
    }
  }
  close(master);
  result.status = waitStatus(pid);
  return result;
}

}  // namespace qav::test

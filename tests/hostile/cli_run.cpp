#include "cli_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifndef QAV_CLI
#error "QAV_CLI must name the qav-cli program"
#endif

namespace qav::hostile {
namespace {

[[noreturn]] void becomeCli(const CliCall& call, int out, int err) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  dup2(out, 1);
  dup2(err, 2);
  const int devnull = open("/dev/null", O_RDONLY);
  dup2(devnull, 0);
  if (!call.cwd.empty() && chdir(call.cwd.c_str()) != 0) _exit(125);
  std::vector<std::string> argv{QAV_CLI};
  argv.insert(argv.end(), call.args.begin(), call.args.end());
  std::vector<std::string> env{"PATH=/usr/bin:/bin", "TZ=UTC"};
  for (const auto& [key, value] : call.env) env.push_back(key + "=" + value);
  std::vector<char*> argp, envp;
  for (std::string& a : argv) argp.push_back(a.data());
  for (std::string& e : env) envp.push_back(e.data());
  argp.push_back(nullptr);
  envp.push_back(nullptr);
  execve(QAV_CLI, argp.data(), envp.data());
  _exit(127);
}

void readInto(pollfd& fd, std::string& sink) {
  char buffer[4096];
  const ssize_t count = read(fd.fd, buffer, sizeof buffer);
  if (count > 0) {
    sink.append(buffer, static_cast<std::size_t>(count));
  } else if (count == 0 || errno != EINTR) {
    close(fd.fd);
    fd.fd = -1;
  }
}

}  // namespace

std::string CliRun::lastErrorLine() const {
  std::string text = err;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  const std::size_t start = text.rfind('\n');
  return start == std::string::npos ? text : text.substr(start + 1);
}

CliRun runCli(const CliCall& call) {
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const auto started = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) becomeCli(call, out[1], err[1]);
  close(out[1]);
  close(err[1]);

  CliRun run;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int status = 0;
  bool reaped = false;
  while (!reaped || fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (!reaped && Clock::now() - started > call.limit) {
      kill(pid, SIGKILL);
      run.killedAfterLimit = true;
    }
    if (fds[0].fd >= 0 || fds[1].fd >= 0) {
      if (poll(fds, 2, 10) > 0) {
        if (fds[0].fd >= 0 && fds[0].revents) readInto(fds[0], run.out);
        if (fds[1].fd >= 0 && fds[1].revents) readInto(fds[1], run.err);
      }
    } else {
      usleep(10000);
    }
    if (!reaped && call.whileRunning) call.whileRunning(pid);
    if (!reaped && waitpid(pid, &status, WNOHANG) == pid) {
      reaped = true;
      run.took = Clock::now() - started;
    }
  }
  if (WIFEXITED(status) && !run.killedAfterLimit) run.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status) && !run.killedAfterLimit) run.signal = WTERMSIG(status);
  return run;
}

std::vector<std::string> processArguments(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  std::size_t start = 0;
  while (start < raw.size()) {
    std::size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    args.push_back(raw.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

std::vector<pid_t> childrenOf(pid_t pid) {
  std::vector<pid_t> children;
  DIR* proc = opendir("/proc");
  if (!proc) return children;
  while (const dirent* entry = readdir(proc)) {
    const std::string name = entry->d_name;
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat("/proc/" + name + "/stat");
    std::string line;
    std::getline(stat, line);
    // pid (comm) state ppid: the name may hold blanks and brackets.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int parent = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == pid)
      children.push_back(static_cast<pid_t>(std::stoi(name)));
  }
  closedir(proc);
  return children;
}

}  // namespace qav::hostile

#include "menu/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace qav::menu {

namespace {

struct Pipe {
  int read = -1;
  int write = -1;
};

Pipe makePipe() {
  int fds[2];
  if (::pipe(fds) != 0)
    throw std::runtime_error(std::string("Pipe kann nicht angelegt werden: ") +
                             std::strerror(errno));
  // dup2 in the child clears the flag on the copies it makes; every other
  // descriptor of these pipes must not reach qav-cli.
  ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
  return {fds[0], fds[1]};
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> list;
  for (std::string& text : texts) list.push_back(text.data());
  list.push_back(nullptr);
  return list;
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void becomeChild(const Pipe& out, const Pipe& err, char* const* argv,
                              char* const* envp) {
  const int input = ::open("/dev/null", O_RDONLY);
  if (input >= 0) ::dup2(input, 0);
  ::dup2(out.write, 1);
  ::dup2(err.write, 2);
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGQUIT, SIG_DFL);
  ::execve(argv[0], argv, envp);
  const char* reason = std::strerror(errno);
  const char prefix[] = "Fehler: qav-cli konnte nicht gestartet werden: ";
  (void)!::write(2, prefix, sizeof prefix - 1);
  (void)!::write(2, reason, std::strlen(reason));
  (void)!::write(2, "\n", 1);
  ::_exit(127);
}

// Collects bytes of one stream and passes on every complete line.
class LineSplitter {
 public:
  explicit LineSplitter(const LineSink& sink) : sink(sink) {}
  void feed(const char* data, std::size_t size) {
    pending.append(data, size);
    std::size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      sink(pending.substr(0, end));
      pending.erase(0, end + 1);
    }
  }
  void finish() {
    if (!pending.empty()) sink(pending);
    pending.clear();
  }

 private:
  const LineSink& sink;
  std::string pending;
};

void pump(int outFd, int errFd, const LineSink& onOutput, const LineSink& onError) {
  LineSplitter outLines(onOutput), errLines(onError);
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  LineSplitter* splitters[2] = {&outLines, &errLines};
  int open = 2;
  char buffer[4096];
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got > 0) {
        splitters[i]->feed(buffer, static_cast<std::size_t>(got));
        continue;
      }
      splitters[i]->finish();
      fds[i].fd = -1;
      --open;
    }
  }
  outLines.finish();
  errLines.finish();
}

ChildExit waitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return {};
  if (WIFEXITED(status)) return {true, WEXITSTATUS(status), 0};
  return {false, -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0};
}

class IgnoredInterrupts {
 public:
  IgnoredInterrupts() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGINT, &ignore, &previousInt);
    ::sigaction(SIGQUIT, &ignore, &previousQuit);
  }
  ~IgnoredInterrupts() {
    ::sigaction(SIGINT, &previousInt, nullptr);
    ::sigaction(SIGQUIT, &previousQuit, nullptr);
  }
  IgnoredInterrupts(const IgnoredInterrupts&) = delete;
  IgnoredInterrupts& operator=(const IgnoredInterrupts&) = delete;

 private:
  struct sigaction previousInt {};
  struct sigaction previousQuit {};
};

}  // namespace

ChildExit runChild(const ChildCall& call, const LineSink& onOutput, const LineSink& onError) {
  std::vector<std::string> argvTexts{call.program};
  argvTexts.insert(argvTexts.end(), call.arguments.begin(), call.arguments.end());
  std::vector<std::string> envTexts = call.environment;
  const std::vector<char*> argv = pointers(argvTexts);
  const std::vector<char*> envp = pointers(envTexts);

  const Pipe out = makePipe();
  const Pipe err = makePipe();
  const IgnoredInterrupts ignored;
  const pid_t pid = ::fork();
  if (pid == 0) becomeChild(out, err, argv.data(), envp.data());
  ::close(out.write);
  ::close(err.write);
  if (pid < 0) {
    const int error = errno;
    ::close(out.read);
    ::close(err.read);
    throw std::runtime_error(std::string("qav-cli konnte nicht gestartet werden: ") +
                             std::strerror(error));
  }
  pump(out.read, err.read, onOutput, onError);
  ::close(out.read);
  ::close(err.read);
  return waitFor(pid);
}

}  // namespace qav::menu

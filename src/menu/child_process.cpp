#include "menu/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#ifdef __FreeBSD__
#include <sys/procctl.h>
#endif

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace qav::menu {

namespace {

struct Pipe {
  int read = -1;
  int write = -1;
};

// Close-on-exec from the start: dup2 in the child clears the flag on the
// copies it makes, and no other descriptor of these pipes may reach any
// child, also not one that another thread forks meanwhile, or a stream would
// stay open until that other child ends.
Pipe makePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0)
    throw std::runtime_error(std::string("Pipe kann nicht angelegt werden: ") +
                             std::strerror(errno));
  return {fds[0], fds[1]};
}

// A child in a group of its own hears no Ctrl-C; it is told to end when the
// thread that started it is gone, so that no call outlives a killed caller.
void endWithParent(pid_t parent) {
#ifdef __linux__
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
#ifdef __FreeBSD__
  int deathSignal = SIGTERM;
  ::procctl(P_PID, 0, PROC_PDEATHSIG_CTL, &deathSignal);
#endif
  if (::getppid() != parent) ::_exit(127);
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> list;
  for (std::string& text : texts) list.push_back(text.data());
  list.push_back(nullptr);
  return list;
}

// Only async-signal-safe calls between fork and exec. The caller's
// handlers are dropped first: a signal caught by a copy of them before the
// exec would be lost, and with it the request to end.
[[noreturn]] void becomeChild(const Pipe& out, const Pipe& err, char* const* argv,
                              char* const* envp, ProcessGroup group, pid_t parent) {
  for (int number : {SIGINT, SIGQUIT, SIGTERM}) ::signal(number, SIG_DFL);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  if (group == ProcessGroup::Own) {
    ::setpgid(0, 0);
    endWithParent(parent);
  }
  const int input = ::open("/dev/null", O_RDONLY);
  if (input >= 0) ::dup2(input, 0);
  ::dup2(out.write, 1);
  ::dup2(err.write, 2);
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

ChildExit exitOf(int status) {
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

ChildProcess::ChildProcess(const ChildCall& call, ProcessGroup group) {
  std::vector<std::string> argvTexts{call.program};
  argvTexts.insert(argvTexts.end(), call.arguments.begin(), call.arguments.end());
  std::vector<std::string> envTexts = call.environment;
  const std::vector<char*> argv = pointers(argvTexts);
  const std::vector<char*> envp = pointers(envTexts);

  const Pipe out = makePipe();
  Pipe err;
  try {
    err = makePipe();
  } catch (...) {
    ::close(out.read);
    ::close(out.write);
    throw;
  }
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) becomeChild(out, err, argv.data(), envp.data(), group, parent);
  ::close(out.write);
  ::close(err.write);
  outFd_ = out.read;
  errFd_ = err.read;
  if (pid < 0) {
    const int error = errno;
    closeStreams();
    throw std::runtime_error(std::string("qav-cli konnte nicht gestartet werden: ") +
                             std::strerror(error));
  }
  pid_ = pid;
  // Also here, so that the group exists before anything is sent to it.
  if (group == ProcessGroup::Own) ::setpgid(pid, pid);
}

ChildProcess::~ChildProcess() {
  closeStreams();
  std::lock_guard lock(reapMutex_);
  if (reaped_ || pid_ < 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

void ChildProcess::closeStreams() {
  if (outFd_ >= 0) ::close(outFd_);
  if (errFd_ >= 0) ::close(errFd_);
  outFd_ = errFd_ = -1;
}

// The child is waited for without reaping it first: until it is reaped its
// pid cannot pass to another process, so terminate() never hits a stranger.
ChildExit ChildProcess::finish(const LineSink& onOutput, const LineSink& onError) {
  pump(outFd_, errFd_, onOutput, onError);
  closeStreams();
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) < 0)
    if (errno != EINTR) break;
  std::lock_guard lock(reapMutex_);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0)
    if (errno != EINTR) {
      reaped_ = true;
      return {};
    }
  reaped_ = true;
  return exitOf(status);
}

void ChildProcess::terminate(int signal) {
  std::lock_guard lock(reapMutex_);
  if (!reaped_ && pid_ > 0) ::kill(pid_, signal);
}

ChildExit runChild(const ChildCall& call, const LineSink& onOutput, const LineSink& onError) {
  const IgnoredInterrupts ignored;
  ChildProcess child(call, ProcessGroup::Shared);
  return child.finish(onOutput, onError);
}

}  // namespace qav::menu

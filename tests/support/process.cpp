#include "process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <thread>
#include <utility>

namespace qav::testing {
namespace {

using std::chrono::milliseconds;

// Everything the child needs, built before fork: after it only
// async-signal-safe calls are allowed in a test that runs threads.
struct ExecImage {
  std::vector<std::string> strings;
  std::vector<char*> argv;
  std::vector<char*> envp;
  bool searchPath = false;
  bool ownEnvironment = false;
};

ExecImage imageOf(const Command& command) {
  if (command.argv.empty()) throw std::runtime_error("no program to run");
  ExecImage image;
  image.strings = command.argv;
  const std::size_t argc = image.strings.size();
  if (command.env)
    for (const auto& [name, value] : *command.env) image.strings.push_back(name + "=" + value);
  for (std::size_t i = 0; i < argc; ++i) image.argv.push_back(image.strings[i].data());
  image.argv.push_back(nullptr);
  for (std::size_t i = argc; i < image.strings.size(); ++i) image.envp.push_back(image.strings[i].data());
  image.envp.push_back(nullptr);
  image.searchPath = command.argv[0].find('/') == std::string::npos;
  image.ownEnvironment = command.env.has_value();
  return image;
}

[[noreturn]] void become(ExecImage& image, const std::string& cwd, int execDone) {
  // A test that crashes takes its children with it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
  char** envp = image.ownEnvironment ? image.envp.data() : environ;
  if (image.searchPath)
    execvpe(image.argv[0], image.argv.data(), envp);
  else
    execve(image.argv[0], image.argv.data(), envp);
  const char failed = 1;
  [[maybe_unused]] const ssize_t ignored = write(execDone, &failed, 1);
  _exit(127);
}

// A close-on-exec pipe that the child closes by its exec: once the parent
// reads its end, the child runs the program (or has failed to), so that
// whatever looks at it sees the program and not a copy of the test.
struct ExecGate {
  int fds[2] = {-1, -1};

  ExecGate() {
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  }
  ~ExecGate() {
    for (int fd : fds)
      if (fd >= 0) close(fd);
  }
  void awaitExec() {
    close(fds[1]);
    fds[1] = -1;
    char byte;
    while (read(fds[0], &byte, 1) < 0 && errno == EINTR) {
    }
  }
};

void redirect(int from, int to) {
  if (from >= 0 && from != to) dup2(from, to);
}

milliseconds leftUntil(Clock::time_point deadline) {
  return std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
}

}  // namespace

std::string ProcessRun::lastErrorLine() const {
  std::string text = err;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  const std::size_t start = text.rfind('\n');
  return start == std::string::npos ? text : text.substr(start + 1);
}

Process::Process(const Command& command) {
  ExecImage image = imageOf(command);
  ExecGate gate;
  run_.started = Clock::now();
  if (command.streams == Streams::Terminal) {
    int master = -1;
    pid_ = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid_ < 0) throw std::runtime_error("forkpty failed");
    if (pid_ == 0) become(image, command.cwd, gate.fds[1]);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    outFd_ = master;
    gate.awaitExec();
    return;
  }
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  const bool pipeOut = command.streams != Streams::None;
  const bool pipeErr = command.streams == Streams::Apart;
  if ((pipeOut && pipe2(out, O_CLOEXEC) != 0) || (pipeErr && pipe2(err, O_CLOEXEC) != 0)) {
    for (int fd : {out[0], out[1], err[0], err[1]})
      if (fd >= 0) close(fd);
    throw std::runtime_error("pipe failed");
  }
  const int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
  pid_ = fork();
  if (pid_ < 0) {
    for (int fd : {out[0], out[1], err[0], err[1], devnull})
      if (fd >= 0) close(fd);
    throw std::runtime_error("fork failed");
  }
  if (pid_ == 0) {
    // dup2 leaves the copies open across exec; the originals close there.
    redirect(devnull, 0);
    switch (command.streams) {
      case Streams::Apart: redirect(out[1], 1); redirect(err[1], 2); break;
      case Streams::Merged: redirect(out[1], 1); redirect(out[1], 2); break;
      case Streams::OutOnly: redirect(out[1], 1); break;
      default: redirect(devnull, 1); redirect(devnull, 2); break;
    }
    become(image, command.cwd, gate.fds[1]);
  }
  close(devnull);
  if (pipeOut) close(out[1]);
  if (pipeErr) close(err[1]);
  outFd_ = out[0];
  errFd_ = err[0];
  gate.awaitExec();
}

Process::~Process() { stop(); }

void Process::readFrom(int& fd, bool isOut) {
  char buffer[4096];
  const ssize_t count = read(fd, buffer, sizeof buffer);
  if (count < 0 && (errno == EINTR || errno == EAGAIN)) return;
  if (count <= 0) {
    // A terminal says EIO once the child has closed it.
    close(fd);
    fd = -1;
    if (isOut && !partial_.empty()) run_.lines.push_back({std::exchange(partial_, {}), Clock::now()});
    return;
  }
  const std::size_t size = static_cast<std::size_t>(count);
  if (!isOut) {
    run_.err.append(buffer, size);
    return;
  }
  const auto arrived = Clock::now();
  run_.out.append(buffer, size);
  partial_.append(buffer, size);
  for (auto newline = partial_.find('\n'); newline != std::string::npos; newline = partial_.find('\n')) {
    run_.lines.push_back({partial_.substr(0, newline), arrived});
    partial_.erase(0, newline + 1);
  }
}

void Process::closeOutput() {
  for (int* fd : {&outFd_, &errFd_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  if (!partial_.empty()) run_.lines.push_back({std::exchange(partial_, {}), Clock::now()});
}

void Process::reap(bool block) {
  if (pid_ <= 0) return;
  int status = 0;
  pid_t reaped;
  do {
    reaped = waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (reaped < 0 && errno == EINTR);
  if (reaped != pid_) return;
  pid_ = -1;
  if (run_.killedAfterLimit) return;
  if (WIFEXITED(status)) run_.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run_.signal = WTERMSIG(status);
}

void Process::noteEnd() {
  if (done() && run_.ended == Clock::time_point{}) run_.ended = Clock::now();
}

void Process::pollOnce(const std::vector<Process*>& processes, milliseconds wait) {
  std::vector<pollfd> fds;
  std::vector<std::pair<Process*, bool>> owners;
  for (Process* process : processes) {
    if (process->outFd_ >= 0) {
      fds.push_back({process->outFd_, POLLIN, 0});
      owners.emplace_back(process, true);
    }
    if (process->errFd_ >= 0) {
      fds.push_back({process->errFd_, POLLIN, 0});
      owners.emplace_back(process, false);
    }
  }
  const int timeout = static_cast<int>(std::clamp(wait, milliseconds(0), milliseconds(10)).count());
  if (fds.empty()) {
    std::this_thread::sleep_for(milliseconds(timeout));
  } else if (poll(fds.data(), fds.size(), timeout) > 0) {
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      auto [process, isOut] = owners[i];
      process->readFrom(isOut ? process->outFd_ : process->errFd_, isOut);
    }
  }
  for (Process* process : processes) {
    process->reap(false);
    process->noteEnd();
  }
}

bool Process::readUntil(Clock::time_point deadline, const std::function<void(pid_t)>& whileRunning) {
  while (!done()) {
    const milliseconds left = leftUntil(deadline);
    if (left.count() <= 0) return false;
    if (whileRunning && pid_ > 0) whileRunning(pid_);
    pollOnce({this}, left);
  }
  return true;
}

void Process::readAll(const std::vector<Process*>& processes, Clock::time_point deadline) {
  while (std::any_of(processes.begin(), processes.end(), [](const Process* p) { return !p->done(); })) {
    const milliseconds left = leftUntil(deadline);
    if (left.count() <= 0) return;
    pollOnce(processes, left);
  }
}

std::optional<std::string> Process::nextLine(milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    if (nextLine_ < run_.lines.size()) return run_.lines[nextLine_++].text;
    const milliseconds left = leftUntil(deadline);
    if (outFd_ < 0 || left.count() <= 0) return std::nullopt;
    pollOnce({this}, left);
  }
}

std::optional<std::string> Process::waitFor(const std::string& prefix, milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (std::optional<std::string> line = nextLine(leftUntil(deadline)))
    if (line->compare(0, prefix.size(), prefix) == 0) return line;
  return std::nullopt;
}

std::optional<int> Process::finish(milliseconds limit) {
  if (!readUntil(Clock::now() + limit)) return std::nullopt;
  nextLine_ = run_.lines.size();
  return run_.status;
}

void Process::sendSignal(int number) {
  if (pid_ > 0) kill(pid_, number);
}

void Process::stop(milliseconds grace) {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + grace;
    // Output is still read, so that a child writing as it ends cannot block.
    while (pid_ > 0 && Clock::now() < deadline) pollOnce({this}, leftUntil(deadline));
    if (pid_ > 0) kill(pid_, SIGKILL);
    reap(true);
  }
  closeOutput();
  noteEnd();
}

std::vector<std::string> Process::lines() const {
  std::vector<std::string> texts;
  for (const OutputLine& line : run_.lines) texts.push_back(line.text);
  return texts;
}

void Process::stopAfterLimit() {
  if (pid_ > 0) run_.killedAfterLimit = true;
  stop();
}

ProcessRun runToEnd(const Command& command, milliseconds limit, const std::function<void(pid_t)>& whileRunning) {
  Process process(command);
  if (!process.readUntil(process.run().started + limit, whileRunning)) process.stopAfterLimit();
  return process.takeRun();
}

std::vector<ProcessRun> runTogether(const std::vector<Command>& commands, milliseconds limit) {
  std::vector<std::unique_ptr<Process>> processes;
  std::vector<Process*> all;
  for (const Command& command : commands) {
    processes.push_back(std::make_unique<Process>(command));
    all.push_back(processes.back().get());
  }
  Process::readAll(all, Clock::now() + limit);
  std::vector<ProcessRun> runs;
  for (Process* process : all) {
    if (!process->done()) process->stopAfterLimit();
    runs.push_back(process->takeRun());
  }
  return runs;
}

std::string runCommand(const std::string& command) {
  return runToEnd({{"/bin/sh", "-c", command}, std::nullopt, "", Streams::OutOnly}, std::chrono::minutes(10)).out;
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

int runForked(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    int status = 125;
    try {
      status = body();
    } catch (...) {
    }
    _exit(status);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace qav::testing

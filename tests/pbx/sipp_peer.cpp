#include "sipp_peer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <thread>

namespace qav::testing {
namespace {

bool udpPortTaken(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  const bool taken = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0;
  close(fd);
  return taken;
}

std::string scenarioPath(const std::string& scenario) {
  return scenario.rfind('/', 0) == 0 ? scenario : std::string(QAV_SIPP_DIR) + "/" + scenario;
}

std::string baseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

[[noreturn]] void execSipp(std::vector<std::string>& arguments, const std::string& workingDirectory) {
  // A test that crashes takes its peer with it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  const int devnull = open("/dev/null", O_RDWR);
  dup2(devnull, 0);
  dup2(devnull, 1);
  dup2(devnull, 2);
  if (chdir(workingDirectory.c_str()) != 0) _exit(126);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  execvp("sipp", argv.data());
  _exit(127);
}

}  // namespace

SippPeer::SippPeer(const std::string& scenario, const std::string& workingDirectory)
    : SippPeer(scenario, SippOptions{.workingDirectory = workingDirectory}) {}

SippPeer::SippPeer(const std::string& scenario, const SippOptions& options) {
  if (options.workingDirectory.empty() || options.keepMessages) ownDirectory = std::make_unique<TemporaryDirectory>();
  const std::string workingDirectory =
      options.workingDirectory.empty() ? ownDirectory->path() : options.workingDirectory;
  for (const auto& [name, content] : options.files)
    std::ofstream(workingDirectory + "/" + name, std::ios::binary) << content;
  sipPort = freeLoopbackPort();
  rtpPort = freeLoopbackPort();
  std::vector<std::string> arguments = {"sipp", "-sf", scenarioPath(scenario),
                                        "-i", "127.0.0.1", "-p", std::to_string(sipPort),
                                        "-mi", "127.0.0.1", "-mp", std::to_string(rtpPort),
                                        "-m", std::to_string(options.calls), "-nostdin",
                                        "-timeout", std::to_string(options.timeout.count()) + "s", "-timeout_error"};
  // QAV_SIPP_TRACE=DIR keeps sipp's logs of any peer, for debugging a scenario.
  std::string errorLog;
  if (options.keepMessages) {
    messageLog = ownDirectory->path() + "/messages.log";
    errorLog = ownDirectory->path() + "/errors.log";
  } else if (const char* trace = std::getenv("QAV_SIPP_TRACE")) {
    messageLog = std::string(trace) + "/" + baseName(scenario) + ".log";
    errorLog = std::string(trace) + "/" + baseName(scenario) + ".err";
  }
  if (!messageLog.empty())
    arguments.insert(arguments.end(),
                     {"-trace_msg", "-message_file", messageLog, "-trace_err", "-error_file", errorLog});
  arguments.insert(arguments.end(), options.extra.begin(), options.extra.end());
  pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) execSipp(arguments, workingDirectory);
  for (int i = 0; i < 300 && !udpPortTaken(sipPort); ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      pid = -1;
      throw std::runtime_error("sipp ended at once with scenario " + scenario);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

SippPeer::~SippPeer() { stop(); }

void SippPeer::stop() {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

std::string SippPeer::uri(const std::string& user) const {
  return "sip:" + user + "@127.0.0.1:" + std::to_string(sipPort);
}

int SippPeer::wait(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (pid > 0) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      pid = -1;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      stop();
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string SippPeer::messages() const {
  if (messageLog.empty()) return "";
  std::ifstream in(messageLog, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> SippPeer::receivedRequests() const {
  // sipp logs each message after a line naming its direction.
  const std::string log = messages();
  const std::regex received("message received \\[\\d+\\] bytes :\\n+([A-Z]+) ");
  std::vector<std::string> methods;
  for (auto it = std::sregex_iterator(log.begin(), log.end(), received); it != std::sregex_iterator(); ++it)
    methods.push_back((*it)[1]);
  return methods;
}

}  // namespace qav::testing

#include "sipp_peer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "test_pbx.h"

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

}  // namespace

SippPeer::SippPeer(const std::string& scenario, const std::string& workingDirectory) {
  sipPort = freeLoopbackPort();
  rtpPort = freeLoopbackPort();
  std::vector<std::string> arguments = {"sipp", "-sf", std::string(QAV_SIPP_DIR) + "/" + scenario,
                                        "-i", "127.0.0.1", "-p", std::to_string(sipPort),
                                        "-mi", "127.0.0.1", "-mp", std::to_string(rtpPort),
                                        "-m", "1", "-nostdin", "-timeout", "120s", "-timeout_error"};
  // For debugging a scenario: QAV_SIPP_TRACE=DIR keeps sipp's message log.
  if (const char* trace = std::getenv("QAV_SIPP_TRACE")) {
    arguments.insert(arguments.end(), {"-trace_msg", "-message_file", std::string(trace) + "/" + scenario + ".log",
                                       "-trace_err", "-error_file", std::string(trace) + "/" + scenario + ".err"});
  }
  pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
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
  for (int i = 0; i < 300 && !udpPortTaken(sipPort); ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      pid = -1;
      throw std::runtime_error("sipp ended at once with scenario " + scenario);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

SippPeer::~SippPeer() {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
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
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qav::testing

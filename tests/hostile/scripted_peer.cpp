#include "scripted_peer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <thread>

#ifndef QAV_HOSTILE_SIPP_DIR
#error "QAV_HOSTILE_SIPP_DIR must name the directory of the scenarios"
#endif

namespace qav::hostile {
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

ScriptedPeer::ScriptedPeer(const std::string& scenario, int calls, const std::vector<std::string>& extra,
                           const std::map<std::string, std::string>& files)
    : scenarioName(scenario) {
  for (const auto& [name, content] : files) std::ofstream(directory.path() + "/" + name, std::ios::binary) << content;
  sipPort = testing::freeLoopbackPort();
  const std::uint16_t mediaPort = testing::freeLoopbackPort();
  std::vector<std::string> arguments = {
      "sipp", "-sf", std::string(QAV_HOSTILE_SIPP_DIR) + "/" + scenario, "-i", "127.0.0.1",
      "-p", std::to_string(sipPort), "-mi", "127.0.0.1", "-mp", std::to_string(mediaPort),
      "-m", std::to_string(calls), "-nostdin", "-timeout", "150s", "-timeout_error",
      "-trace_msg", "-message_file", directory.path() + "/messages.log",
      "-trace_err", "-error_file", directory.path() + "/errors.log"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    if (chdir(directory.path().c_str()) != 0) _exit(126);
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

ScriptedPeer::~ScriptedPeer() {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

std::string ScriptedPeer::uri(const std::string& user) const {
  return "sip:" + user + "@127.0.0.1:" + std::to_string(sipPort);
}

int ScriptedPeer::wait(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (pid > 0) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      pid = -1;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      pid = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ScriptedPeer::messages() const {
  std::ifstream in(directory.path() + "/messages.log", std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> ScriptedPeer::receivedRequests() const {
  // sipp logs each message after a line naming its direction.
  const std::string log = messages();
  const std::regex received("message received \\[\\d+\\] bytes :\\n+([A-Z]+) ");
  std::vector<std::string> methods;
  for (auto it = std::sregex_iterator(log.begin(), log.end(), received); it != std::sregex_iterator(); ++it)
    methods.push_back((*it)[1]);
  return methods;
}

}  // namespace qav::hostile

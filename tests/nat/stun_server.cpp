#include "stun_server.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <stdexcept>
#include <thread>

#include "test_lab.h"

namespace qav::nat {

using qav::testing::runCommand;

namespace {

std::string launcher() { return std::string(QAV_PBX_DIR) + "/stun"; }

bool listening(const std::string& ns, const std::string& hostPort) {
  return qav::testing::NetworkLab::run(ns, "ss -Hlnu").find(hostPort) != std::string::npos;
}

}  // namespace

StunServer::StunServer(const std::string& ns, const std::string& address) : address(address) {
  if (std::filesystem::exists(launcher())) {
    const std::string output = runCommand("STUN_ADDRESS=" + address + " ip netns exec " + ns + " " + launcher() +
                                          " start " + workDirectory.path() + "/stun " + std::to_string(getpid()) +
                                          " 2>&1");
    std::smatch match;
    if (!std::regex_search(output, match, std::regex("port=(\\d+)")))
      throw std::runtime_error("the STUN server did not start in " + ns + ": " + output);
    number = static_cast<std::uint16_t>(std::stoi(match[1]));
    return;
  }
  number = 3478;
  direct = std::make_unique<qav::sim::testing::ChildProcess>(qav::testing::NetworkLab::inNamespace(
      ns, {"/usr/bin/turnserver", "-n", "--stun-only", "--listening-ip=" + address,
           "--listening-port=" + std::to_string(number), "--no-cli", "--no-tls", "--no-dtls", "--no-stdout-log",
           "--log-file=" + workDirectory.path() + "/turn.log", "--simple-log"}));
  for (int i = 0; i < 100 && !listening(ns, hostPort()); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!listening(ns, hostPort())) throw std::runtime_error("coturn does not listen on " + hostPort());
}

StunServer::~StunServer() {
  if (!direct) runCommand(launcher() + " stop " + workDirectory.path() + "/stun 2>&1");
}

}  // namespace qav::nat

#include "stun_server.h"

#include <unistd.h>

#include <regex>
#include <stdexcept>

namespace qav::nat {

using qav::testing::runCommand;

namespace {

std::string launcher() { return std::string(QAV_PBX_DIR) + "/stun"; }

}  // namespace

StunServer::StunServer(const std::string& ns, const std::string& address) : address(address) {
  const std::string output = runCommand("STUN_ADDRESS=" + address + " ip netns exec " + ns + " " + launcher() +
                                        " start " + directory() + " " + std::to_string(getpid()) + " 2>&1");
  std::smatch match;
  if (!std::regex_search(output, match, std::regex("port=(\\d+)"))) {
    runCommand(launcher() + " stop " + directory() + " 2>&1");
    throw std::runtime_error("the STUN server did not start in " + ns + ": " + output);
  }
  number = static_cast<std::uint16_t>(std::stoi(match[1]));
}

StunServer::~StunServer() { runCommand(launcher() + " stop " + directory() + " 2>&1"); }

}  // namespace qav::nat

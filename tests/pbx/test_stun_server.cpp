#include "test_stun_server.h"

#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <stdexcept>

namespace qav::testing {

std::string stunScript() { return std::string(QAV_PBX_DIR) + "/stun"; }

TestStunServer::TestStunServer() {
  const std::string output = runCommand(stunScript() + " start " + workDirectory.path() + "/stun " +
                                        std::to_string(getpid()) + " 2>&1");
  std::smatch match;
  if (!std::regex_search(output, match, std::regex("port=(\\d+)"))) {
    runCommand(stunScript() + " stop " + workDirectory.path() + "/stun");
    throw std::runtime_error("STUN server did not start: " + output);
  }
  udp = static_cast<std::uint16_t>(std::stoi(match[1]));
}

TestStunServer::~TestStunServer() { runCommand(stunScript() + " stop " + workDirectory.path() + "/stun"); }

std::string TestStunServer::address() const {
  const char* configured = std::getenv("STUN_ADDRESS");
  const std::string host = configured && *configured ? configured : "127.0.0.1";
  const bool ipv6 = host.find(':') != std::string::npos;
  return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(udp);
}

}  // namespace qav::testing

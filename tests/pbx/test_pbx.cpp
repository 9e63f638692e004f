#include "test_pbx.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>
#include <stdexcept>

#ifndef QAV_PBX_DIR
#error "QAV_PBX_DIR must name the directory of the pbx script"
#endif

namespace qav::testing {

std::string pbxScript() { return std::string(QAV_PBX_DIR) + "/pbx"; }

TestPbx::TestPbx() {
  const std::string output = runCommand(pbxScript() + " start " + workDirectory.path() + "/pbx " +
                                        std::to_string(getpid()) + " 2>&1");
  std::smatch match;
  if (!std::regex_search(output, match, std::regex("udp=(\\d+) tcp=(\\d+) tls=(\\d+)"))) {
    runCommand(pbxScript() + " stop " + workDirectory.path() + "/pbx");
    throw std::runtime_error("test PBX did not start: " + output);
  }
  udp = static_cast<std::uint16_t>(std::stoi(match[1]));
  tcp = static_cast<std::uint16_t>(std::stoi(match[2]));
  tls = static_cast<std::uint16_t>(std::stoi(match[3]));
}

TestPbx::~TestPbx() { runCommand(pbxScript() + " stop " + workDirectory.path() + "/pbx"); }

std::string TestPbx::locations() const {
  return runCommand(pbxScript() + " locations " + workDirectory.path() + "/pbx 2>&1");
}

bool TestPbx::hasLocation(const std::string& user) const {
  return locations().find("AoR: " + user) != std::string::npos;
}

namespace {

std::uint16_t bindLoopback(int fd) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot bind a loopback port");
  }
  return ntohs(address.sin_port);
}

}  // namespace

std::uint16_t freeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  const std::uint16_t port = bindLoopback(fd);
  close(fd);
  return port;
}

RefusingTcpPort::RefusingTcpPort() : fd(socket(AF_INET, SOCK_STREAM, 0)), number(bindLoopback(fd)) {}

RefusingTcpPort::~RefusingTcpPort() { close(fd); }

}  // namespace qav::testing

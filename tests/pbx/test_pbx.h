// The test PBX as a test fixture: kamailio started by the pbx script in a
// private temporary directory, stopped and removed with the object.
#pragma once

#include <cstdint>
#include <string>

#include "process.h"
#include "temporary_directory.h"

namespace qav::testing {

// The PBX knows the accounts of tests/pbx/users (tester, qav, peer) in the
// realm "qav.test". It also stops by itself when the test process ends
// without destroying the object.
class TestPbx {
 public:
  TestPbx();
  ~TestPbx();
  TestPbx(const TestPbx&) = delete;
  TestPbx& operator=(const TestPbx&) = delete;

  std::uint16_t udpPort() const { return udp; }
  std::uint16_t tcpPort() const { return tcp; }
  std::uint16_t tlsPort() const { return tls; }
  // The CA certificate (PEM) that signed the PBX's TLS certificate.
  std::string caFile() const { return workDirectory.path() + "/pbx/ca.pem"; }
  // The location table as kamcmd ul.dump prints it.
  std::string locations() const;
  bool hasLocation(const std::string& user) const;

 private:
  TemporaryDirectory workDirectory;
  std::uint16_t udp = 0;
  std::uint16_t tcp = 0;
  std::uint16_t tls = 0;
};

// A free loopback port, as far as the kernel can tell now.
std::uint16_t freeLoopbackPort();

// A loopback TCP port that is bound but not listening, for as long as the
// object lives: connections to it are refused, and no other socket can take
// it meanwhile.
class RefusingTcpPort {
 public:
  RefusingTcpPort();
  ~RefusingTcpPort();
  RefusingTcpPort(const RefusingTcpPort&) = delete;
  RefusingTcpPort& operator=(const RefusingTcpPort&) = delete;
  std::uint16_t port() const { return number; }

 private:
  int fd = -1;
  std::uint16_t number = 0;
};

std::string pbxScript();

}  // namespace qav::testing

// A STUN server as a test fixture: coturn started by the stun script in a
// private temporary directory, stopped and removed with the object.
#pragma once

#include <cstdint>
#include <string>

#include "test_pbx.h"

namespace qav::testing {

// Listens on STUN_ADDRESS (default 127.0.0.1). It also stops by itself when
// the test process ends without destroying the object.
class TestStunServer {
 public:
  TestStunServer();
  ~TestStunServer();
  TestStunServer(const TestStunServer&) = delete;
  TestStunServer& operator=(const TestStunServer&) = delete;

  std::uint16_t port() const { return udp; }
  // "HOST:PORT", as the settings take it.
  std::string address() const;

 private:
  TemporaryDirectory workDirectory;
  std::uint16_t udp = 0;
};

std::string stunScript();

}  // namespace qav::testing

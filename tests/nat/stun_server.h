// The STUN server of tests/pbx/stun (coturn, STUN only) started inside a lab
// namespace, for the far side of the NAT; stopped with the object.
#pragma once

#include <cstdint>
#include <string>

#include "test_pbx.h"

namespace qav::nat {

class StunServer {
 public:
  StunServer(const std::string& ns, const std::string& address);
  ~StunServer();
  StunServer(const StunServer&) = delete;
  StunServer& operator=(const StunServer&) = delete;

  // HOST:PORT, as the programs' STUN options take it.
  std::string hostPort() const { return address + ":" + std::to_string(number); }

 private:
  std::string directory() const { return workDirectory.path() + "/stun"; }

  std::string address;
  std::uint16_t number = 0;
  qav::testing::TemporaryDirectory workDirectory;
};

}  // namespace qav::nat

// A STUN server (coturn, STUN only) inside a lab namespace, for the far side
// of the NAT; stopped with the object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "child_process.h"
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
  std::string address;
  std::uint16_t number = 0;
  qav::testing::TemporaryDirectory workDirectory;
  // Without the stun launcher of the PBX directory: coturn run directly.
  std::unique_ptr<qav::sim::testing::ChildProcess> direct;
};

}  // namespace qav::nat

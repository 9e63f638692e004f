// The test PBX of tests/pbx started inside a lab namespace on an address
// there, stopped with the object (and by its watchdog with the test).
#pragma once

#include <cstdint>
#include <string>

#include "test_pbx.h"

namespace qav::nat {

class NamespacePbx {
 public:
  NamespacePbx(const std::string& ns, const std::string& address);
  ~NamespacePbx();
  NamespacePbx(const NamespacePbx&) = delete;
  NamespacePbx& operator=(const NamespacePbx&) = delete;

  std::uint16_t udpPort() const { return udp; }
  // The location table as kamcmd ul.dump prints it.
  std::string locations() const;
  bool hasLocation(const std::string& user) const;

 private:
  std::string directory() const { return workDirectory.path() + "/pbx"; }

  qav::testing::TemporaryDirectory workDirectory;
  std::uint16_t udp = 0;
};

}  // namespace qav::nat

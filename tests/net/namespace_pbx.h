// The test PBX of tests/pbx started inside a lab namespace on an address
// there, stopped with the object (and by its watchdog with the test).
#pragma once

#include <cstdint>
#include <string>

namespace qav::testing {

class NamespacePbx {
 public:
  // directory: where the pbx script keeps the PBX's configuration, control
  // socket and logs; the script creates it.
  NamespacePbx(const std::string& ns, const std::string& address, const std::string& directory);
  ~NamespacePbx();
  NamespacePbx(const NamespacePbx&) = delete;
  NamespacePbx& operator=(const NamespacePbx&) = delete;

  std::uint16_t udpPort() const { return udp; }
  // The location table as kamcmd ul.dump prints it.
  std::string locations() const;
  bool hasLocation(const std::string& user) const;

  const std::string& ns() const { return inNamespace; }
  const std::string& directory() const { return workDirectory; }

 private:
  std::string inNamespace;
  std::string workDirectory;
  std::uint16_t udp = 0;
};

}  // namespace qav::testing

// The test peer program started for one test: its event lines read with a
// time limit, the process killed with the object.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qav::testing {

class PeerProcess {
 public:
  // Registers as user at the test PBX's UDP port.
  PeerProcess(std::uint16_t registrarPort, const std::string& user, const std::string& password);
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // The next line, or empty when none came within the limit.
  std::optional<std::string> nextLine(std::chrono::milliseconds limit);
  // Lines until one starting with prefix (returned) or the limit.
  std::optional<std::string> waitFor(const std::string& prefix, std::chrono::milliseconds limit);

 private:
  pid_t pid = -1;
  int output = -1;
  std::string pending;
};

}  // namespace qav::testing

// A scripted SIP peer for network tests: one sipp process playing a
// scenario from tests/pbx/sipp on a free loopback port.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace qav::testing {

class SippPeer {
 public:
  // scenario: a file name in tests/pbx/sipp; sipp runs in workingDirectory
  // (files a scenario plays are found there). Returns once sipp listens.
  explicit SippPeer(const std::string& scenario, const std::string& workingDirectory = ".");
  ~SippPeer();
  SippPeer(const SippPeer&) = delete;
  SippPeer& operator=(const SippPeer&) = delete;

  std::uint16_t port() const { return sipPort; }
  std::uint16_t mediaPort() const { return rtpPort; }
  std::string uri(const std::string& user) const;
  // sipp's exit status (0: scenario completed), or -1 if it is still
  // running after the limit.
  int wait(std::chrono::milliseconds limit);

 private:
  std::uint16_t sipPort = 0;
  std::uint16_t rtpPort = 0;
  pid_t pid = -1;
  int status = -1;
};

}  // namespace qav::testing

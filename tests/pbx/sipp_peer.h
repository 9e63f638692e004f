// A scripted SIP peer for network tests: one sipp process playing a
// scenario on a free loopback port, optionally with its message log kept.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "process.h"
#include "test_pbx.h"

namespace qav::testing {

struct SippOptions {
  // Where sipp runs (files a scenario plays are found there); empty: a
  // temporary directory of the peer's own.
  std::string workingDirectory = ".";
  // Name and content of files put in the working directory before sipp starts.
  std::map<std::string, std::string> files = {};
  // Scenario instances (one per Call-ID) sipp plays before it ends.
  int calls = 1;
  // sipp's own limit on the whole run, after which it fails.
  std::chrono::seconds timeout{120};
  // Keep sipp's message and error log in the peer's temporary directory
  // (for messages()); without it QAV_SIPP_TRACE=DIR keeps them in DIR.
  bool keepMessages = false;
  // Further sipp arguments.
  std::vector<std::string> extra = {};
};

class SippPeer {
 public:
  // scenario: a file name in tests/pbx/sipp, or an absolute path. Returns
  // once sipp listens.
  explicit SippPeer(const std::string& scenario, const std::string& workingDirectory = ".");
  SippPeer(const std::string& scenario, const SippOptions& options);
  ~SippPeer();
  SippPeer(const SippPeer&) = delete;
  SippPeer& operator=(const SippPeer&) = delete;

  std::uint16_t port() const { return sipPort; }
  std::uint16_t mediaPort() const { return rtpPort; }
  std::string uri(const std::string& user) const;
  // sipp's exit status (0: scenario completed), or -1 if it is still
  // running after the limit (it is then stopped).
  int wait(std::chrono::milliseconds limit);
  // Every message sipp received or sent, as its message log holds them;
  // empty when no log is kept.
  std::string messages() const;
  // The requests sipp received, by method, in order.
  std::vector<std::string> receivedRequests() const;

 private:
  // Starts sipp on fresh ports; false if it ended (or never listened) first.
  bool start(const std::string& scenario, const SippOptions& options, const std::string& workingDirectory);
  void stop();

  std::unique_ptr<TemporaryDirectory> ownDirectory;
  std::string messageLog;
  std::string errorLog;
  std::uint16_t sipPort = 0;
  std::uint16_t rtpPort = 0;
  std::unique_ptr<Process> sipp;
};

}  // namespace qav::testing

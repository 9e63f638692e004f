// sipp playing one scenario of tests/hostile/sipp on a free loopback port,
// with its message log kept so that a test can read what went over the wire.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "test_pbx.h"

namespace qav::hostile {

class ScriptedPeer {
 public:
  // calls: how many scenario instances (one per Call-ID) sipp plays
  // before it ends; extra: further sipp arguments; files: name and content
  // of files put in sipp's working directory before it starts.
  explicit ScriptedPeer(const std::string& scenario, int calls = 1, const std::vector<std::string>& extra = {},
                        const std::map<std::string, std::string>& files = {});
  ~ScriptedPeer();
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  std::uint16_t port() const { return sipPort; }
  std::string uri(const std::string& user) const;
  // 0 when the scenario ran to its end, sipp's failure status otherwise,
  // -1 if it is still running after the limit (it is then stopped).
  int wait(std::chrono::milliseconds limit);
  // Every message sipp received or sent, as its message log holds them.
  std::string messages() const;
  // The requests sipp received, by method, in order.
  std::vector<std::string> receivedRequests() const;
  const std::string& name() const { return scenarioName; }

 private:
  testing::TemporaryDirectory directory;
  std::string scenarioName;
  std::uint16_t sipPort = 0;
  pid_t pid = -1;
  int status = -1;
};

}  // namespace qav::hostile

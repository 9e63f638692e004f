// A libre-based SIP phone for tests: registers at the test PBX, answers one
// call at a time and reports the DTMF that arrives by every method.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qav::testing {

struct TestPeerOptions {
  std::string registrarHost = "127.0.0.1";
  std::uint16_t registrarPort = 5060;
  std::string user = "qav";
  std::string password = "qav-secret";
};

// Lines the peer reports, one event each:
//   "registered", "registration-failed <status>", "call", "bye",
//   "rfc4733 <digit> <ms>" (duration field of the end packet),
//   "info <digit> <ms>" (Signal and Duration of an application/dtmf-relay
//   body), "inband <digit> <ms>" (tone pair heard in the audio).
// The peer sends no audio of its own: a silent line that sends nothing.
// Runs inside libre's loop on the calling thread (libre_init first).
class TestPeer {
 public:
  using Reporter = std::function<void(const std::string& line)>;

  TestPeer(const TestPeerOptions& options, Reporter reporter);
  ~TestPeer();
  TestPeer(const TestPeer&) = delete;
  TestPeer& operator=(const TestPeer&) = delete;

  struct State;

 private:
  std::unique_ptr<State> state;
};

}  // namespace qav::testing

// The simulator as a SIP user agent: registered at a PBX or listening on a
// port, it takes one call at a time and gives each to a simulated QAV.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "qav-sim/event_log.h"
#include "qav-sim/sim_call.h"
#include "qav-sim/sim_options.h"
#include "telephony/sip_account.h"
#include "telephony/sip_stack.h"

struct sip_msg;

namespace qav::sim {

// Constructed and driven from the main thread while a LibreLoop runs; takes
// libre's lock itself where it needs it.
class SimAgent {
 public:
  // Throws std::runtime_error when the stack or the registration cannot be
  // set up.
  SimAgent(const SimOptions& options, EventLog& log);
  ~SimAgent();
  SimAgent(const SimAgent&) = delete;
  SimAgent& operator=(const SimAgent&) = delete;

  // Releases a call that has ended; true when it did.
  bool reapFinishedCall();
  std::uint32_t callsFinished() const { return callsFinished_; }
  // The registrar refused us before we were ever registered: its status.
  std::optional<int> registrationRefused() const;

  // Hangs up, unregisters and waits briefly for the answers. Never throws.
  void shutdown() noexcept;

 private:
  void resolveStunServer();
  // Over UDP with a STUN server: the stack on the port whose public address
  // the server told, and that address in our contact. No stack without one.
  void bindMappedStack();
  std::unique_ptr<SipStack> makeStack(std::uint16_t port);
  void registerAt(const HostPort& registrar);
  void incomingCall(const struct sip_msg* invite);
  void registrationAnswered(int status, bool active);
  DeviceState stateForCall();
  void keepState(const DeviceState& state);
  // Under libre's lock.
  void releaseStack();

  const SimOptions& options_;
  EventLog& log_;
  std::string localIp_;
  TraversalSettings traversal_;
  std::string contactUser_;
  std::unique_ptr<SipStack> stack_;
  std::unique_ptr<SipAccount> account_;
  bool registered_ = false;
  std::optional<int> refused_;
  std::unique_ptr<SimCall> call_;  // guarded by libre's lock
  std::uint32_t callsFinished_ = 0;
  std::mutex stateMutex_;
  DeviceState memoryState_;  // without a state file
  bool stopped_ = false;
};

}  // namespace qav::sim

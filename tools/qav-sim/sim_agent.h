// The simulator as a SIP user agent: registered at a PBX or listening on a
// port, it gives each call to the simulated QAV it is addressed to, one call
// at a time per device.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "qav-sim/event_log.h"
#include "qav-sim/sim_device.h"
#include "qav-sim/sim_options.h"
#include "telephony/sip_stack.h"

struct sip_msg;

namespace qav::sim {

struct RefusedRegistration {
  std::string user;
  int status = 0;
};

// Constructed and driven from the main thread while a LibreLoop runs; takes
// libre's lock itself where it needs it. All devices share the one stack.
class SimAgent {
 public:
  // Throws std::runtime_error when the stack or a registration cannot be
  // set up.
  SimAgent(const SimOptions& options, EventLog& log);
  ~SimAgent();
  SimAgent(const SimAgent&) = delete;
  SimAgent& operator=(const SimAgent&) = delete;

  // Releases the calls that have ended; the number released.
  std::uint32_t reapFinishedCalls();
  std::uint32_t callsFinished() const { return callsFinished_; }
  // A registrar refused a device before it was ever registered.
  std::optional<RefusedRegistration> registrationRefused() const;

  // Hangs up, unregisters and waits briefly for the answers. Never throws.
  void shutdown() noexcept;

 private:
  void resolveStunServer();
  // Over UDP with a STUN server: the stack on the port whose public address
  // the server told, and that address in the contacts. No stack without one.
  void bindMappedStack();
  std::unique_ptr<SipStack> makeStack(std::uint16_t port);
  void incomingCall(const struct sip_msg* invite);
  SimDevice* addressed(const struct sip_msg* invite);
  // Under libre's lock.
  void releaseStack();

  const SimOptions& options_;
  std::string localIp_;
  TraversalSettings traversal_;
  std::unique_ptr<SipStack> stack_;
  std::vector<std::unique_ptr<SimDevice>> devices_;
  // By user, when the simulator plays several devices.
  std::map<std::string, SimDevice*, std::less<>> byUser_;
  std::uint32_t callsFinished_ = 0;
  bool stopped_ = false;
};

}  // namespace qav::sim

// The simulator's command line: how it reaches callers (registration or a
// listening port), where it keeps its state, and how it times and misbehaves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qav-sim/dialogue_timing.h"
#include "qav-sim/fault_plan.h"
#include "linemodel/line_model.h"
#include "settings/settings.h"
#include "telephony/stun_server.h"

namespace qav::sim {

struct HostPort {
  std::string host;
  std::uint16_t port = 0;
};

struct SimOptions {
  // Exactly one of the two: register at a PBX, or take calls on a port.
  std::optional<HostPort> registrar;
  std::optional<HostPort> listen;
  std::string user;
  std::string password;
  SipTransport transport = SipTransport::Udp;
  // Learns the public address of the RTP socket (and, over UDP, of the
  // registering SIP socket) from this server.
  std::optional<StunServer> stunServer;
  bool ice = false;  // answers an ICE offer with candidates and checks
  std::string stateFile;  // empty: the state lives in memory only
  milliseconds ringDelay{0};
  DialogueTiming timing;
  FaultPlan faults;
  // The network between caller and device: voice codecs in both directions,
  // noise and echo on the device's side. None: G.711 end to end.
  std::optional<line::LineSpec> line;
  std::optional<std::uint32_t> calls;  // none: until SIGTERM or SIGINT
  bool events = false;
  bool help = false;
};

// Throws std::invalid_argument with a one-line reason.
SimOptions parseSimOptions(const std::vector<std::string>& arguments);

std::string simUsage();

// "single-confirmation", "double-confirmation", "multi-device-prompt",
// "alternating-disconnect", "parameter-error": the names of the event lines
// and of --wrong-tone.
std::string answerName(Signal pattern);
std::optional<Signal> answerNamed(const std::string& name);

}  // namespace qav::sim

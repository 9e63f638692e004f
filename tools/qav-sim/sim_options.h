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

// "--device-fault K:NAME[@STEP]": one device's own misbehaviour, on top of
// the fault options that every device shares.
enum class DeviceFaultKind {
  Busy,            // every call turned away with 486
  Silence,         // the step is not heard (default the start signal: none)
  ParameterError,  // the step and all later ones refused (default the first opening code)
  WrongPin,        // every PIN refused
  HangUp,          // hangs up after the step (default the PIN)
};

struct DeviceFault {
  std::uint32_t device = 0;  // counted from 1
  DeviceFaultKind kind = DeviceFaultKind::Busy;
  std::optional<std::uint32_t> step;
};

// One of the devices the simulator plays: what it registers as, where it
// keeps its state, how it misbehaves, and what its event lines begin with.
struct DeviceSpec {
  std::string user;
  std::string password;
  std::string stateFile;
  FaultPlan faults;
  std::string eventPrefix;  // empty for the only device
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
  // Several devices on one SIP stack, each registered as --user (default
  // "qav") with its number of at least two digits: qav01 ... qavNN. In
  // --password "{user}" stands for that name. Each keeps its state in
  // --state-dir as USER.json, or in memory.
  std::optional<std::uint32_t> devices;
  std::string stateDir;
  std::vector<DeviceFault> deviceFaults;
  std::optional<std::uint32_t> calls;  // none: until SIGTERM or SIGINT; all devices together
  bool events = false;
  bool help = false;
};

// Throws std::invalid_argument with a one-line reason.
SimOptions parseSimOptions(const std::vector<std::string>& arguments);

std::string simUsage();

// The devices to play: one from --user, --state and the fault options, or
// those of --devices.
std::vector<DeviceSpec> deviceSpecs(const SimOptions& options);

// "single-confirmation", "double-confirmation", "multi-device-prompt",
// "alternating-disconnect", "parameter-error": the names of the event lines
// and of --wrong-tone.
std::string answerName(Signal pattern);
std::optional<Signal> answerNamed(const std::string& name);

}  // namespace qav::sim

// Programming calls across the lab's NAT: kamailio, a STUN server and
// qav-sim in the wan namespace, qav-cli in the lan namespace behind the
// masquerade, and a capture of what crosses the wan side of the router.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "namespace_pbx.h"
#include "packet_capture.h"
#include "programming_call.h"
#include "stun_server.h"
#include "test_lab.h"

namespace qav::nat {

using nlohmann::json;
using qav::testing::sdpAudioPort;
using qav::testing::sdpCandidates;
using qav::testing::sdpConnectionAddress;

using Event = qav::menu::CliEvent;

struct NatCall : qav::testing::CliRun {
  // From "Wähle …" to "SIP-Verbindung hergestellt", if both came.
  std::optional<std::chrono::milliseconds> setupTime;
};

// qav-sim (startSimulator) in the wan and qav-cli in the lan reach the PBX
// at its wan address.
class NatCallTest : public qav::testing::NetworkLabTest, protected qav::testing::ProgrammingCallParties {
 protected:
  void SetUp() override;
  void TearDown() override;

  // qav-cli in the lan as "tester", calling "qav" with --json, the clock
  // action and `extra`.
  NatCall call(const std::vector<std::string>& extra);

  // The INVITE qav-cli's call carried across the NAT, as the PBX got it.
  std::string inviteFromLan() const;
  // The simulator's SDP answer as the PBX relayed it to the lan.
  std::string answerFromSimulator() const;
  // Datagrams from the lan that reached the simulator's media port, and
  // datagrams from that port that reached qav-cli in the lan.
  std::size_t mediaToSimulator() const;
  std::size_t mediaFromSimulator() const;

  std::string stunServer() const { return stun->hostPort(); }

  // The call programmed the clock it announced, the device hung up and its
  // BYE reached qav-cli, the device's audio came back through the NAT, and
  // both programs ended their registrations.
  void expectProgrammed(const NatCall& run);

  qav::testing::TemporaryDirectory directory;
  std::unique_ptr<qav::testing::NamespacePbx> pbx;
  std::unique_ptr<StunServer> stun;
  // The wan side of the router, and the lan's own device.
  std::unique_ptr<qav::testing::PacketCapture> capture;
  std::unique_ptr<qav::testing::PacketCapture> lanCapture;
};

// Whether the SDP offers a candidate of that type on that address.
bool hasCandidate(const std::string& sdp, const std::string& address, const std::string& type);

// A clock the device holds from an earlier call.
extern const json kEarlierClock;
using qav::testing::kFastDigits;

}  // namespace qav::nat

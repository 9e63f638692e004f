#include "nat_call_fixture.h"

#include <fstream>

#ifndef QAV_SIM
#error "QAV_SIM must name the simulator program"
#endif
#ifndef QAV_CLI
#error "QAV_CLI must name the programming program"
#endif

namespace qav::nat {

using namespace std::chrono_literals;
using qav::testing::NetworkLab;

const json kEarlierClock{{"clock-time", "0815"}, {"clock-date", "01012020"}};
const std::vector<std::string> kFastDigits{"--dtmf-tone-ms", "80", "--dtmf-gap-ms", "80", "--settle-ms", "100"};

void NatCallTest::SetUp() {
  NetworkLabTest::SetUp();
  if (IsSkipped()) return;
  pbx = std::make_unique<NamespacePbx>(net().wanNamespace(), net().wanAddress());
  stun = std::make_unique<StunServer>(net().wanNamespace(), net().wanAddress());
  capture = std::make_unique<qav::testing::PacketCapture>(net().wanNamespace(), "wan0");
}

void NatCallTest::TearDown() {
  simulator.reset();
  capture.reset();
  stun.reset();
  pbx.reset();
  NetworkLabTest::TearDown();
}

void NatCallTest::seedState(const json& state) const { std::ofstream(statePath()) << state.dump(); }

json NatCallTest::readState() const {
  std::ifstream in(statePath());
  if (!in) return nullptr;
  return json::parse(in, nullptr, false);
}

void NatCallTest::startSimulator(const std::vector<std::string>& extra) {
  std::vector<std::string> args{QAV_SIM,      "--registrar", net().wanAddress() + ":" + std::to_string(pbx->udpPort()),
                                "--user",     "qav",         "--password",
                                "qav-secret", "--state",     statePath(),
                                "--events",   "--calls",     "1"};
  args.insert(args.end(), extra.begin(), extra.end());
  simulator = std::make_unique<qav::sim::testing::ChildProcess>(NetworkLab::inNamespace(net().wanNamespace(), args));
  ASSERT_TRUE(simulator->waitFor("registered", 10s)) << "qav-sim did not register";
}

std::vector<std::string> NatCallTest::simulatorLines() {
  EXPECT_EQ(simulator->finish(20s), 0) << "qav-sim did not end cleanly after its call";
  return simulator->lines();
}

NatCall NatCallTest::call(const std::vector<std::string>& extra) {
  std::vector<std::string> args{QAV_CLI,        "--sip-server",  net().wanAddress(),
                                "--sip-port",   std::to_string(pbx->udpPort()),
                                "--sip-user",   "tester",        "--sip-password",
                                "tester-secret", "--target",     "qav",
                                "--json",       "--actions",     "clock"};
  args.insert(args.end(), kFastDigits.begin(), kFastDigits.end());
  args.insert(args.end(), extra.begin(), extra.end());
  NatCall result{qav::e2e::runToEnd(NetworkLab::inNamespace(net().lanNamespace(), args), 240s), {}, {}};
  std::optional<qav::e2e::Clock::time_point> dialling;
  for (const qav::e2e::OutputLine& line : result.process.out) {
    const json event = json::parse(line.text, nullptr, false);
    if (!event.is_object() || !event.contains("message")) {
      ADD_FAILURE() << "not an event line: " << line.text;
      continue;
    }
    const std::string message = event["message"];
    result.events.push_back({event["level"], event["event"], message});
    if (message.rfind("Wähle ", 0) == 0) dialling = line.arrived;
    if (message == "SIP-Verbindung hergestellt" && dialling)
      result.setupTime = std::chrono::duration_cast<std::chrono::milliseconds>(line.arrived - *dialling);
  }
  return result;
}

std::string NatCallTest::inviteFromLan() const {
  for (const auto& datagram : capture->sipStartingWith("INVITE "))
    if (datagram.source == net().publicAddress() && datagram.destination == net().wanAddress())
      return datagram.text;
  return "";
}

std::string NatCallTest::answerFromSimulator() const {
  for (const auto& datagram : capture->sipStartingWith("SIP/2.0 200"))
    if (datagram.text.find("CSeq: ") != std::string::npos && datagram.text.find(" INVITE") != std::string::npos &&
        !sdpConnectionAddress(datagram.text).empty() && datagram.source == net().wanAddress() &&
        datagram.destination == net().publicAddress())
      return datagram.text;
  return "";
}

std::size_t NatCallTest::mediaBetween(bool toSimulator) const {
  const std::uint16_t port = sdpAudioPort(answerFromSimulator());
  std::size_t count = 0;
  for (const auto& datagram : capture->datagrams()) {
    if (!datagram.text.empty() || port == 0) continue;
    if (toSimulator && datagram.source == net().publicAddress() && datagram.destinationPort == port) ++count;
    if (!toSimulator && datagram.sourcePort == port && datagram.destination == net().publicAddress()) ++count;
  }
  return count;
}

std::size_t NatCallTest::mediaToSimulator() const { return mediaBetween(true); }
std::size_t NatCallTest::mediaFromSimulator() const { return mediaBetween(false); }

}  // namespace qav::nat

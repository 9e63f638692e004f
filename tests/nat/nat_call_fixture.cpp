#include "nat_call_fixture.h"

#include <algorithm>
#include <regex>

namespace qav::nat {

using namespace std::chrono_literals;
using qav::testing::NetworkLab;

const json kEarlierClock{{"clock-time", "0815"}, {"clock-date", "01012020"}};

namespace {

// The joined groups of the last pending message that matches.
std::string fromLabels(const NatCall& run, const std::regex& pattern) {
  return qav::testing::extract(run.messages("pending"), pattern);
}

}  // namespace

bool hasCandidate(const std::string& sdp, const std::string& address, const std::string& type) {
  const auto candidates = sdpCandidates(sdp);
  return std::any_of(candidates.begin(), candidates.end(), [&](const std::string& candidate) {
    return candidate.find(" " + address + " ") != std::string::npos &&
           candidate.find(" typ " + type) != std::string::npos;
  });
}

void NatCallTest::SetUp() {
  NetworkLabTest::SetUp();
  if (IsSkipped()) return;
  pbx = std::make_unique<qav::testing::NamespacePbx>(net().wanNamespace(), net().wanAddress(),
                                                     directory.path() + "/pbx");
  site = {net().wanAddress(), pbx->udpPort(), "", NetworkLab::inNamespace(net().wanNamespace(), {}),
          NetworkLab::inNamespace(net().lanNamespace(), {}), directory.path()};
  stun = std::make_unique<StunServer>(net().wanNamespace(), net().wanAddress());
  capture = std::make_unique<qav::testing::PacketCapture>(net().wanNamespace(), "wan0");
  lanCapture = std::make_unique<qav::testing::PacketCapture>(net().lanNamespace(), net().lanDevice());
}

void NatCallTest::TearDown() {
  simulator.reset();
  lanCapture.reset();
  capture.reset();
  stun.reset();
  pbx.reset();
  NetworkLabTest::TearDown();
}

NatCall NatCallTest::call(const std::vector<std::string>& extra) {
  std::vector<std::string> args{"--actions", "clock"};
  args.insert(args.end(), kFastDigits.begin(), kFastDigits.end());
  args.insert(args.end(), extra.begin(), extra.end());
  NatCall result{runCall(args, 240s), {}};
  EXPECT_TRUE(result.malformed.empty()) << "not an event line: " << result.malformed.front();
  std::optional<qav::testing::Clock::time_point> dialling;
  for (const qav::testing::OutputLine& line : result.process.lines) {
    const std::optional<Event> event = qav::testing::eventOf(line.text);
    if (!event) continue;
    if (event->message.rfind("Wähle ", 0) == 0) dialling = line.arrived;
    if (event->message == "SIP-Verbindung hergestellt" && dialling)
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

void NatCallTest::expectProgrammed(const NatCall& run) {
  EXPECT_EQ(run.status(), 0) << run.process.err;
  EXPECT_EQ(run.process.err, "");
  ASSERT_FALSE(run.events.empty());
  EXPECT_EQ(run.events.back(), (Event{"success", "complete", "Programmierung abgeschlossen"}));
  // The device's BYE came through the PBX to qav-cli's Contact.
  const Event hungUp{"success", "hangup", "QAV hat die Verbindung beendet"};
  EXPECT_NE(std::find(run.events.begin(), run.events.end(), hungUp), run.events.end());
  const json state = readState();
  ASSERT_TRUE(state.is_object());
  EXPECT_EQ(state["clock-time"], fromLabels(run, std::regex("Uhrzeit auf (\\d\\d):(\\d\\d) Uhr")));
  EXPECT_EQ(state["clock-date"], fromLabels(run, std::regex("Datum auf (\\d\\d)\\.(\\d\\d)\\.(\\d{4})")));
  EXPECT_GT(mediaFromSimulator(), 0u) << "no audio of the device crossed the NAT";
  const std::vector<std::string> lines = simulatorLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "bye");
  EXPECT_FALSE(pbx->hasLocation("tester")) << "qav-cli left its registration behind";
  EXPECT_FALSE(pbx->hasLocation("qav")) << "qav-sim left its registration behind";
}

std::size_t NatCallTest::mediaToSimulator() const {
  const std::uint16_t port = sdpAudioPort(answerFromSimulator());
  const auto datagrams = capture->datagrams();
  return static_cast<std::size_t>(std::count_if(datagrams.begin(), datagrams.end(), [&](const auto& datagram) {
    return port != 0 && datagram.text.empty() && datagram.source == net().publicAddress() &&
           datagram.destinationPort == port;
  }));
}

std::size_t NatCallTest::mediaFromSimulator() const {
  const std::uint16_t port = sdpAudioPort(answerFromSimulator());
  const auto datagrams = lanCapture->datagrams();
  return static_cast<std::size_t>(std::count_if(datagrams.begin(), datagrams.end(), [&](const auto& datagram) {
    return port != 0 && datagram.text.empty() && datagram.source == net().wanAddress() &&
           datagram.sourcePort == port && datagram.destination == net().lanAddress();
  }));
}

}  // namespace qav::nat

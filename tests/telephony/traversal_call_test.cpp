#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iostream>
#include <optional>
#include <regex>

#include "peer_process.h"
#include "scripted_stun_server.h"
#include "session_settings.h"
#include "sipp_peer.h"
#include "audio/g711.h"
#include "telephony/telephony_session.h"
#include "test_pbx.h"
#include "test_stun_server.h"

namespace qav {
namespace {

using namespace std::chrono;

// The test peer's account of the INVITE it answered.
struct Offer {
  std::string address;
  std::uint16_t port = 0;
  std::string contact;
  int iceUfrag = 0;
  int icePwd = 0;
  int candidates = 0;
};

std::optional<Offer> parseOffer(const std::string& line) {
  const std::regex pattern(
      "offer ([0-9.]+):(\\d+) contact=(\\S*) ice-ufrag=(\\d+) ice-pwd=(\\d+) candidates=(\\d+)");
  std::smatch match;
  if (!std::regex_match(line, match, pattern)) return std::nullopt;
  return Offer{match[1], static_cast<std::uint16_t>(std::stoi(match[2])), match[3], std::stoi(match[4]),
               std::stoi(match[5]), std::stoi(match[6])};
}

std::uint16_t contactPort(const std::string& contact) {
  std::smatch match;
  if (!std::regex_search(contact, match, std::regex(":(\\d+)>"))) return 0;
  return static_cast<std::uint16_t>(std::stoi(match[1]));
}

// Half a second of silence, then one 120 ms beep at 2109 Hz in mu-law.
void writeConfirmationTone(const std::string& path) {
  std::vector<std::int16_t> samples(4000 + 960, 0);
  for (std::size_t n = 0; n < 960; ++n) {
    samples[4000 + n] = static_cast<std::int16_t>(std::sin(6.283185307179586 * 2109.0 * n / 8000.0) * 16000);
  }
  std::vector<std::uint8_t> encoded(samples.size());
  g711Encode(G711Law::MuLaw, samples.data(), samples.size(), encoded.data());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(encoded.data()),
                                              static_cast<std::streamsize>(encoded.size()));
}

// Figures for the report, not limits: the machine may be loaded.
void printSetUpTimes(steady_clock::time_point start, steady_clock::time_point registered) {
  const auto ms = [](auto span) { return duration_cast<microseconds>(span).count() / 1000.0; };
  std::cout << "registered in " << ms(registered - start) << " ms, connected in "
            << ms(steady_clock::now() - registered) << " ms\n";
}

class TraversalCallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { pbx = new testing::TestPbx(); }
  static void TearDownTestSuite() {
    delete pbx;
    pbx = nullptr;
  }

  void SetUp() override { settings = testing::pbxAccount(pbx->udpPort()); }

  // Registers, calls the test peer and returns what its INVITE offered.
  Offer callPeer() {
    peer = std::make_unique<testing::PeerProcess>(pbx->udpPort(), "qav", "qav-secret");
    EXPECT_TRUE(peer->waitFor("registered", seconds(5)));
    const auto start = steady_clock::now();
    session->registerAccount(settings);
    const auto registered = steady_clock::now();
    session->placeCall("qav");
    printSetUpTimes(start, registered);
    const std::optional<std::string> line = peer->waitFor("offer", seconds(2));
    EXPECT_TRUE(line.has_value());
    const std::optional<Offer> offer = parseOffer(line.value_or(""));
    EXPECT_TRUE(offer.has_value()) << line.value_or("");
    EXPECT_TRUE(peer->waitFor("call", seconds(2)));
    return offer.value_or(Offer{});
  }

  // A call to a sipp callee that plays one confirmation beep.
  void expectBeepThroughCall() {
    testing::TemporaryDirectory directory;
    writeConfirmationTone(directory.path() + "/audio.ulaw");
    testing::SippPeer callee("callee_streams_audio.xml", directory.path());
    const auto start = steady_clock::now();
    session->registerAccount(settings);
    const auto registered = steady_clock::now();
    session->placeCall(callee.uri("qav"));
    printSetUpTimes(start, registered);
    EXPECT_EQ(session->waitSignal(4000), std::optional<Signal>(Signal::SingleConfirmation));
    session->hangup();
    EXPECT_EQ(callee.wait(seconds(5)), 0);
  }

  static testing::TestPbx* pbx;
  SipSettings settings;
  std::unique_ptr<testing::PeerProcess> peer;
  std::unique_ptr<TelephonySession> session = createTelephonySession();
};

testing::TestPbx* TraversalCallTest::pbx = nullptr;

// The responder maps every port to 127.0.0.2: an address that can only have
// come from its answers.
TEST_F(TraversalCallTest, StunMappingOfBothSocketsGoesIntoTheInvite) {
  testing::ScriptedStunServer stun("127.0.0.2");
  settings.stunServer = stun.address();
  const Offer offer = callPeer();
  const std::set<std::uint16_t> asking = stun.askingPorts();
  EXPECT_EQ(offer.address, "127.0.0.2");
  EXPECT_TRUE(asking.count(offer.port)) << "the RTP socket itself asked";
  EXPECT_EQ(offer.contact.rfind("<sip:tester@127.0.0.2:", 0), 0u) << offer.contact;
  EXPECT_TRUE(asking.count(contactPort(offer.contact))) << "the SIP socket asked from its own port";
  EXPECT_EQ(offer.iceUfrag + offer.icePwd + offer.candidates, 0) << "no ICE without --ice";
  session->hangup();
  EXPECT_TRUE(peer->waitFor("bye", seconds(2)));
}

TEST_F(TraversalCallTest, OverTcpOnlyTheMediaIsMapped) {
  testing::ScriptedStunServer stun("127.0.0.2");
  settings = testing::pbxAccount(pbx->tcpPort(), SipTransport::Tcp);
  settings.stunServer = stun.address();
  const Offer offer = callPeer();
  EXPECT_EQ(offer.address, "127.0.0.2");
  EXPECT_EQ(offer.contact.find("127.0.0.2"), std::string::npos) << offer.contact;
  EXPECT_EQ(stun.askingPorts().size(), 1u);
}

// Over UDP the registration finds the server silent and the call does not
// ask again; over TCP only the call asks. Either way the run waits once.
TEST_F(TraversalCallTest, SilentStunServerDelaysButDoesNotStopRegistrationAndCall) {
  for (const SipTransport transport : {SipTransport::Udp, SipTransport::Tcp}) {
    SCOPED_TRACE(transport == SipTransport::Udp ? "udp" : "tcp");
    testing::ScriptedStunServer stun("127.0.0.2", true);
    settings = testing::pbxAccount(transport == SipTransport::Udp ? pbx->udpPort() : pbx->tcpPort(), transport);
    settings.stunServer = stun.address();
    session = createTelephonySession();
    const Offer offer = callPeer();
    EXPECT_EQ(offer.address, "127.0.0.1");
    EXPECT_EQ(offer.contact.find("127.0.0.2"), std::string::npos) << offer.contact;
    EXPECT_EQ(stun.askingPorts().size(), 1u);
    session->shutdown();
    peer.reset();
  }
}

TEST_F(TraversalCallTest, StunServerNameThatDoesNotResolveIsNoMapping) {
  settings.stunServer = "stun.invalid:3478";
  const Offer offer = callPeer();
  EXPECT_EQ(offer.address, "127.0.0.1");
}

TEST_F(TraversalCallTest, MalformedStunServerFailsTheRegistration) {
  settings.stunServer = "127.0.0.1:99999";
  EXPECT_EQ(testing::failureOf([&] { session->registerAccount(settings); }),
            "PJSIP: Ungültiger STUN-Server: 127.0.0.1:99999");
}

TEST_F(TraversalCallTest, IceOfferCarriesHostAndReflexiveCandidatesWithTheReflexiveAsDefault) {
  testing::ScriptedStunServer stun("127.0.0.2");
  settings.stunServer = stun.address();
  settings.ice = true;
  const Offer offer = callPeer();
  EXPECT_EQ(offer.iceUfrag, 1);
  EXPECT_EQ(offer.icePwd, 1);
  EXPECT_EQ(offer.candidates, 2);
  EXPECT_EQ(offer.address, "127.0.0.2");
}

TEST_F(TraversalCallTest, IceWithoutStunServerOffersTheHostCandidate) {
  settings.ice = true;
  const Offer offer = callPeer();
  EXPECT_EQ(offer.iceUfrag, 1);
  EXPECT_EQ(offer.candidates, 1);
  EXPECT_EQ(offer.address, "127.0.0.1");
}

// Real STUN server on loopback: the mapping is the local address itself,
// and the audio must still pass the STUN and ICE helpers on the RTP socket.
TEST_F(TraversalCallTest, CallWithRealStunServerCarriesAudio) {
  testing::TestStunServer stun;
  settings.stunServer = stun.address();
  expectBeepThroughCall();
}

TEST_F(TraversalCallTest, IceOfferedToAPeerWithoutIceCarriesAudio) {
  testing::TestStunServer stun;
  settings.stunServer = stun.address();
  settings.ice = true;
  expectBeepThroughCall();
}

}  // namespace
}  // namespace qav

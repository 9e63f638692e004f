#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iostream>
#include <optional>
#include <regex>
#include <thread>
#include <vector>

#include "peer_process.h"
#include "session_settings.h"
#include "sipp_peer.h"
#include "audio/g711.h"
#include "telephony/telephony_session.h"
#include "test_pbx.h"

namespace qav {
namespace {

using namespace std::chrono;
using testing::failureOf;

struct HeardDigit {
  std::string method;
  char digit = 0;
  int ms = 0;
};

class CallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { pbx = new testing::TestPbx(); }
  static void TearDownTestSuite() {
    delete pbx;
    pbx = nullptr;
  }

  void SetUp() override { settings = testing::pbxAccount(pbx->udpPort()); }

  void startPeer() {
    peer = std::make_unique<testing::PeerProcess>(pbx->udpPort(), "qav", "qav-secret");
    ASSERT_TRUE(peer->waitFor("registered", seconds(5)));
  }

  void callPeer() {
    startPeer();
    session->registerAccount(settings);
    const auto start = steady_clock::now();
    session->placeCall("qav");
    std::cout << "connected in " << duration_cast<microseconds>(steady_clock::now() - start).count() / 1000.0
              << " ms\n";
    ASSERT_TRUE(peer->waitFor("call", seconds(2)));
  }

  // The digits the peer reports until it has heard count of them.
  std::vector<HeardDigit> heard(std::size_t count) {
    std::vector<HeardDigit> digits;
    const std::regex event("(rfc4733|info|inband) (.) (\\d+)");
    while (digits.size() < count) {
      const auto line = peer->nextLine(seconds(3));
      if (!line) break;
      std::smatch match;
      if (std::regex_match(*line, match, event)) {
        digits.push_back({match[1], match[2].str()[0], std::stoi(match[3])});
      }
    }
    return digits;
  }

  void expectDigits(const std::string& method, const std::string& digits, int toneMs, int toleranceMs) {
    const std::vector<HeardDigit> received = heard(digits.size());
    ASSERT_EQ(received.size(), digits.size());
    for (std::size_t i = 0; i < digits.size(); ++i) {
      EXPECT_EQ(received[i].method, method);
      EXPECT_EQ(received[i].digit, digits[i]);
      EXPECT_NEAR(received[i].ms, toneMs, toleranceMs) << "digit " << i;
    }
  }

  static testing::TestPbx* pbx;
  SipSettings settings;
  std::unique_ptr<testing::PeerProcess> peer;
  std::unique_ptr<TelephonySession> session = createTelephonySession();
};

testing::TestPbx* CallTest::pbx = nullptr;

TEST_F(CallTest, CallBetweenRegisteredUsersConnectsAndHangsUpWithBye) {
  callPeer();
  EXPECT_TRUE(session->isConnected());
  // No RTP comes from the peer: the analyzer hears silence, nothing else.
  EXPECT_FALSE(session->waitSignal(300).has_value());
  session->hangup();
  EXPECT_FALSE(session->isConnected());
  EXPECT_TRUE(peer->waitFor("bye", seconds(2)));
  const auto start = steady_clock::now();
  EXPECT_FALSE(session->waitSignal(2000).has_value());
  EXPECT_LT(steady_clock::now() - start, milliseconds(100));
  session->hangup();
  session->shutdown();
  EXPECT_FALSE(pbx->hasLocation("tester"));
}

TEST_F(CallTest, RegisteringAgainEndsTheCallAndAwaitsTheNewAnswer) {
  callPeer();
  SipSettings wrong = settings;
  wrong.password = "wrong";
  EXPECT_EQ(failureOf([&] { session->registerAccount(wrong); }), "SIP-Registrierung fehlgeschlagen (SIP 403).");
  EXPECT_FALSE(session->isConnected());
  EXPECT_TRUE(peer->waitFor("bye", seconds(2)));
  session->registerAccount(settings);
  EXPECT_TRUE(pbx->hasLocation("tester"));
  session->placeCall("qav");
  EXPECT_TRUE(peer->waitFor("call", seconds(2)));
  session->sendDigits("5");
  expectDigits("rfc4733", "5", static_cast<int>(settings.dtmfToneMs), 20);
}

TEST_F(CallTest, AnotherCallReplacesTheFirst) {
  callPeer();
  session->placeCall("qav");
  EXPECT_TRUE(peer->waitFor("bye", seconds(2)));
  EXPECT_TRUE(peer->waitFor("call", seconds(2)));
  EXPECT_TRUE(session->isConnected());
  session->sendDigits("7");
  expectDigits("rfc4733", "7", static_cast<int>(settings.dtmfToneMs), 20);
}

TEST_F(CallTest, Rfc4733EventsLastTheToneLength) {
  settings.dtmfToneMs = 100;
  settings.dtmfGapMs = 60;
  callPeer();
  const auto start = steady_clock::now();
  session->sendDigits("1*#");
  const auto took = steady_clock::now() - start;
  EXPECT_GE(took, milliseconds(3 * 100 + 2 * 60));
  EXPECT_LT(took, milliseconds(3 * 100 + 2 * 60 + 150));
  expectDigits("rfc4733", "1*#", 100, 20);
}

TEST_F(CallTest, Rfc4733KeepsShortAndLongTones) {
  // 40 ms is below what libre's telev can end; 500 ms goes through telev.
  settings.dtmfToneMs = 40;
  settings.dtmfGapMs = 40;
  callPeer();
  session->sendDigits("59");
  expectDigits("rfc4733", "59", 40, 20);
  session->hangup();
  session->shutdown();

  settings.dtmfToneMs = 500;
  settings.dtmfGapMs = 110;
  session = createTelephonySession();
  peer.reset();
  callPeer();
  const auto start = steady_clock::now();
  session->sendDigits("12");
  EXPECT_GE(steady_clock::now() - start, milliseconds(1110));
  expectDigits("rfc4733", "12", 500, 20);
}

TEST_F(CallTest, SipInfoCarriesSignalAndDuration) {
  settings.dtmfMethod = DtmfMethod::SipInfo;
  settings.dtmfToneMs = 80;
  settings.dtmfGapMs = 40;
  callPeer();
  session->sendDigits("7#0");
  expectDigits("info", "7#0", 80, 0);
}

TEST_F(CallTest, InbandTonesAreHeardWithTheirLength) {
  settings.dtmfMethod = DtmfMethod::Inband;
  settings.dtmfToneMs = 120;
  settings.dtmfGapMs = 100;
  callPeer();
  session->sendDigits("1*9#");
  expectDigits("inband", "1*9#", 120, 20);
}

TEST_F(CallTest, InbandRejectsLettersButPlaysWhatCameBefore) {
  settings.dtmfMethod = DtmfMethod::Inband;
  settings.dtmfToneMs = 100;
  settings.dtmfGapMs = 100;
  callPeer();
  EXPECT_EQ(failureOf([&] { session->sendDigits("A"); }), "Ungültiges DTMF-Zeichen: A");
  EXPECT_EQ(failureOf([&] { session->sendDigits("3A"); }), "Ungültiges DTMF-Zeichen: A");
  expectDigits("inband", "3", 100, 20);
}

TEST_F(CallTest, DigitsNeedAConnectedCall) {
  session->sendDigits("");
  EXPECT_EQ(failureOf([&] { session->sendDigits("1"); }), "DTMF kann ohne aktive Verbindung nicht gesendet werden.");
  callPeer();
  session->hangup();
  EXPECT_EQ(failureOf([&] { session->sendDigits("1"); }), "DTMF kann ohne aktive Verbindung nicht gesendet werden.");
}

TEST_F(CallTest, CallsAndInDialogRequestsWorkOverTcpAndTls) {
  settings.dtmfMethod = DtmfMethod::SipInfo;
  settings.dtmfToneMs = 40;
  settings.dtmfGapMs = 0;
  for (const auto& [transport, port] : {std::pair{SipTransport::Tcp, pbx->tcpPort()},
                                        std::pair{SipTransport::Tls, pbx->tlsPort()}}) {
    settings.transport = transport;
    settings.port = port;
    session = createTelephonySession();
    peer.reset();
    callPeer();
    session->sendDigits("4");
    expectDigits("info", "4", 40, 0);
    session->hangup();
    EXPECT_TRUE(peer->waitFor("bye", seconds(2)));
    session->shutdown();
  }
}

TEST_F(CallTest, CalleeWithoutTelephoneEventsRefusesRfc4733Digits) {
  testing::SippPeer callee("callee_pcma_only.xml");
  session->registerAccount(settings);
  session->placeCall(callee.uri("alaw"));
  EXPECT_EQ(failureOf([&] { session->sendDigits("1"); }),
            "DTMF konnte nicht gesendet werden: die Gegenstelle hat telephone-event nicht angenommen");
  session->hangup();
  EXPECT_EQ(callee.wait(seconds(5)), 0);
}

TEST_F(CallTest, AnswerWithoutCommonCodecEndsTheCall) {
  testing::SippPeer callee("callee_no_common_codec.xml");
  session->registerAccount(settings);
  EXPECT_EQ(failureOf([&] { session->placeCall(callee.uri("g729")); }), "Anruf fehlgeschlagen (SIP 200).");
  EXPECT_FALSE(session->isConnected());
  // The call was answered, so it is ended with a BYE the callee expects.
  EXPECT_EQ(callee.wait(seconds(5)), 0);
}

TEST_F(CallTest, EarlyMediaAnswerConnectsTheAudio) {
  testing::SippPeer callee("callee_early_media.xml");
  session->registerAccount(settings);
  session->placeCall(callee.uri("early"));
  EXPECT_TRUE(session->isConnected());
  session->shutdown();
  EXPECT_EQ(callee.wait(seconds(5)), 0);
}

TEST_F(CallTest, RequestsInsideTheCallAreAnswered) {
  testing::SippPeer callee("callee_in_dialog_requests.xml");
  session->registerAccount(settings);
  session->placeCall(callee.uri("callee"));
  // OPTIONS, re-INVITE and INFO each get their 200, then the BYE.
  EXPECT_EQ(callee.wait(seconds(8)), 0);
  EXPECT_FALSE(session->isConnected());
}

TEST_F(CallTest, RefusedSipInfoFailsTheDigit) {
  testing::SippPeer callee("callee_refuses_info.xml");
  settings.dtmfMethod = DtmfMethod::SipInfo;
  settings.dtmfToneMs = 200;
  session->registerAccount(settings);
  session->placeCall(callee.uri("noinfo"));
  EXPECT_EQ(failureOf([&] { session->sendDigits("1"); }),
            "DTMF konnte nicht gesendet werden: SIP 415 Unsupported Media Type");
  session->hangup();
  EXPECT_EQ(callee.wait(seconds(5)), 0);
}

TEST_F(CallTest, BusyCalleeFailsTheCallWith486) {
  testing::SippPeer callee("callee_busy.xml");
  session->registerAccount(settings);
  EXPECT_EQ(failureOf([&] { session->placeCall(callee.uri("busy")); }), "Anruf fehlgeschlagen (SIP 486).");
  EXPECT_FALSE(session->isConnected());
  EXPECT_EQ(callee.wait(seconds(5)), 0);
  const auto start = steady_clock::now();
  session->shutdown();
  EXPECT_LT(steady_clock::now() - start, seconds(1));
}

TEST_F(CallTest, FarEndHangingUpEndsTheCall) {
  testing::SippPeer callee("callee_hangs_up.xml");
  session->registerAccount(settings);
  session->placeCall(callee.uri("callee"));
  EXPECT_TRUE(session->isConnected());
  EXPECT_EQ(callee.wait(seconds(5)), 0);
  EXPECT_FALSE(session->isConnected());
  const auto start = steady_clock::now();
  EXPECT_FALSE(session->waitSignal(3000).has_value());
  EXPECT_LT(steady_clock::now() - start, milliseconds(100));
  EXPECT_EQ(failureOf([&] { session->sendDigits("1"); }), "DTMF kann ohne aktive Verbindung nicht gesendet werden.");
}

TEST_F(CallTest, Rfc4733DigitsFailOnceTheFarEndHasHungUp) {
  testing::SippPeer callee("callee_hangs_up.xml");
  settings.dtmfToneMs = 100;
  settings.dtmfGapMs = 100;
  session->registerAccount(settings);
  session->placeCall(callee.uri("callee"));
  // The callee's BYE comes 0.8 s after the answer, halfway through 1.9 s of digits.
  const std::string failure = failureOf([&] { session->sendDigits("1234567890"); });
  EXPECT_EQ(failure.rfind("DTMF konnte nicht gesendet werden: ", 0), 0u) << failure;
  EXPECT_FALSE(session->isConnected());
  EXPECT_EQ(callee.wait(seconds(5)), 0);
}

TEST_F(CallTest, InbandTonesLeftUnplayedByAnEndedCallFailAfterTheirTimeLimit) {
  testing::SippPeer callee("callee_hangs_up.xml");
  settings.dtmfMethod = DtmfMethod::Inband;
  settings.dtmfToneMs = 100;
  settings.dtmfGapMs = 100;
  session->registerAccount(settings);
  session->placeCall(callee.uri("callee"));
  // 1.1 s of tones; the callee's BYE 0.8 s after the answer stops the audio.
  const auto start = steady_clock::now();
  EXPECT_EQ(failureOf([&] { session->sendDigits("123456"); }), "Inband-DTMF-Ausgabepuffer wurde nicht abgearbeitet.");
  const auto took = steady_clock::now() - start;
  EXPECT_GE(took, milliseconds(6 * (100 + 100) + 2000));
  EXPECT_LT(took, milliseconds(6 * (100 + 100) + 2000 + 300));
  EXPECT_EQ(callee.wait(seconds(5)), 0);
}

// 2109 Hz, the centre of the QAV's high confirmation tone, as G.711 mu-law:
// half a second of silence and one 120 ms beep. Nothing follows: like a
// phone that sends no RTP while silent, so the silence that ends the tone
// group must come from the session's media clock.
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

TEST_F(CallTest, ToneFromTheFarEndReachesWaitSignalThroughRtp) {
  testing::TemporaryDirectory directory;
  writeConfirmationTone(directory.path() + "/audio.ulaw");
  testing::SippPeer callee("callee_streams_audio.xml", directory.path());
  session->registerAccount(settings);
  session->placeCall(callee.uri("qav"));
  const std::optional<Signal> signal = session->waitSignal(4000);
  ASSERT_TRUE(signal.has_value());
  EXPECT_EQ(*signal, Signal::SingleConfirmation);
  EXPECT_FALSE(session->waitSignal(500).has_value());
  session->hangup();
  EXPECT_EQ(callee.wait(seconds(5)), 0);
}

TEST_F(CallTest, SignalHeardBeforeSendingDigitsIsDiscarded) {
  testing::TemporaryDirectory directory;
  writeConfirmationTone(directory.path() + "/audio.ulaw");
  testing::SippPeer callee("callee_streams_audio.xml", directory.path());
  settings.dtmfToneMs = 40;
  session->registerAccount(settings);
  session->placeCall(callee.uri("qav"));
  // The beep ends 0.62 s into the call and is classified 0.54 s later.
  std::this_thread::sleep_for(milliseconds(1800));
  session->sendDigits("1");
  EXPECT_FALSE(session->waitSignal(300).has_value());
  // Before the callee goes: it answers the BYE.
  session->shutdown();
}

}  // namespace
}  // namespace qav

namespace qav {
namespace {

TEST_F(CallTest, SignalsQueuedBeforeTheFarEndHungUpAreStillReturned) {
  testing::TemporaryDirectory directory;
  writeConfirmationTone(directory.path() + "/audio.ulaw");
  testing::SippPeer callee("callee_streams_then_hangs_up.xml", directory.path());
  session->registerAccount(settings);
  session->placeCall(callee.uri("qav"));
  EXPECT_EQ(callee.wait(seconds(6)), 0);
  EXPECT_FALSE(session->isConnected());
  EXPECT_EQ(session->waitSignal(0), std::optional<Signal>(Signal::SingleConfirmation));
  const auto start = steady_clock::now();
  EXPECT_FALSE(session->waitSignal(2000).has_value());
  EXPECT_LT(steady_clock::now() - start, milliseconds(100));
}

}  // namespace
}  // namespace qav

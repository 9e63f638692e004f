#include <gtest/gtest.h>

#include <chrono>
#include <iostream>

#include "session_settings.h"
#include "sipp_peer.h"
#include "telephony/telephony_session.h"
#include "test_pbx.h"

namespace qav {
namespace {

using namespace std::chrono;
using testing::failureOf;
using testing::pbxAccount;

class RegistrationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { pbx = new testing::TestPbx(); }
  static void TearDownTestSuite() {
    delete pbx;
    pbx = nullptr;
  }
  static testing::TestPbx* pbx;
};

testing::TestPbx* RegistrationTest::pbx = nullptr;

struct TransportCase {
  SipTransport transport;
  const char* name;
};

class RegistrationOverTransport : public RegistrationTest, public ::testing::WithParamInterface<TransportCase> {};

std::uint16_t portFor(const testing::TestPbx& pbx, SipTransport transport) {
  switch (transport) {
    case SipTransport::Tcp: return pbx.tcpPort();
    case SipTransport::Tls: return pbx.tlsPort();
    case SipTransport::Udp: break;
  }
  return pbx.udpPort();
}

TEST_P(RegistrationOverTransport, RegistersWithDigestAndUnregistersOnShutdown) {
  const SipTransport transport = GetParam().transport;
  auto session = createTelephonySession();
  const auto start = steady_clock::now();
  session->registerAccount(pbxAccount(portFor(*pbx, transport), transport));
  std::cout << "registered over " << GetParam().name << " in "
            << duration_cast<microseconds>(steady_clock::now() - start).count() / 1000.0 << " ms\n";
  EXPECT_TRUE(pbx->hasLocation("tester"));
  session->shutdown();
  EXPECT_FALSE(pbx->hasLocation("tester")) << pbx->locations();
}

INSTANTIATE_TEST_SUITE_P(Transports, RegistrationOverTransport,
                         ::testing::Values(TransportCase{SipTransport::Udp, "udp"},
                                           TransportCase{SipTransport::Tcp, "tcp"},
                                           TransportCase{SipTransport::Tls, "tls"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistrationTest, HostNameResolvesThroughTheSystemResolver) {
  SipSettings settings = pbxAccount(pbx->udpPort());
  settings.server = "localhost";
  auto session = createTelephonySession();
  session->registerAccount(settings);
  EXPECT_TRUE(pbx->hasLocation("tester"));
}

TEST_F(RegistrationTest, SeparateAuthenticationUserAndNamedRealm) {
  SipSettings settings = pbxAccount(pbx->udpPort(), SipTransport::Udp, "qav", "peer-secret");
  settings.authUser = "peer";
  settings.realm = "qav.test";
  auto session = createTelephonySession();
  session->registerAccount(settings);
  EXPECT_TRUE(pbx->hasLocation("qav"));
}

TEST_F(RegistrationTest, ThroughAProxyTheServerNeedNotResolve) {
  SipSettings settings = pbxAccount(pbx->udpPort());
  settings.server = "qav.test";
  settings.proxy = "127.0.0.1:" + std::to_string(pbx->udpPort());
  auto session = createTelephonySession();
  session->registerAccount(settings);
  EXPECT_TRUE(pbx->hasLocation("tester"));
}

TEST_F(RegistrationTest, RefusalsAreReportedWithTheirStatus) {
  {
    auto session = createTelephonySession();
    EXPECT_EQ(failureOf([&] { session->registerAccount(pbxAccount(pbx->udpPort(), SipTransport::Udp, "tester", "wrong")); }),
              "SIP-Registrierung fehlgeschlagen (SIP 403).");
  }
  {
    // Credentials for another realm do not answer the challenge.
    SipSettings settings = pbxAccount(pbx->udpPort());
    settings.realm = "elsewhere";
    auto session = createTelephonySession();
    EXPECT_EQ(failureOf([&] { session->registerAccount(settings); }), "SIP-Registrierung fehlgeschlagen (SIP 401).");
  }
  {
    testing::SippPeer registrar("registrar_403.xml");
    auto session = createTelephonySession();
    EXPECT_EQ(failureOf([&] { session->registerAccount(pbxAccount(registrar.port())); }),
              "SIP-Registrierung fehlgeschlagen (SIP 403).");
    EXPECT_EQ(registrar.wait(seconds(5)), 0);
  }
}

TEST_F(RegistrationTest, RefusedConnectionCountsAs503) {
  testing::RefusingTcpPort closed;
  auto session = createTelephonySession();
  EXPECT_EQ(failureOf([&] { session->registerAccount(pbxAccount(closed.port(), SipTransport::Tcp)); }),
            "SIP-Registrierung fehlgeschlagen (SIP 503).");
}

TEST_F(RegistrationTest, ShutdownIsSafeInEveryState) {
  {
    auto session = createTelephonySession();
    session->hangup();
    session->shutdown();
    session->shutdown();
  }
  {
    auto session = createTelephonySession();
    EXPECT_THROW(session->registerAccount(pbxAccount(pbx->udpPort(), SipTransport::Udp, "tester", "wrong")),
                 std::runtime_error);
    const auto start = steady_clock::now();
    session->shutdown();
    EXPECT_LT(steady_clock::now() - start, seconds(2));
    session->hangup();
  }
  {
    auto session = createTelephonySession();
    session->registerAccount(pbxAccount(pbx->udpPort()));
    session->hangup();
    EXPECT_FALSE(session->isConnected());
    session->shutdown();
    session->shutdown();
    EXPECT_FALSE(pbx->hasLocation("tester"));
  }
}

// The PBX's certificate is signed by a test CA of its own. Unverified (the
// default, RegistrationOverTransport) that does not matter; with
// sip-tls-verify the registration succeeds against that CA and fails
// against another one.
TEST_F(RegistrationTest, TlsVerificationTrustsOnlyTheGivenCa) {
  SipSettings settings = pbxAccount(pbx->tlsPort(), SipTransport::Tls);
  settings.tlsVerify = true;
  settings.tlsCaFile = pbx->caFile();
  {
    auto session = createTelephonySession();
    session->registerAccount(settings);
    EXPECT_TRUE(pbx->hasLocation("tester"));
    session->shutdown();
  }
  const testing::TemporaryDirectory other;
  settings.tlsCaFile = other.path() + "/ca.pem";
  testing::runCommand("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -keyout " +
                      other.path() + "/key.pem -out " + settings.tlsCaFile + " -subj /CN=127.0.0.1 2>/dev/null");
  auto session = createTelephonySession();
  EXPECT_EQ(failureOf([&] { session->registerAccount(settings); }), "SIP-Registrierung fehlgeschlagen (SIP 503).");
  EXPECT_FALSE(pbx->hasLocation("tester")) << pbx->locations();
}

TEST_F(RegistrationTest, WaitSignalWithoutCallWaitsOutItsLimit) {
  auto session = createTelephonySession();
  EXPECT_FALSE(session->waitSignal(0).has_value());
  const auto start = steady_clock::now();
  EXPECT_FALSE(session->waitSignal(150).has_value());
  EXPECT_GE(steady_clock::now() - start, milliseconds(150));
}

}  // namespace
}  // namespace qav

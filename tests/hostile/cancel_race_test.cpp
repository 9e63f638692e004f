// A 200 that crosses qav-cli's CANCEL (at the 60 s set-up limit or after a
// signal) must be acknowledged and the call it opened ended with BYE.
#include <gtest/gtest.h>
#include <signal.h>

#include "callee_call.h"
#include "run_checks.h"
#include "scripted_peer.h"

namespace qav::hostile {
namespace {

using namespace std::chrono_literals;

TEST(CancelRace, AnAnswerCrossingTheCancelAtTheSetUpLimitIsAcknowledgedAndHungUp) {
  const testing::TestPbx pbx;
  const CalleeCall call = callThroughPbx(pbx, "callee_answers_the_cancel.xml", 120s);
  expectFailure(call.run, "Zeitüberschreitung beim Anrufaufbau.", 60s + 10s);
  EXPECT_GE(call.run.took(), 59s);
  EXPECT_FALSE(hasEvent(call.run, "success", "call"));
  EXPECT_EQ(call.calleeStatus, 0) << "no ACK and BYE for the late answer\n" << call.calleeMessages;
  EXPECT_FALSE(call.registrationLeft) << pbx.locations();
}

// A run that SIGTERM ends while the callee rings. The interrupt marks the
// call as ended at once; the CANCEL, the crossing answer's ACK and BYE and
// the unregistration must still go out in order.
void expectSignalledCallHungUp(const testing::TestPbx& pbx, const std::vector<std::string>& transport) {
  const auto started = Clock::now();
  bool sent = false;
  const CalleeCall call = callThroughPbx(
      pbx, "callee_answers_the_cancel.xml", 30s,
      [&](pid_t pid) {
        // Registration and the INVITE take milliseconds on loopback; the
        // callee rings from then on.
        if (!sent && Clock::now() - started > 2s) {
          kill(pid, SIGTERM);
          sent = true;
        }
      },
      transport);
  EXPECT_TRUE(sent);
  EXPECT_FALSE(hasEvent(call.run, "success", "call"));
  EXPECT_EQ(call.run.status, 3);
  EXPECT_EQ(call.calleeStatus, 0) << "no ACK and BYE for the late answer\n" << call.calleeMessages;
  EXPECT_FALSE(call.registrationLeft) << pbx.locations();
}

TEST(CancelRace, AnAnswerCrossingTheCancelAfterASignalIsAcknowledgedAndHungUp) {
  const testing::TestPbx pbx;
  expectSignalledCallHungUp(pbx, {});
}

// The proxy records two routes when it changes the transport towards the
// callee; the ACK and BYE must take both.
TEST(CancelRace, AnAnswerCrossingTheCancelIsHungUpOverTcpAndTls) {
  const testing::TestPbx pbx;
  for (const auto& [name, port] : {std::pair{"tcp", pbx.tcpPort()}, std::pair{"tls", pbx.tlsPort()}}) {
    SCOPED_TRACE(name);
    expectSignalledCallHungUp(pbx, {"--sip-port", std::to_string(port), "--sip-transport", name});
  }
}

// Without a proxy's 100 Trying the INVITE may have no provisional answer
// when the signal comes. A CANCEL must wait for one (and libre 3.12 and
// later would drop the INVITE's transaction instead); the 200 that comes
// instead must still be acknowledged and the call ended with BYE.
TEST(CancelRace, AnAnswerAfterACancelBeforeAnyProvisionalAnswerIsAcknowledgedAndHungUp) {
  ScriptedPeer peer("registrar_callee_answers_without_ringing.xml", 2);
  const auto started = Clock::now();
  bool sent = false;
  const ProcessRun run = runCli({accountArguments(peer.port(), "callee"), {}, 30s, "", [&](pid_t pid) {
                               if (!sent && Clock::now() - started > 2s) {
                                 kill(pid, SIGTERM);
                                 sent = true;
                               }
                             }});
  EXPECT_TRUE(sent);
  EXPECT_FALSE(hasEvent(run, "success", "call"));
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(peer.wait(10s), 0) << "no ACK and BYE for the late answer\n" << peer.messages();
}

}  // namespace
}  // namespace qav::hostile

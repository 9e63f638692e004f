// qav-cli calling a sipp callee through the test PBX that answers in ways
// that leave no usable audio, or usable audio in odd ways, or changes the
// call with re-INVITEs: each run ends with its own error line, the callee
// sees the call ended properly, and no registration is left.
#include <gtest/gtest.h>

#include "callee_call.h"
#include "run_checks.h"

namespace qav::hostile {
namespace {

using namespace std::chrono_literals;

class CallAnswers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { pbx = new testing::TestPbx(); }
  static void TearDownTestSuite() {
    delete pbx;
    pbx = nullptr;
  }

  // The callee's scenario ends the call; qav-cli ends with message.
  void expectEndedCall(const std::string& scenario, const std::string& message, bool connected) {
    SCOPED_TRACE(scenario);
    const CalleeCall call = callThroughPbx(*pbx, scenario, 60s);
    expectFailure(call.run, message, 10s);
    EXPECT_TRUE(hasEvent(call.run, "success", "sip"));
    EXPECT_EQ(hasEvent(call.run, "success", "call"), connected);
    EXPECT_EQ(call.calleeStatus, 0) << call.calleeMessages;
    EXPECT_FALSE(call.registrationLeft) << pbx->locations();
  }

  static testing::TestPbx* pbx;
};

testing::TestPbx* CallAnswers::pbx = nullptr;

// Answered, but without audio qav-cli can use: it acknowledges the 200,
// ends the call with BYE and reports the answer's status.
TEST_F(CallAnswers, AnswersWithoutUsableAudioAreAcknowledgedAndHungUp) {
  for (const char* scenario : {"callee_ok_without_sdp.xml", "callee_ok_without_audio.xml",
                               "callee_ok_unknown_codecs.xml", "callee_ok_port_zero.xml",
                               "callee_ok_malformed_sdp.xml", "callee_ok_null_address.xml",
                               "callee_ok_without_connection.xml", "callee_ok_port_out_of_range.xml",
                               "callee_ok_ipv6_media.xml"}) {
    expectEndedCall(scenario, "Anruf fehlgeschlagen (SIP 200).", false);
  }
}

// The audio is usable: from the 183 when the 200 has none, from the 200
// when the 183's was not, and from the datagram when Content-Length falls
// short. The call connects and the callee's hang-up ends the wait for the
// device.
TEST_F(CallAnswers, AnswersThatStillCarryAudioConnect) {
  for (const char* scenario : {"callee_early_answer_then_ok_without_sdp.xml", "callee_unusable_early_answer_then_ok.xml",
                               "callee_ok_content_length_short.xml"}) {
    expectEndedCall(scenario, "Anruf wurde vor dem QAV-Startsignal beendet.", true);
  }
}

TEST_F(CallAnswers, ReinvitesWhileWaitingForTheDeviceKeepTheCall) {
  expectEndedCall("callee_reinvites.xml", "Anruf wurde vor dem QAV-Startsignal beendet.", true);
}

// The 200 to a re-INVITE without an offer must carry an offer of its own;
// answering the empty offer ("m=audio 0") would disable the only stream.
TEST_F(CallAnswers, ReinviteWithoutAnOfferIsAnsweredWithTheAudioOffered) {
  expectEndedCall("callee_reinvite_without_offer.xml", "Anruf wurde vor dem QAV-Startsignal beendet.", true);
}

}  // namespace
}  // namespace qav::hostile

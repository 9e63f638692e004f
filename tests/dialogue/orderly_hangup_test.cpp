#include "dialogue_fixture.h"

namespace qav {
namespace {

using S = Signal;

const Event kSending{"pending", "hangup", "Sende 0 und warte darauf, dass das QAV auflegt …"};
const Event kHungUp{"success", "hangup", "QAV hat die Verbindung beendet"};

class OrderlyHangupTest : public DialogueTest {
 protected:
  void hangUpAfter(std::vector<FarEnd> script) {
    session.connected = true;
    session.onDigits("0", std::move(script));
    programmer.orderlyHangup();
  }
};

TEST_F(OrderlyHangupTest, CallAlreadyEndedSendsNothing) {
  programmer.orderlyHangup();
  EXPECT_TRUE(session.sent.empty());
  EXPECT_EQ(events(), (std::vector<Event>{
                          {"success", "hangup", "QAV hat die Verbindung bereits beendet"}}));
}

TEST_F(OrderlyHangupTest, QavEndsTheCallOrAnnouncesItWithTheDisconnectSequence) {
  hangUpAfter({hangUp(3000)});
  EXPECT_EQ(session.sent, std::vector<std::string>{"0"});
  EXPECT_EQ(events(), (std::vector<Event>{kSending, kHungUp}));
  EXPECT_EQ(clock.elapsedMs(), 3000);

  hangUpAfter({tone(S::SingleConfirmation, 200), tone(S::AlternatingDisconnect, 1500)});
  EXPECT_TRUE(session.connected);
  EXPECT_EQ(events().back(), kHungUp);
  EXPECT_EQ(clock.elapsedMs(), 3000 + 200 + 1500);
}

// Eight passes, not a deadline: ignored tones end their pass early.
TEST_F(OrderlyHangupTest, QavStayingOnTheLineIsLeftToTheLocalHangup) {
  hangUpAfter({tone(S::SingleConfirmation, 100), tone(S::ParameterError, 100)});
  EXPECT_EQ(events(),
            (std::vector<Event>{kSending,
                                {"info", "hangup",
                                 "QAV hat nicht innerhalb von 8 Sekunden aufgelegt; "
                                 "SIP-Verbindung wird lokal beendet"}}));
  EXPECT_EQ(session.waits, std::vector<std::int64_t>(8, 1000));
  EXPECT_EQ(clock.elapsedMs(), 200 + 6 * 1000);
  EXPECT_FALSE(session.hungUp);
}

TEST_F(OrderlyHangupTest, FailedZeroIsAnErrorOnlyWhileTheCallIsUp) {
  hangUpAfter({dropOnSend()});
  EXPECT_EQ(events(), (std::vector<Event>{kSending, kHungUp}));

  EXPECT_EQ(repeatableFailureOf([&] { hangUpAfter({sendFails()}); }),
            "DTMF konnte nicht gesendet werden: Zeitüberschreitung");
}

}  // namespace
}  // namespace qav

#include "dialogue_fixture.h"

namespace qav {
namespace {

using S = Signal;

class AwaitResponseTest : public DialogueTest {
 protected:
  // The tones the QAV gives after the segment's digits.
  void answer(std::vector<FarEnd> script) {
    session.connected = true;
    session.onDigits("1", std::move(script));
    session.sendDigits("1");
  }
};

TEST_F(AwaitResponseTest, TwoSinglesCompleteAnExpectedDouble) {
  answer({tone(S::SingleConfirmation), tone(S::SingleConfirmation, 1900)});
  EXPECT_EQ(programmer.awaitResponse(S::DoubleConfirmation, 10000), S::DoubleConfirmation);
  EXPECT_EQ(session.waits, (std::vector<std::int64_t>{10000, 2000}));
  EXPECT_EQ(clock.sleeps, std::vector<std::int64_t>{500});
}

TEST_F(AwaitResponseTest, LoneSingleForExpectedDoubleFailsAfterTheShortSecondWait) {
  answer({tone(S::SingleConfirmation), tone(S::SingleConfirmation, 2100)});
  EXPECT_EQ(repeatableFailureOf([&] { programmer.awaitResponse(S::DoubleConfirmation, 10000); }),
            "Erwartet: doppelter Bestätigungston; erkannt: einfacher Bestätigungston.");
  EXPECT_EQ(clock.elapsedMs(), 300 + 2000 + 500);

  answer({tone(S::SingleConfirmation, 100)});
  repeatableFailureOf([&] { programmer.awaitResponse(S::DoubleConfirmation, 1500); });
  EXPECT_EQ(session.waits.back(), 1500);
}

TEST_F(AwaitResponseTest, SecondToneOtherThanConfirmationIsJudgedItself) {
  answer({tone(S::SingleConfirmation), tone(S::ParameterError)});
  EXPECT_EQ(repeatableFailureOf([&] { programmer.awaitResponse(S::DoubleConfirmation, 10000); }),
            "Das QAV meldet einen ungültigen Parameter.");

  answer({tone(S::SingleConfirmation), tone(S::AlternatingDisconnect)});
  EXPECT_EQ(connectionEndedBy([&] { programmer.awaitResponse(S::DoubleConfirmation, 10000); }),
            "Das QAV hat die Verbindung beendet.");
}

TEST_F(AwaitResponseTest, OnlyAnExpectedDoubleReadsASecondTone) {
  answer({tone(S::DoubleConfirmation), tone(S::SingleConfirmation)});
  EXPECT_EQ(repeatableFailureOf([&] { programmer.awaitResponse(S::SingleConfirmation, 10000); }),
            "Erwartet: einfacher Bestätigungston; erkannt: doppelter Bestätigungston.");
  EXPECT_EQ(session.waits.size(), 1u);
}

// A time-out is judged at once; a received answer only after the settle delay.
TEST_F(AwaitResponseTest, SettleDelayFollowsReceivedAnswersOnly) {
  answer({});
  EXPECT_EQ(repeatableFailureOf([&] { programmer.awaitResponse(S::SingleConfirmation, 7000); }),
            "Keine QAV-Rückmeldung innerhalb des Zeitlimits erkannt.");
  EXPECT_EQ(clock.elapsedMs(), 7000);
  EXPECT_TRUE(clock.sleeps.empty());

  answer({tone(S::ParameterError)});
  repeatableFailureOf([&] { programmer.awaitResponse(S::SingleConfirmation, 7000); });
  EXPECT_EQ(clock.sleeps, std::vector<std::int64_t>{500});

  settings.device.settleMs = 0;
  answer({tone(S::SingleConfirmation)});
  EXPECT_EQ(programmer.awaitResponse(S::SingleConfirmation, 7000), S::SingleConfirmation);
  EXPECT_EQ(clock.sleeps.size(), 1u);
}

}  // namespace
}  // namespace qav

#include <chrono>

#include "../plan/plan_test_support.h"
#include "dialogue_fixture.h"
#include "plan/plan_builder.h"

namespace qav {
namespace {

using S = Signal;

class DialogueRunnerTest : public DialogueTest {
 protected:
  void SetUp() override {
    settings.sip.user = "programmer";
    settings.device.target = "0301234";
    settings.device.actions = {};
    session.onDigits("0", {tone(S::AlternatingDisconnect)});
  }
  void acceptPin() { session.onDigits(settings.device.pin, {tone(S::SingleConfirmation)}); }
};

TEST_F(DialogueRunnerTest, SingleDeviceWithoutActionsGoesFromPinStraightToHangup) {
  session.greet({tone(S::SingleConfirmation, 1200)});
  acceptPin();

  programmer.run();

  EXPECT_EQ(events(), (std::vector<Event>{
                          {"pending", "sip", "Melde SIP-Account am Server an …"},
                          {"success", "sip", "SIP-Account registriert"},
                          {"pending", "call", "Wähle 0301234 …"},
                          {"success", "call", "SIP-Verbindung hergestellt"},
                          {"pending", "qav", "Warte auf QAV-Startsignal …"},
                          {"success", "qav", "QAV im Einzelgerätebetrieb erkannt"},
                          {"pending", "auth", "Sende Authentifizierung … (Versuch 1/3)"},
                          {"success", "auth", "Authentifizierung akzeptiert"},
                          {"pending", "hangup", "Sende 0 und warte darauf, dass das QAV auflegt …"},
                          {"success", "hangup", "QAV hat die Verbindung beendet"},
                          {"success", "complete", "Programmierung abgeschlossen"},
                      }));
  EXPECT_EQ(session.registeredUser, "programmer");
  EXPECT_EQ(session.dialled, "0301234");
  EXPECT_EQ(session.sent, (std::vector<std::string>{"5831", "0"}));
  EXPECT_EQ(clock.sleeps, (std::vector<std::int64_t>{500, 500}));
  EXPECT_FALSE(session.hungUp);
}

TEST_F(DialogueRunnerTest, PlanIsBuiltForTheMomentAfterAuthenticationAndRunInOrder) {
  settings.device.actions = {"clock", "routine"};
  settings.device.routineAt = "auto";
  settings.device.settleMs = 0;
  clock.systemTime = std::chrono::system_clock::time_point(std::chrono::hours(24 * 20000 + 7));
  const CommandPlan plan = buildCommandPlan(settings.device, clock.systemTime);
  ASSERT_FALSE(plan.empty());
  session.greet({tone(S::SingleConfirmation)});
  acceptPin();
  std::vector<std::string> expectedSent{"5831"};
  for (const PlanAction& action : plan)
    for (const PlanSegment& segment : action.segments) {
      session.onDigits(segment.digits, {tone(segment.expected)});
      expectedSent.push_back(segment.digits);
    }
  expectedSent.push_back("0");

  programmer.run();

  EXPECT_EQ(session.sent, expectedSent);
  EXPECT_TRUE(clock.sleeps.empty());
  EXPECT_EQ(eventsAt("retry"), std::vector<Event>{});
}

// The first attempt goes unanswered just before midnight; its repetition
// after the time limit must carry the new minute and the new day.
TEST_F(DialogueRunnerTest, RepeatedClockSendsTheTimeOfTheRepetition) {
  const ScopedTimeZone utc("UTC");
  settings.device.actions = {"clock"};
  settings.device.settleMs = 0;
  clock.systemTime = utcTime(2026, 12, 7, 23, 59, 50);
  session.greet({tone(S::SingleConfirmation)});
  acceptPin();
  session.onDigits("#*20", {tone(S::SingleConfirmation)});
  session.onDigits("2359", {silence()});
  session.onDigits("#*20", {tone(S::SingleConfirmation)});
  session.onDigits("0000", {tone(S::SingleConfirmation)});
  session.onDigits("08122026", {tone(S::DoubleConfirmation)});

  programmer.run();

  EXPECT_EQ(session.sent, (std::vector<std::string>{"5831", "#*20", "2359", "#*20", "0000",
                                                    "08122026", "0"}));
}

TEST_F(DialogueRunnerTest, NonStartTonesAreReportedAndWaitedPast) {
  session.greet({tone(S::DoubleConfirmation), tone(S::ParameterError, 2500),
                 tone(S::SingleConfirmation, 900)});
  acceptPin();

  programmer.run();

  EXPECT_EQ(eventsAt("info"),
            (std::vector<Event>{
                {"info", "tone", "Nicht als QAV-Startsignal gewertet: doppelter Bestätigungston"},
                {"info", "tone", "Nicht als QAV-Startsignal gewertet: Parameter-Fehlerton"}}));
  EXPECT_EQ(events().at(7), (Event{"success", "qav", "QAV im Einzelgerätebetrieb erkannt"}));
}

TEST_F(DialogueRunnerTest, StartSignalWaitEndsWithTheCallOrTheDisconnectSequence) {
  session.greet({hangUp(2500)});
  EXPECT_EQ(connectionEndedBy([&] { programmer.run(); }),
            "Anruf wurde vor dem QAV-Startsignal beendet.");
  EXPECT_EQ(clock.elapsedMs(), 2500);

  session.greet({tone(S::AlternatingDisconnect)});
  EXPECT_EQ(connectionEndedBy([&] { programmer.run(); }),
            "QAV/Telefonnetz hat die Verbindung beendet.");
  EXPECT_TRUE(session.sent.empty());
}

// The deadline is looked at between polls only: a tone in the poll that began
// before it still counts.
TEST_F(DialogueRunnerTest, StartSignalDeadlineIsTenSecondsBetweenPolls) {
  EXPECT_EQ(repeatableFailureOf([&] { programmer.run(); }),
            "Kein QAV-Startsignal innerhalb des Zeitlimits erkannt.");
  EXPECT_EQ(session.waits, std::vector<std::int64_t>(5, 2000));

  session.greet({tone(S::DoubleConfirmation, 9000), tone(S::SingleConfirmation, 1500)});
  acceptPin();
  const std::int64_t start = clock.elapsedMs();
  programmer.run();
  EXPECT_EQ(session.sent.front(), "5831");
  EXPECT_EQ(clock.sleeps.front(), 500);
  EXPECT_GE(clock.elapsedMs() - start, 10500);
}

TEST_F(DialogueRunnerTest, MultiDevicePromptSelectsTheConfiguredCabin) {
  settings.device.cabin = 3;
  session.greet({tone(S::MultiDevicePrompt)});
  session.onDigits("3", {tone(S::DoubleConfirmation)});
  session.onDigits("3", {tone(S::SingleConfirmation)});
  acceptPin();

  programmer.run();

  EXPECT_EQ(session.sent, (std::vector<std::string>{"3", "3", "5831", "0"}));
  const std::vector<Event> all = events();
  EXPECT_EQ(std::vector<Event>(all.begin() + 5, all.begin() + 9),
            (std::vector<Event>{
                {"pending", "qav", "Mehrgerätebetrieb erkannt; wähle Kabine 3 (Versuch 1/3)"},
                {"retry", "qav",
                 "Unerwartete Rückmeldung: doppelter Bestätigungston Sequenz wird wiederholt."},
                {"pending", "qav", "Mehrgerätebetrieb erkannt; wähle Kabine 3 (Versuch 2/3)"},
                {"success", "qav", "QAV im Mehrgerätebetrieb, Kabine bestätigt"}}));
}

TEST_F(DialogueRunnerTest, CabinNotMatchingTheDeviceModeFailsBeforeAnythingIsSent) {
  struct Case {
    Signal startSignal;
    std::uint32_t cabin;
    const char* message;
  };
  const char* needCabin = "Mehrgerätebetrieb erkannt; aktuelle Kabinennummer 1 bis 9 erforderlich.";
  for (const Case c : {Case{S::MultiDevicePrompt, 0, needCabin},
                       Case{S::MultiDevicePrompt, 10, needCabin},
                       Case{S::SingleConfirmation, 2,
                            "Einzelgerätebetrieb erkannt; aktuelle Kabinennummer muss 0 sein."}}) {
    settings.device.cabin = c.cabin;
    session.greet({tone(c.startSignal)});
    EXPECT_EQ(repeatableFailureOf([&] { programmer.run(); }), c.message) << c.cabin;
    EXPECT_TRUE(session.sent.empty());
  }
}

}  // namespace
}  // namespace qav

#include <algorithm>

#include "dialogue_fixture.h"

namespace qav {
namespace {

using S = Signal;

PlanAction clockAction() {
  return {"clock",
          "Uhrzeit und Datum",
          {{"#*20", S::SingleConfirmation, "Einstellung initialisieren", 10000},
           {"1234", S::DoubleConfirmation, "Uhrzeit senden", 10000}}};
}

PlanAction fourSegmentAction() {
  return {"routine",
          "Routineruf",
          {{"#*30", S::SingleConfirmation, "a", 10000},
           {"11", S::SingleConfirmation, "b", 10000},
           {"22", S::SingleConfirmation, "c", 10000},
           {"33", S::DoubleConfirmation, "d", 10000}}};
}

using CommandStepsTest = DialogueTest;

TEST_F(CommandStepsTest, ActionFailingOnceInItsSecondSegmentIsRepeatedWhole) {
  session.connected = true;
  session.onDigits("#*20", {tone(S::SingleConfirmation)});
  session.onDigits("1234", {tone(S::ParameterError)});
  session.onDigits("#*20", {tone(S::SingleConfirmation)});
  session.onDigits("1234", {tone(S::DoubleConfirmation)});

  programmer.runAction(clockAction());

  EXPECT_EQ(events(),
            (std::vector<Event>{
                {"pending", "clock", "Uhrzeit und Datum konfigurieren …"},
                {"pending", "clock", "  ├─ Einstellung initialisieren (Versuch 1/3)"},
                {"pending", "clock", "  └─ Uhrzeit senden (Versuch 1/3)"},
                {"retry", "clock",
                 "Das QAV meldet einen ungültigen Parameter. Gesamte Befehlssequenz wird "
                 "wiederholt."},
                {"pending", "clock", "  ├─ Einstellung initialisieren (Versuch 2/3)"},
                {"pending", "clock", "  └─ Uhrzeit senden (Versuch 2/3)"},
                {"success", "clock", "Uhrzeit und Datum erfolgreich konfiguriert"},
            }));
  EXPECT_EQ(session.sent, (std::vector<std::string>{"#*20", "1234", "#*20", "1234"}));
  EXPECT_EQ(clock.sleeps, (std::vector<std::int64_t>{500, 500, 700, 500, 500}));
}

TEST_F(CommandStepsTest, FailureInThirdOfFourSegmentsRestartsFromTheFirst) {
  session.connected = true;
  for (const char* digits : {"#*30", "11", "#*30", "11"})
    session.onDigits(digits, {tone(S::SingleConfirmation)});
  session.onDigits("22", {tone(S::DoubleConfirmation)});
  session.onDigits("22", {tone(S::SingleConfirmation)});
  session.onDigits("33", {tone(S::DoubleConfirmation)});

  programmer.runAction(fourSegmentAction());

  EXPECT_EQ(session.sent,
            (std::vector<std::string>{"#*30", "11", "22", "#*30", "11", "22", "33"}));
  const auto all = events();
  EXPECT_EQ(std::count(all.begin(), all.end(),
                       Event{"pending", "routine", "Routineruf konfigurieren …"}),
            1);
  EXPECT_EQ(eventsAt("retry").at(0).message,
            "Erwartet: einfacher Bestätigungston; erkannt: doppelter Bestätigungston. Gesamte "
            "Befehlssequenz wird wiederholt.");
}

TEST_F(CommandStepsTest, NoRetriesMeansOneAttemptAndZeroRepetitionsInTheMessage) {
  settings.device.retries = 0;
  session.connected = true;

  EXPECT_EQ(repeatableFailureOf([&] { programmer.runAction(clockAction()); }),
            "Uhrzeit und Datum nach 0 Wiederholungen fehlgeschlagen: Keine QAV-Rückmeldung "
            "innerhalb des Zeitlimits erkannt.");
  EXPECT_EQ(repeatableFailureOf([&] {
              programmer.runExchange("auth", "5831", {S::SingleConfirmation}, "PIN", "ok");
            }),
            "Nach 0 Wiederholungen fehlgeschlagen: Keine QAV-Rückmeldung erkannt.");

  EXPECT_TRUE(eventsAt("retry").empty());
  EXPECT_TRUE(clock.sleeps.empty());
  EXPECT_EQ(eventsAt("pending").at(1).message, "  ├─ Einstellung initialisieren (Versuch 1/1)");
  EXPECT_EQ(eventsAt("pending").at(2).message, "PIN (Versuch 1/1)");
}

TEST_F(CommandStepsTest, ExchangeWithoutAnyAnswerGivesUpAfterAllAttempts) {
  session.connected = true;

  EXPECT_EQ(repeatableFailureOf([&] {
              programmer.runExchange("auth", "5831", {S::SingleConfirmation},
                                     "Sende Authentifizierung …", "ok");
            }),
            "Nach 2 Wiederholungen fehlgeschlagen: Keine QAV-Rückmeldung erkannt.");

  const Event retry{"retry", "auth", "Keine QAV-Rückmeldung erkannt. Sequenz wird wiederholt."};
  EXPECT_EQ(events(), (std::vector<Event>{
                          {"pending", "auth", "Sende Authentifizierung … (Versuch 1/3)"},
                          retry,
                          {"pending", "auth", "Sende Authentifizierung … (Versuch 2/3)"},
                          retry,
                          {"pending", "auth", "Sende Authentifizierung … (Versuch 3/3)"},
                      }));
  EXPECT_EQ(session.waits, (std::vector<std::int64_t>{10000, 10000, 10000}));
  EXPECT_EQ(clock.elapsedMs(), 3 * 10000 + 2 * 700);
}

TEST_F(CommandStepsTest, RejectedOrUnexpectedPinIsSentAgain) {
  session.connected = true;
  session.onDigits("5831", {tone(S::ParameterError)});
  session.onDigits("5831", {tone(S::MultiDevicePrompt)});
  session.onDigits("5831", {tone(S::DoubleConfirmation)});

  programmer.runExchange("auth", "5831", {S::SingleConfirmation, S::DoubleConfirmation},
                         "Sende Authentifizierung …", "Authentifizierung akzeptiert");

  EXPECT_EQ(session.sent, (std::vector<std::string>{"5831", "5831", "5831"}));
  EXPECT_EQ(eventsAt("retry"),
            (std::vector<Event>{
                {"retry", "auth", "Ungültige Eingabe laut QAV. Sequenz wird wiederholt."},
                {"retry", "auth",
                 "Unerwartete Rückmeldung: Mehrgeräte-Nachwahlaufforderung Sequenz wird "
                 "wiederholt."},
            }));
  EXPECT_EQ(events().back(), (Event{"success", "auth", "Authentifizierung akzeptiert"}));
}

TEST_F(CommandStepsTest, DisconnectSequenceEndsAtOnceDespiteAttemptsLeft) {
  session.connected = true;
  session.onDigits("1234", {tone(S::AlternatingDisconnect)});
  session.onDigits("5831", {tone(S::AlternatingDisconnect)});
  PlanAction action = clockAction();
  action.segments.erase(action.segments.begin());

  EXPECT_EQ(connectionEndedBy([&] { programmer.runAction(action); }),
            "Das QAV hat die Verbindung beendet.");
  EXPECT_EQ(connectionEndedBy([&] {
              programmer.runExchange("auth", "5831", {S::SingleConfirmation}, "PIN", "ok");
            }),
            "Das QAV hat die Verbindung beendet.");
  EXPECT_EQ(session.sent, (std::vector<std::string>{"1234", "5831"}));
  EXPECT_TRUE(eventsAt("retry").empty());
  EXPECT_EQ(eventsAt("pending").at(1).message, "  └─ Uhrzeit senden (Versuch 1/3)");
}

// A failed send on a live line is repeated; any failure on a dead line ends
// the run, however it showed itself.
TEST_F(CommandStepsTest, FailuresRepeatOnlyWhileTheCallIsUp) {
  session.connected = true;
  session.onDigits("#*20", {sendFails()});
  session.onDigits("#*20", {tone(S::SingleConfirmation)});
  session.onDigits("1234", {hangUp(400)});

  EXPECT_EQ(connectionEndedBy([&] { programmer.runAction(clockAction()); }),
            "SIP-Verbindung wurde beendet.");
  EXPECT_EQ(eventsAt("retry"),
            (std::vector<Event>{{"retry", "clock",
                                 "DTMF konnte nicht gesendet werden: Zeitüberschreitung Gesamte "
                                 "Befehlssequenz wird wiederholt."}}));
  EXPECT_EQ(session.sent, (std::vector<std::string>{"#*20", "1234"}));

  session.connected = true;
  session.onDigits("5831", {dropOnSend()});
  EXPECT_EQ(connectionEndedBy([&] {
              programmer.runExchange("auth", "5831", {S::SingleConfirmation}, "PIN", "ok");
            }),
            "SIP-Verbindung wurde beendet.");
}

}  // namespace
}  // namespace qav

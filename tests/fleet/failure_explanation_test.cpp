#include <gtest/gtest.h>

#include "fleet/lift_call.h"
#include "fleet_test_support.h"
#include "programming_call.h"
#include "settings/setting_values.h"
#include "sipp_peer.h"
#include "temporary_directory.h"
#include "test_pbx.h"

// Real failures of qav-cli, each classified by the one table of
// explanations: whether another call may help, and what to tell the
// technician.

namespace qav::testing {
namespace {

using fleet::AttemptRecord;
using fleet::LiftCall;
using fleet::LiftOutcome;

AttemptRecord callOnce(const SettingMap& values) {
  Settings settings;
  applySettingMap(settings, values);
  LiftCall call(cliProgram(), settings);
  return call.finish([](const menu::CliEvent&) {});
}

TEST(FailureExplanation, RealFailuresOfQavCliGetTheirOutcomeAndExplanation) {
  TestPbx pbx;
  TemporaryDirectory directory;
  Process device(deviceCommand(pbx.udpPort(), directory.path("state.json"), "qav01"));
  ASSERT_TRUE(device.waitFor("registered", std::chrono::seconds(10)));
  SippOptions busyOptions;
  busyOptions.workingDirectory = directory.path();
  SippPeer busy("callee_busy.xml", busyOptions);

  struct Case {
    const char* what;
    SettingMap values;
    LiftOutcome outcome;
    const char* explanation;
    const char* errorLine;
  };
  const Case cases[] = {
      {"programmed", {{"target", "qav01"}}, LiftOutcome::Done, "erledigt", ""},
      {"wrong password",
       {{"target", "qav01"}, {"sip-password", "wrong"}},
       LiftOutcome::GiveUp,
       "Benutzername oder Passwort falsch",
       "SIP-Registrierung fehlgeschlagen (SIP 403)."},
      {"nobody registered", {{"target", "nobody"}}, LiftOutcome::GiveUp, "Nummer nicht erreichbar",
       "Anruf fehlgeschlagen (SIP 404)."},
      {"busy", {{"target", busy.uri("busy")}}, LiftOutcome::RetryLater, "Besetzt",
       "Anruf fehlgeschlagen (SIP 486)."},
      {"wrong PIN",
       {{"target", "qav01"}, {"pin", "1111"}, {"retries", "0"}},
       LiftOutcome::GiveUp,
       "PIN prüfen",
       "Nach 0 Wiederholungen fehlgeschlagen: Ungültige Eingabe laut QAV."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const AttemptRecord attempt = callOnce(liftValues(pbx.udpPort(), "tester", c.values));
    EXPECT_EQ(attempt.outcome, c.outcome);
    EXPECT_EQ(attempt.explanation, c.explanation);
    EXPECT_EQ(attempt.errorLine, c.errorLine);
    EXPECT_EQ(attempt.exitStatus, c.outcome == LiftOutcome::Done ? 0 : 3);
    if (c.outcome == LiftOutcome::Done) {
      // The clock action's segments, as the device confirmed them.
      ASSERT_EQ(attempt.sent.size(), 3u);
      EXPECT_TRUE(attempt.sent[1].starts_with("Parameter Uhrzeit")) << attempt.sent[1];
      EXPECT_TRUE(attempt.sent[2].starts_with("Parameter Datum")) << attempt.sent[2];
    } else {
      EXPECT_TRUE(attempt.sent.empty());
    }
  }
}

// Invalid settings end qav-cli with status 2 before any call: given up.
TEST(FailureExplanation, InvalidSettingsAreGivenUp) {
  const AttemptRecord attempt = callOnce({{"target", "qav01"}, {"sip-server", "127.0.0.1"}});
  EXPECT_EQ(attempt.exitStatus, 2);
  EXPECT_EQ(attempt.outcome, LiftOutcome::GiveUp);
  EXPECT_EQ(attempt.explanation, "Einstellungen ungültig");
}

}  // namespace
}  // namespace qav::testing

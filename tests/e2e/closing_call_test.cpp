#include <filesystem>
#include "call_fixture.h"

// The end of a successful call when the device does not hang up by itself
// after the closing "0": qav-cli ends the call locally and still succeeds.

namespace qav::e2e {
namespace {

using namespace std::chrono_literals;

const Event kHungUp{"success", "hangup", "QAV hat die Verbindung beendet"};
const Event kNotHungUp{"info", "hangup",
                       "QAV hat nicht innerhalb von 8 Sekunden aufgelegt; SIP-Verbindung wird lokal beendet"};
const Event kComplete{"success", "complete", "Programmierung abgeschlossen"};
const Event kClosing{"pending", "hangup", "Sende 0 und warte darauf, dass das QAV auflegt …"};

TEST_F(EndToEndCallTest, DeviceStayingOnTheLineAfterTheClosingZeroIsHungUpLocally) {
  const std::vector<PlannedAction> planned = plan(kFastDigits);
  struct Case {
    const char* what;
    std::vector<std::string> faults;
    std::vector<Event> ending;
  };
  const Case cases[] = {
      // The disconnect sequence counts as hanging up, although the call is up.
      {"disconnect sequence, no hang-up", {"--no-hang-up-after-zero"}, {kClosing, kHungUp, kComplete}},
      // Neither the sequence nor a hang-up: only the eight waits end it.
      {"a stray tone, no hang-up",
       {"--no-hang-up-after-zero", "--wrong-tone", std::to_string(closingStep(planned)) + ":single-confirmation"},
       {kClosing, kNotHungUp, kComplete}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(statePath());
    startSimulator(c.faults);
    const CliRun run = call(kFastDigits);
    EXPECT_EQ(run.status(), 0) << run.process.err;
    EXPECT_EQ(run.process.err, "");
    ASSERT_GE(run.events.size(), 3u);
    EXPECT_EQ(std::vector<Event>(run.events.end() - 3, run.events.end()), c.ending);
    if (c.ending[1] == kNotHungUp) {
      const auto closing = run.arrivalOf(kClosing);
      const auto gaveUp = run.arrivalOf(kNotHungUp);
      ASSERT_TRUE(closing && gaveUp);
      // One wait ends early with the stray tone, seven run their full second.
      EXPECT_GE(*gaveUp - *closing, 7s);
    }
    const std::vector<std::string> simLines = simulatorLines();
    EXPECT_EQ(simLines.back(), "bye") << "the device did not hang up, so qav-cli must";
    const json state = readState();
    ASSERT_TRUE(state.is_object());
    EXPECT_EQ(state["routine-days"], "03");
    EXPECT_FALSE(state["clock-time"].get<std::string>().empty());
  }
}

}  // namespace
}  // namespace qav::e2e

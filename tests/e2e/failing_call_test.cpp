#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "call_fixture.h"

// Calls that end in an error: the message on standard error after the call
// was hung up, status 3, nothing stored that the device did not confirm.

namespace qav::e2e {
namespace {

using namespace std::chrono_literals;

// A clock the device holds from an earlier call; an interrupted clock
// command must leave it as it is.
const json kEarlierClock{{"clock-time", "0815"}, {"clock-date", "01012020"}};

std::size_t countOf(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

std::size_t digitsHeard(const std::vector<std::string>& lines) {
  return static_cast<std::size_t>(std::count_if(
      lines.begin(), lines.end(), [](const std::string& line) { return line.rfind("digit ", 0) == 0; }));
}

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A cabin number that does not fit the mode the device greets with ends the
// run before a single digit reaches the device.
TEST_F(EndToEndCallTest, CabinNumberContradictingTheDeviceModeFailsBeforeAnythingIsSent) {
  struct Case {
    const char* what;
    json seed;
    const char* cabin;
    const char* greeting;
    const char* error;
  };
  const Case cases[] = {
      {"shared line, cabin 0", {{"bus-address", "3"}}, "0", "answer multi-device-prompt",
       "Fehler: Mehrgerätebetrieb erkannt; aktuelle Kabinennummer 1 bis 9 erforderlich.\n"},
      {"single device, cabin 2", nullptr, "2", "answer single-confirmation",
       "Fehler: Einzelgerätebetrieb erkannt; aktuelle Kabinennummer muss 0 sein.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(statePath());
    if (!c.seed.is_null()) seedState(c.seed);
    const std::string before = fileText(statePath());
    startSimulator();
    const CliRun run = call(with(kFastDigits, {"--cabin", c.cabin}));
    EXPECT_EQ(run.status(), 3);
    EXPECT_EQ(run.process.err, c.error);
    ASSERT_FALSE(run.events.empty());
    EXPECT_EQ(run.events.back(), (Event{"pending", "qav", "Warte auf QAV-Startsignal …"}));
    const std::vector<std::string> simLines = simulatorLines();
    EXPECT_EQ(countOf(simLines, c.greeting), 1u);
    EXPECT_EQ(digitsHeard(simLines), 0u);
    EXPECT_EQ(simLines.back(), "bye") << "qav-cli must end the call it gave up";
    EXPECT_EQ(fileText(statePath()), before);
  }
}

// The device refuses the date of the clock command once; qav-cli repeats the
// whole command and the device stores what the repetition sent.
TEST_F(EndToEndCallTest, ParameterErrorIsAnsweredByRepeatingTheWholeCommand) {
  const std::vector<PlannedAction> planned = plan(kFastDigits);
  startSimulator({"--parameter-error-at", std::to_string(deviceStep(planned, "clock", 2))});
  const CliRun run = call(kFastDigits);
  ASSERT_EQ(run.status(), 0) << run.process.err;
  EXPECT_EQ(run.process.err, "");

  const auto retries = run.withLevel("retry");
  ASSERT_EQ(retries.size(), 1u);
  const Event retry{"retry", "clock", "Das QAV meldet einen ungültigen Parameter. Gesamte Befehlssequenz wird wiederholt."};
  EXPECT_EQ(*retries.front(), retry);
  // The repetition starts again with the opening code, as attempt 2 of 3,
  // after the pause that lets the device drop the refused command.
  const auto at = std::find(run.events.begin(), run.events.end(), retry);
  ASSERT_LT(at + 1, run.events.end());
  const Event again{"pending", "clock", "  ├─ Einstellung Uhrzeit und Datum initialisieren (Versuch 2/3)"};
  EXPECT_EQ(*(at + 1), again);
  const auto retried = run.arrivalOf(retry);
  const auto resent = run.arrivalOf(again);
  ASSERT_TRUE(retried && resent);
  EXPECT_GE(*resent - *retried, 690ms);
  EXPECT_EQ(std::count(run.events.begin(), run.events.end(),
                       Event{"success", "clock", "Uhrzeit und Datum erfolgreich konfiguriert"}),
            1);
  EXPECT_EQ(run.events.back(), (Event{"success", "complete", "Programmierung abgeschlossen"}));

  const std::vector<std::string> labels = segmentLabels(run);
  const json state = readState();
  ASSERT_TRUE(state.is_object());
  EXPECT_EQ(state["clock-time"], extract(labels, std::regex("Uhrzeit auf (\\d\\d):(\\d\\d) Uhr")));
  EXPECT_EQ(state["clock-date"], extract(labels, std::regex("Datum auf (\\d\\d)\\.(\\d\\d)\\.(\\d{4})")));
  EXPECT_EQ(state["routine-time"], extract(labels, std::regex("Routinezeit auf (\\d\\d):(\\d\\d) Uhr")));
  EXPECT_EQ(state["routine-days"], "03");
  const std::vector<std::string> simLines = simulatorLines();
  EXPECT_EQ(countOf(simLines, "answer parameter-error"), 1u);
}

// The device confirms the clock time and then ends the call: the step that
// follows finds no call, and there is nothing to repeat.
TEST_F(EndToEndCallTest, FarEndHangingUpInsideAnActionEndsTheRunWithoutRepetition) {
  seedState(kEarlierClock);
  const std::vector<PlannedAction> planned = plan(kFastDigits);
  startSimulator({"--hang-up-after", std::to_string(deviceStep(planned, "clock", 1))});
  const CliRun run = call(kFastDigits);
  EXPECT_EQ(run.status(), 3);
  EXPECT_EQ(run.process.err, "Fehler: SIP-Verbindung wurde beendet.\n");
  EXPECT_TRUE(run.withLevel("retry").empty());
  ASSERT_FALSE(run.events.empty());
  EXPECT_EQ(run.events.back().event, "clock");
  const std::vector<std::string> simLines = simulatorLines();
  EXPECT_EQ(simLines.back(), "bye");
  const json state = readState();
  EXPECT_EQ(state["clock-time"], "0815") << "the interrupted clock command was stored";
  EXPECT_EQ(state["clock-date"], "01012020");
}

// The disconnect sequence in place of a confirmation ends the run at once,
// with attempts left and the SIP call still up.
TEST_F(EndToEndCallTest, DisconnectSequenceAsAnAnswerEndsTheRunAtOnce) {
  seedState(kEarlierClock);
  const std::vector<PlannedAction> planned = plan(kFastDigits);
  startSimulator({"--wrong-tone", std::to_string(deviceStep(planned, "clock", 1)) + ":alternating-disconnect"});
  const CliRun run = call(kFastDigits);
  EXPECT_EQ(run.status(), 3);
  EXPECT_EQ(run.process.err, "Fehler: Das QAV hat die Verbindung beendet.\n");
  EXPECT_TRUE(run.withLevel("retry").empty());
  const std::vector<std::string> simLines = simulatorLines();
  // The PIN, the opening code and the clock time; not the date after it.
  const std::string& clockTime = planned.front().segments[1].digits;
  EXPECT_EQ(digitsHeard(simLines), 4 + 4 + clockTime.size());
  EXPECT_EQ(simLines.back(), "bye") << "qav-cli must end the call the device left open";
  const json state = readState();
  EXPECT_EQ(state["clock-time"], "0815");
  EXPECT_EQ(state["clock-date"], "01012020");
}

}  // namespace
}  // namespace qav::e2e

namespace qav::e2e {
namespace {

// The device does not hear the PIN once: qav-cli waits out its ten seconds
// for an answer, sends the same PIN again and goes on as usual.
TEST_F(EndToEndCallTest, UnansweredPinIsSentAgainAfterTheTimeLimit) {
  const std::vector<PlannedAction> planned = plan(kFastDigits);
  startSimulator({"--silence-at", "2"});
  const CliRun run = call(kFastDigits);
  ASSERT_EQ(run.status(), 0) << run.process.err;
  EXPECT_EQ(run.process.err, "");
  const Event first{"pending", "auth", "Sende Authentifizierung … (Versuch 1/3)"};
  const Event retry{"retry", "auth", "Keine QAV-Rückmeldung erkannt. Sequenz wird wiederholt."};
  const Event second{"pending", "auth", "Sende Authentifizierung … (Versuch 2/3)"};
  const auto at = std::find(run.events.begin(), run.events.end(), first);
  ASSERT_LE(at + 4, run.events.end());
  EXPECT_EQ(std::vector<Event>(at, at + 4),
            (std::vector<Event>{first, retry, second, {"success", "auth", "Authentifizierung akzeptiert"}}));
  const auto sent = run.arrivalOf(first);
  const auto gaveUp = run.arrivalOf(retry);
  ASSERT_TRUE(sent && gaveUp);
  EXPECT_GE(*gaveUp - *sent, 10s);
  EXPECT_EQ(run.withLevel("retry").size(), 1u);
  EXPECT_EQ(run.events.back(), (Event{"success", "complete", "Programmierung abgeschlossen"}));
  const std::vector<std::string> simLines = simulatorLines();
  // The PIN twice, every digit of the plan once, the closing "0".
  std::size_t keys = 4 + 4 + 1;
  for (const PlannedAction& action : planned)
    for (const PlannedSegment& segment : action.segments) keys += segment.digits.size();
  EXPECT_EQ(digitsHeard(simLines), keys);
  EXPECT_EQ(readState()["routine-days"], "03");
}

}  // namespace
}  // namespace qav::e2e

#include <ctime>
#include <set>

#include "call_fixture.h"

// One call that programs every action with values different from the
// device's factory state, checked against what the device then holds and
// against the event stream a supervising program reads: over G.711 with
// in-band digits, and over a noisy mobile line with telephone events.

namespace qav::e2e {
namespace {

const std::string kAllActions =
    "clock,routine,service,emergency-numbers,emergency-targets,emergency-trigger-1,emergency-trigger-2,"
    "emergency-trigger-3,security-pin,line-calibration,dial-mode,call-duration,input-mode,call-protection,"
    "alarm-latency,line-impedance,dial-attempts,routine-fault,z208,output-mode,alarm-horn,bus-address";

// The device starts on a shared line as cabin 4 with a PIN of its own, so
// that even the current PIN and cabin differ from qav-cli's defaults. One
// emergency number stays empty: the device must take an entry without digits.
const std::vector<std::string> kEverySetting{
    "--actions", kAllActions, "--pin", "1357", "--cabin", "4", "--new-pin", "2468", "--routine-at", "07:30",
    "--routine-days", "12", "--service-number", "0800123*45#", "--emergency-numbers", "110,0301234567,,*19222#",
    "--dial-mode", "2", "--dial-attempts", "10", "--call-duration", "0", "--input-mode", "2",
    "--call-protection", "on", "--routine-fault", "1", "--z208", "42", "--output-mode", "4",
    "--alarm-latency", "7", "--alarm-horn", "2", "--line-impedance", "0", "--bus-address", "5",
    "--emergency-trigger-1", "123", "--emergency-trigger-2", "231", "--emergency-trigger-3", "312",
    "--retries", "1"};

json trigger(const char* digits) {
  return {{"trigger", std::string(1, digits[0])},
          {"loudspeaker", std::string(1, digits[1])},
          {"microphone", std::string(1, digits[2])}};
}

// What the device must hold: the settings above in the device's digits,
// with the clock as the run listed it.
json expectedState(const std::vector<std::string>& labels) {
  return {
      {"clock-time", extract(labels, std::regex("Uhrzeit auf (\\d\\d):(\\d\\d) Uhr"))},
      {"clock-date", extract(labels, std::regex("Datum auf (\\d\\d)\\.(\\d\\d)\\.(\\d{4})"))},
      {"routine-time", "0730"},
      {"routine-frequency", "4"},
      {"routine-days", "12"},
      {"service-number", "0800123*45#"},
      {"routine-target", "5"},
      {"emergency-numbers", {"110", "0301234567", "", "*19222#"}},
      {"emergency-targets", {"5", "5", "5", "5"}},
      {"emergency-triggers", {trigger("123"), trigger("231"), trigger("312")}},
      {"dial-mode", "2"},
      {"dial-attempts", "10"},
      {"call-duration", "0"},
      {"input-mode", "2"},
      {"call-protection", "1"},
      {"routine-fault", "1"},
      {"z208", "00000042"},
      {"output-mode", "4"},
      {"alarm-latency", "7"},
      {"alarm-horn", "2"},
      {"line-impedance", "0"},
      {"bus-address", "5"},
      {"pin", "2468"},
      {"calibrated", true},
  };
}

// The whole stream of a successful run as the dialogue defines it, from the
// plan that a dry run lists. The clock digits move with the minute, so they
// are masked on both sides.
std::vector<Event> expectedStream(const std::vector<PlannedAction>& plan) {
  const std::string attempt = " (Versuch 1/2)";
  std::vector<Event> stream{
      {"pending", "sip", "Melde SIP-Account am Server an …"},
      {"success", "sip", "SIP-Account registriert"},
      {"pending", "call", "Wähle qav …"},
      {"success", "call", "SIP-Verbindung hergestellt"},
      {"pending", "qav", "Warte auf QAV-Startsignal …"},
      {"pending", "qav", "Mehrgerätebetrieb erkannt; wähle Kabine 4" + attempt},
      {"success", "qav", "QAV im Mehrgerätebetrieb, Kabine bestätigt"},
      {"pending", "auth", "Sende Authentifizierung …" + attempt},
      {"success", "auth", "Authentifizierung akzeptiert"},
  };
  for (const PlannedAction& action : plan) {
    stream.push_back({"pending", action.name, action.title + " konfigurieren …"});
    for (std::size_t i = 0; i < action.segments.size(); ++i) {
      const bool last = i + 1 == action.segments.size();
      stream.push_back({"pending", action.name, (last ? "  └─ " : "  ├─ ") + action.segments[i].label + attempt});
    }
    stream.push_back({"success", action.name, action.title + " erfolgreich konfiguriert"});
  }
  stream.push_back({"pending", "hangup", "Sende 0 und warte darauf, dass das QAV auflegt …"});
  stream.push_back({"success", "hangup", "QAV hat die Verbindung beendet"});
  stream.push_back({"success", "complete", "Programmierung abgeschlossen"});
  return stream;
}

std::vector<Event> maskClock(std::vector<Event> events) {
  const std::regex time("Uhrzeit auf \\d\\d:\\d\\d Uhr");
  const std::regex date("Datum auf \\d\\d\\.\\d\\d\\.\\d{4}");
  for (Event& event : events) {
    event.message = std::regex_replace(event.message, time, "Uhrzeit auf HH:MM Uhr");
    event.message = std::regex_replace(event.message, date, "Datum auf TT.MM.JJJJ");
  }
  return events;
}

std::string localDigits(std::time_t at, const char* pattern) {
  std::tm broken{};
  localtime_r(&at, &broken);
  char text[16];
  std::strftime(text, sizeof text, pattern, &broken);
  return text;
}

class EveryActionCallTest : public EndToEndCallTest {
 protected:
  // `method` is qav-cli's --dtmf-method and the way the device must have
  // heard every digit.
  void programEverything(const std::vector<std::string>& line, const std::string& method);
};

void EveryActionCallTest::programEverything(const std::vector<std::string>& line, const std::string& method) {
  seedState({{"pin", "1357"}, {"bus-address", "4"}});
  startSimulator(line);
  const std::vector<std::string> settings = with(with(kFastDigits, kEverySetting), {"--dtmf-method", method});
  const std::vector<PlannedAction> planned = plan(settings);
  ASSERT_EQ(planned.size(), 22u);

  const std::time_t before = std::time(nullptr);
  const CliRun run = call(settings);
  const std::time_t after = std::time(nullptr);
  ASSERT_EQ(run.status(), 0) << run.process.err;
  EXPECT_EQ(run.process.err, "") << "a successful run writes nothing to standard error";
  EXPECT_EQ(maskClock(run.events), maskClock(expectedStream(planned)));

  const std::vector<std::string> labels = segmentLabels(run);
  const json expected = expectedState(labels);
  const json state = readState();
  ASSERT_TRUE(state.is_object()) << "no readable state file";
  std::set<std::string> keys;
  for (const auto& [key, value] : state.items()) keys.insert(key);
  for (const auto& [key, value] : expected.items()) {
    EXPECT_EQ(state.value(key, json()), value) << key;
    keys.erase(key);
  }
  EXPECT_TRUE(keys.empty()) << "the device holds more than was compared: " << *keys.begin();

  // The clock is the local time of the call, not of some earlier moment.
  const std::string time = expected["clock-time"];
  const std::string date = expected["clock-date"];
  EXPECT_TRUE(time + date == localDigits(before, "%H%M%d%m%Y") || time + date == localDigits(after, "%H%M%d%m%Y") ||
              (time >= localDigits(before, "%H%M") && time <= localDigits(after, "%H%M")))
      << time << " " << date;

  const std::vector<std::string> simLines = simulatorLines();
  std::size_t heard = 0;
  for (const std::string& line : simLines) {
    if (line.rfind("digit ", 0) != 0) continue;
    ++heard;
    EXPECT_NE(line.find(" " + method + " "), std::string::npos) << line;
  }
  // The cabin, the PIN, every digit of the plan and the closing "0".
  std::size_t sent = 1 + 4 + 1;
  for (const PlannedAction& action : planned)
    for (const PlannedSegment& segment : action.segments) sent += segment.digits.size();
  EXPECT_EQ(heard, sent);
  EXPECT_EQ(simLines.back(), "bye");
}

TEST_F(EveryActionCallTest, EveryActionInOneCallLeavesTheDeviceHoldingEverySetting) { programEverything({}, "inband"); }

// A mobile uplink at its lowest rate, silence sent as comfort noise, with
// noise on the device's line: the answers must still read right.
TEST_F(EveryActionCallTest, EveryActionOverANoisyMobileLineWithTelephoneEvents) {
  programEverything({"--line", "amr475-dtx", "--line-noise", "white:-45"}, "rfc4733");
}

}  // namespace
}  // namespace qav::e2e

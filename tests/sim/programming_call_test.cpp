#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "child_process.h"
#include "test_pbx.h"
#include "test_stun_server.h"

#ifndef QAV_SIM
#error "QAV_SIM must name the simulator program"
#endif
#ifndef QAV_CLI
#error "QAV_CLI must name the programming program"
#endif

// qav-cli and qav-sim as separate processes, registered at the test PBX as
// two users, with a whole programming call between them.

namespace qav::sim {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using testing::ChildProcess;

const std::vector<std::string> kFastDigits{"--dtmf-tone-ms", "80", "--dtmf-gap-ms", "80", "--settle-ms", "100"};

struct CliRun {
  std::optional<int> status;
  std::vector<std::string> lines;

  std::vector<std::string> messages(const std::string& level) const {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
      const json event = json::parse(line, nullptr, false);
      if (event.is_object() && event.value("level", "") == level) found.push_back(event.value("message", ""));
    }
    return found;
  }
  bool printed(const std::string& line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

// The segment labels of a real run, without tree prefix and attempt suffix.
std::vector<std::string> segmentLabels(const CliRun& run) {
  std::vector<std::string> labels;
  const std::regex segment("  (?:├|└)─ (.*) \\(Versuch \\d+/\\d+\\)");
  std::smatch match;
  for (const std::string& message : run.messages("pending"))
    if (std::regex_match(message, match, segment)) labels.push_back(match[1]);
  return labels;
}

// Label to digits, as a dry run lists the plan.
std::map<std::string, std::string> plannedDigits(const CliRun& dryRun) {
  std::map<std::string, std::string> digits;
  const std::regex segment("  (.*): ([0-9*#]*) → .*");
  std::smatch match;
  for (const std::string& message : dryRun.messages("info"))
    if (std::regex_match(message, match, segment)) digits[match[1]] = match[2];
  return digits;
}

std::string firstMatch(const std::vector<std::string>& labels, const std::regex& pattern) {
  std::smatch match;
  for (const std::string& label : labels) {
    if (!std::regex_search(label, match, pattern)) continue;
    std::string joined;
    for (std::size_t i = 1; i < match.size(); ++i) joined += match[i];
    return joined;
  }
  return "";
}

class ProgrammingCallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { pbx = new qav::testing::TestPbx(); }
  static void TearDownTestSuite() {
    delete pbx;
    pbx = nullptr;
  }

  std::string statePath() const { return directory.path() + "/state.json"; }

  void writeState(const json& state) const { std::ofstream(statePath()) << state.dump(); }

  json readState() const {
    std::ifstream in(statePath());
    return json::parse(in, nullptr, false);
  }

  void startSimulator(const std::vector<std::string>& extra = {}, bool oneCall = true) {
    std::vector<std::string> args{QAV_SIM,      "--registrar", "127.0.0.1:" + std::to_string(port()),
                                  "--transport", transport,   "--user",
                                  "qav",         "--password", "qav-secret",
                                  "--state",     statePath(), "--events"};
    if (oneCall) args.insert(args.end(), {"--calls", "1"});
    args.insert(args.end(), extra.begin(), extra.end());
    simulator = std::make_unique<ChildProcess>(args);
    ASSERT_TRUE(simulator->waitFor("registered", 5s)) << "qav-sim did not register";
  }

  std::uint16_t port() const {
    if (transport == "tcp") return pbx->tcpPort();
    if (transport == "tls") return pbx->tlsPort();
    return pbx->udpPort();
  }

  std::vector<std::string> cliArguments(const std::vector<std::string>& extra) const {
    std::vector<std::string> args{QAV_CLI,          "--sip-server",    "127.0.0.1",       "--sip-port",
                                  std::to_string(port()), "--sip-transport", transport,   "--sip-user",
                                  "tester",         "--sip-password",  "tester-secret", "--target",
                                  "qav",            "--json"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  CliRun runCli(const std::vector<std::string>& extra) const {
    ChildProcess cli(cliArguments(extra));
    CliRun run;
    // A bound for a hung process, not a timing requirement.
    run.status = cli.finish(180s);
    run.lines = cli.lines();
    return run;
  }

  // The simulator's lines once it has ended after its one call.
  std::vector<std::string> simulatorLines() {
    EXPECT_EQ(simulator->finish(15s), 0) << "qav-sim did not end cleanly after its call";
    return simulator->lines();
  }

  // What the device must hold for the clock and routine values the run
  // listed: times and date from its labels, the rest as a dry run plans it.
  void expectDefaultJobStored(const CliRun& run, const std::vector<std::string>& extra) {
    const std::vector<std::string> labels = segmentLabels(run);
    std::vector<std::string> dry = extra;
    dry.push_back("--dry-run");
    const std::map<std::string, std::string> planned = plannedDigits(runCli(dry));
    const json state = readState();
    ASSERT_TRUE(state.is_object()) << "no readable state file";
    EXPECT_EQ(state["clock-time"], firstMatch(labels, std::regex("Uhrzeit auf (\\d\\d):(\\d\\d) Uhr")));
    EXPECT_EQ(state["clock-date"], firstMatch(labels, std::regex("Datum auf (\\d\\d)\\.(\\d\\d)\\.(\\d{4})")));
    EXPECT_EQ(state["routine-time"], firstMatch(labels, std::regex("Routinezeit auf (\\d\\d):(\\d\\d) Uhr")));
    const std::string frequency = firstMatch(labels, std::regex("(Parameter Frequenz auf .*)"));
    const std::string interval = firstMatch(labels, std::regex("(Parameter freies Intervall auf .*)"));
    ASSERT_TRUE(planned.count(frequency) && planned.count(interval)) << frequency << " / " << interval;
    EXPECT_EQ(state["routine-frequency"], planned.at(frequency));
    EXPECT_EQ(state["routine-days"], planned.at(interval));
  }

  // Every key the simulator heard came the way qav-cli sent it, and each
  // once: the PIN, every segment's digits, the closing "0".
  static void expectDigitsHeardBy(const std::vector<std::string>& simLines, const std::string& method,
                                  std::size_t expected) {
    std::size_t heard = 0;
    for (const std::string& line : simLines) {
      if (line.rfind("digit ", 0) != 0) continue;
      ++heard;
      EXPECT_NE(line.find(" " + method + " "), std::string::npos) << line;
    }
    EXPECT_EQ(heard, expected);
  }

  static std::size_t keysOfDefaultJob(const std::map<std::string, std::string>& planned) {
    // qav-cli's default PIN, then the plan, then the closing "0".
    std::size_t keys = std::string("5831").size() + 1;
    for (const auto& [label, digits] : planned) keys += digits.size();
    return keys;
  }

  // The simulator's lines after the call.
  std::vector<std::string> runDefaultJob(const std::string& method, std::vector<std::string> extra,
                                         const std::vector<std::string>& simulatorExtra = {}) {
    startSimulator(simulatorExtra);
    extra.insert(extra.end(), {"--dtmf-method", method});
    const CliRun run = runCli(extra);
    EXPECT_EQ(run.status, 0) << run.lines.back();
    if (run.status != 0) return {};
    EXPECT_EQ(run.messages("success").back(), "Programmierung abgeschlossen");
    EXPECT_TRUE(run.messages("info").empty()) << "the simulator should hang up after the 0 by itself";
    expectDefaultJobStored(run, extra);
    const std::vector<std::string> simLines = simulatorLines();
    std::vector<std::string> dry = extra;
    dry.push_back("--dry-run");
    expectDigitsHeardBy(simLines, method, keysOfDefaultJob(plannedDigits(runCli(dry))));
    EXPECT_EQ(simLines.back(), "bye");
    EXPECT_FALSE(pbx->hasLocation("qav")) << "qav-sim left its registration behind";
    return simLines;
  }

  static qav::testing::TestPbx* pbx;
  std::string transport = "udp";
  qav::testing::TemporaryDirectory directory;
  std::unique_ptr<ChildProcess> simulator;
};

qav::testing::TestPbx* ProgrammingCallTest::pbx = nullptr;

TEST_F(ProgrammingCallTest, DefaultJobByTelephoneEventsWithDefaultTiming) { runDefaultJob("rfc4733", {}); }

TEST_F(ProgrammingCallTest, DefaultJobBySipInfo) { runDefaultJob("sip-info", kFastDigits); }

TEST_F(ProgrammingCallTest, DefaultJobByInBandTones) { runDefaultJob("inband", kFastDigits); }

TEST_F(ProgrammingCallTest, DefaultJobOverTcpAndTls) {
  for (const char* over : {"tcp", "tls"}) {
    SCOPED_TRACE(over);
    transport = over;
    std::filesystem::remove(statePath());
    runDefaultJob("rfc4733", kFastDigits);
  }
}

bool iceConnected(const std::vector<std::string>& simLines) {
  return std::any_of(simLines.begin(), simLines.end(),
                     [](const std::string& line) { return line.rfind("ice-connected ", 0) == 0; });
}

// Both sides learn their mapping from the STUN server and agree on ICE: the
// simulator's checks only conclude when the offer and the answer both carried
// candidates and the caller nominated a pair.
TEST_F(ProgrammingCallTest, DefaultJobWithIceAndStunOnBothSides) {
  qav::testing::TestStunServer stun;
  std::vector<std::string> cli = kFastDigits;
  cli.insert(cli.end(), {"--ice", "--sip-stun-server", stun.address()});
  const std::vector<std::string> simLines = runDefaultJob("rfc4733", cli, {"--ice", "--stun-server", stun.address()});
  EXPECT_TRUE(iceConnected(simLines));
}

TEST_F(ProgrammingCallTest, IceOnOneSideOnlyGivesAPlainCall) {
  for (const bool callerIce : {true, false}) {
    SCOPED_TRACE(callerIce ? "caller offers ICE" : "simulator would answer ICE");
    std::filesystem::remove(statePath());
    std::vector<std::string> cli = kFastDigits;
    if (callerIce) cli.push_back("--ice");
    const std::vector<std::string> simulator = callerIce ? std::vector<std::string>{} : std::vector<std::string>{"--ice"};
    const std::vector<std::string> simLines = runDefaultJob("rfc4733", cli, simulator);
    EXPECT_FALSE(simLines.empty());
    EXPECT_FALSE(iceConnected(simLines));
  }
}

TEST_F(ProgrammingCallTest, EndlessSimulatorUnregistersOnSigtermAndSigint) {
  for (const int stop : {SIGTERM, SIGINT}) {
    startSimulator({}, false);
    ASSERT_TRUE(pbx->hasLocation("qav"));
    simulator->sendSignal(stop);
    EXPECT_EQ(simulator->finish(10s), 0);
    EXPECT_FALSE(pbx->hasLocation("qav")) << "still registered after signal " << stop;
  }
}

TEST_F(ProgrammingCallTest, SharedLineProgramsTheDeviceOfTheRightCabin) {
  writeState({{"bus-address", "3"}});
  startSimulator();
  std::vector<std::string> extra = kFastDigits;
  extra.insert(extra.end(), {"--cabin", "3"});
  const CliRun run = runCli(extra);
  ASSERT_EQ(run.status, 0) << run.lines.back();
  expectDefaultJobStored(run, extra);
  EXPECT_EQ(readState()["bus-address"], "3");
  const std::vector<std::string> simLines = simulatorLines();
  const auto greeting = std::find_if(simLines.begin(), simLines.end(),
                                     [](const std::string& line) { return line.rfind("answer ", 0) == 0; });
  ASSERT_NE(greeting, simLines.end());
  EXPECT_EQ(*greeting, "answer multi-device-prompt");
}

TEST_F(ProgrammingCallTest, WrongPinFailsAfterTheRetriesAndStoresNothing) {
  startSimulator();
  std::vector<std::string> extra = kFastDigits;
  extra.insert(extra.end(), {"--pin", "1234"});
  const CliRun run = runCli(extra);
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(run.printed("Fehler: Nach 2 Wiederholungen fehlgeschlagen: Ungültige Eingabe laut QAV."))
      << run.lines.back();
  const std::vector<std::string> simLines = simulatorLines();
  EXPECT_EQ(std::count(simLines.begin(), simLines.end(), "answer parameter-error"), 3);
  EXPECT_EQ(std::count(simLines.begin(), simLines.end(), "state-saved"), 0);
  EXPECT_FALSE(std::ifstream(statePath()).good()) << "a refused PIN must not change the device";
  EXPECT_EQ(simLines.back(), "bye");
}

}  // namespace
}  // namespace qav::sim

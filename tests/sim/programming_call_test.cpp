#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "programming_call.h"
#include "test_pbx.h"
#include "test_stun_server.h"

// qav-cli and qav-sim as separate processes, registered at the test PBX as
// two users, with a whole programming call between them.

namespace qav::sim {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using qav::testing::CliRun;
using qav::testing::extract;
using qav::testing::segmentLabels;
using qav::testing::kFastDigits;

// Label to digits, as a dry run lists the plan.
std::map<std::string, std::string> plannedDigits(const CliRun& dryRun) {
  std::map<std::string, std::string> digits;
  const std::regex segment("  (.*): ([0-9*#]*) → .*");
  std::smatch match;
  for (const std::string& message : dryRun.messages("info"))
    if (std::regex_match(message, match, segment)) digits[match[1]] = match[2];
  return digits;
}

class ProgrammingCallTest : public ::testing::Test, protected qav::testing::ProgrammingCallParties {
 protected:
  static void SetUpTestSuite() { pbx = new qav::testing::TestPbx(); }
  static void TearDownTestSuite() {
    delete pbx;
    pbx = nullptr;
  }

  void SetUp() override {
    site.directory = directory.path();
    useTransport("udp");
  }
  void TearDown() override { simulator.reset(); }

  void useTransport(const std::string& transport) {
    site.transport = transport;
    site.pbxPort = transport == "tcp" ? pbx->tcpPort() : transport == "tls" ? pbx->tlsPort() : pbx->udpPort();
  }

  // A bound for a hung process, not a timing requirement.
  CliRun runCli(const std::vector<std::string>& extra) const { return runCall(extra, 180s); }

  // What the device must hold for the clock and routine values the run
  // listed: times and date from its labels, the rest as a dry run plans it.
  void expectDefaultJobStored(const CliRun& run, const std::vector<std::string>& extra) {
    const std::vector<std::string> labels = segmentLabels(run);
    std::vector<std::string> dry = extra;
    dry.push_back("--dry-run");
    const std::map<std::string, std::string> planned = plannedDigits(runCli(dry));
    const json state = readState();
    ASSERT_TRUE(state.is_object()) << "no readable state file";
    EXPECT_EQ(state["clock-time"], extract(labels, std::regex("Uhrzeit auf (\\d\\d):(\\d\\d) Uhr")));
    EXPECT_EQ(state["clock-date"], extract(labels, std::regex("Datum auf (\\d\\d)\\.(\\d\\d)\\.(\\d{4})")));
    EXPECT_EQ(state["routine-time"], extract(labels, std::regex("Routinezeit auf (\\d\\d):(\\d\\d) Uhr")));
    const std::string frequency = extract(labels, std::regex("(Parameter Frequenz auf .*)"));
    const std::string interval = extract(labels, std::regex("(Parameter freies Intervall auf .*)"));
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

  // The keys qav-cli sent: the PIN at each attempt, each segment it sent,
  // again when a sequence was repeated, and the closing "0". A segment's
  // length comes from the dry run, whose labels differ from the call's only
  // in the digits of a time or date.
  static std::size_t keysSent(const CliRun& run, const std::map<std::string, std::string>& planned) {
    const std::regex digit("\\d");
    std::map<std::string, std::size_t> lengths;
    for (const auto& [label, digits] : planned) lengths[std::regex_replace(label, digit, "0")] = digits.size();
    std::size_t keys = 1;
    for (const qav::menu::CliEvent* event : run.withLevel("pending"))
      if (event->event == "auth") keys += std::string("5831").size();
    for (const std::string& label : segmentLabels(run)) {
      const auto found = lengths.find(std::regex_replace(label, digit, "0"));
      EXPECT_NE(found, lengths.end()) << label;
      if (found != lengths.end()) keys += found->second;
    }
    return keys;
  }

  // The simulator's lines after the call.
  std::vector<std::string> runDefaultJob(const std::string& method, std::vector<std::string> extra,
                                         const std::vector<std::string>& simulatorExtra = {}) {
    startSimulator(simulatorExtra);
    extra.insert(extra.end(), {"--dtmf-method", method});
    const CliRun run = runCli(extra);
    EXPECT_EQ(run.status(), 0) << run.process.err;
    if (run.status() != 0) return {};
    EXPECT_EQ(run.messages("success").back(), "Programmierung abgeschlossen");
    EXPECT_TRUE(run.messages("info").empty()) << "the simulator should hang up after the 0 by itself";
    expectDefaultJobStored(run, extra);
    const std::vector<std::string> simLines = simulatorLines();
    std::vector<std::string> dry = extra;
    dry.push_back("--dry-run");
    expectDigitsHeardBy(simLines, method, keysSent(run, plannedDigits(runCli(dry))));
    EXPECT_EQ(simLines.back(), "bye");
    EXPECT_FALSE(pbx->hasLocation("qav")) << "qav-sim left its registration behind";
    return simLines;
  }

  static qav::testing::TestPbx* pbx;
  qav::testing::TemporaryDirectory directory;
};

qav::testing::TestPbx* ProgrammingCallTest::pbx = nullptr;

TEST_F(ProgrammingCallTest, DefaultJobByTelephoneEventsWithDefaultTiming) { runDefaultJob("rfc4733", {}); }

TEST_F(ProgrammingCallTest, DefaultJobBySipInfo) { runDefaultJob("sip-info", kFastDigits); }

TEST_F(ProgrammingCallTest, DefaultJobByInBandTones) { runDefaultJob("inband", kFastDigits); }

TEST_F(ProgrammingCallTest, DefaultJobOverTcpAndTls) {
  for (const char* over : {"tcp", "tls"}) {
    SCOPED_TRACE(over);
    useTransport(over);
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
  seedState({{"bus-address", "3"}});
  startSimulator();
  std::vector<std::string> extra = kFastDigits;
  extra.insert(extra.end(), {"--cabin", "3"});
  const CliRun run = runCli(extra);
  ASSERT_EQ(run.status(), 0) << run.process.err;
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
  EXPECT_EQ(run.status(), 3);
  EXPECT_EQ(run.process.lastErrorLine(), "Fehler: Nach 2 Wiederholungen fehlgeschlagen: Ungültige Eingabe laut QAV.")
      << run.process.err;
  const std::vector<std::string> simLines = simulatorLines();
  EXPECT_EQ(std::count(simLines.begin(), simLines.end(), "answer parameter-error"), 3);
  EXPECT_EQ(std::count(simLines.begin(), simLines.end(), "state-saved"), 0);
  EXPECT_FALSE(std::ifstream(statePath()).good()) << "a refused PIN must not change the device";
  EXPECT_EQ(simLines.back(), "bye");
}

}  // namespace
}  // namespace qav::sim

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "call_fixture.h"

// The report a call leaves with --report: written when the call succeeded,
// failed or was ended by SIGTERM, with what was sent and heard, and never a
// PIN or the SIP password.

namespace qav::e2e {
namespace {

using namespace std::chrono_literals;

// Neither is a clock time, so that the clock's digits cannot match them.
const std::string kPin = "9281";
const std::string kNewPin = "7364";

class CallReportTest : public EndToEndCallTest {
 protected:
  json report() const {
    std::ifstream in(path);
    return json::parse(in, nullptr, false);
  }

  // Whatever the path, the report holds no secret, and nothing but the
  // report and the device's state is left in the folder.
  void expectCleanReport(const json& doc) const {
    const std::function<void(const json&)> visit = [&](const json& value) {
      if (value.is_string()) {
        for (const std::string& secret : {kPin, kNewPin, std::string("tester-secret")})
          EXPECT_EQ(value.get<std::string>().find(secret), std::string::npos) << value;
      }
      if (value.is_structured())
        for (const json& member : value) visit(member);
    };
    visit(doc);
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory.path()))
      files.insert(entry.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"bericht.json", "state.json"}));
  }

  std::vector<std::string> actionNames(const json& actions) const {
    std::vector<std::string> names;
    for (const json& action : actions) names.push_back(action["action"]);
    return names;
  }

  std::vector<std::string> sentDigits(const json& doc) const {
    std::vector<std::string> digits;
    for (const json& exchange : doc["exchanges"]) digits.push_back(exchange["digits"]);
    return digits;
  }

  const std::string path = directory.path() + "/bericht.json";
};

TEST_F(CallReportTest, SuccessfulCallHasEveryExchangeWithThePinsMasked) {
  seedState({{"pin", kPin}});
  startSimulator();
  const CliRun run = call(with(kFastDigits, {"--pin", kPin, "--new-pin", kNewPin, "--actions",
                                             "clock,security-pin", "--report", path}));
  ASSERT_EQ(run.status(), 0) << run.process.err;
  const json doc = report();
  ASSERT_TRUE(doc.is_object());
  EXPECT_EQ(doc["result"], (json{{"status", 0}, {"outcome", "completed"}}));
  EXPECT_EQ(doc["settings"]["target"], "qav");
  EXPECT_EQ(actionNames(doc["programmed"]), (std::vector<std::string>{"clock", "security-pin"}));
  EXPECT_TRUE(doc["not-programmed"].empty());

  const json state = readState();
  const std::string clockTime = state["clock-time"];
  const std::string clockDate = state["clock-date"];
  EXPECT_EQ(sentDigits(doc), (std::vector<std::string>{"****", "#*20", clockTime, clockDate,
                                                       "#*88", "****", "****"}));
  const json& pin = doc["exchanges"][0];
  EXPECT_EQ(pin["event"], "auth");
  EXPECT_EQ(pin["heard"], "einfacher Bestätigungston");
  EXPECT_EQ(pin["attempt"], 1);
  EXPECT_FALSE(pin.contains("error"));
  EXPECT_EQ(doc["exchanges"][3]["expected"], (json{"doppelter Bestätigungston"}));
  EXPECT_EQ(state["pin"], kNewPin);
  expectCleanReport(doc);
}

TEST_F(CallReportTest, FailedAndInterruptedCallsAreReportedToo) {
  const std::vector<std::string> args = with(kFastDigits, {"--actions", "clock,routine", "--retries", "0"});
  const std::vector<PlannedAction> planned = plan(args);
  startSimulator({"--parameter-error-at", std::to_string(deviceStep(planned, "routine", 1))});
  const CliRun failed = call(with(args, {"--report", path}));
  ASSERT_EQ(failed.status(), 3);
  json doc = report();
  ASSERT_TRUE(doc.is_object());
  EXPECT_EQ(doc["result"]["outcome"], "failed");
  EXPECT_EQ("Fehler: " + doc["result"]["error"].get<std::string>() + "\n", failed.process.err);
  EXPECT_EQ(actionNames(doc["programmed"]), std::vector<std::string>{"clock"});
  EXPECT_EQ(actionNames(doc["not-programmed"]), std::vector<std::string>{"routine"});
  const json& refused = doc["exchanges"].back();
  EXPECT_EQ(refused["event"], "routine");
  EXPECT_EQ(refused["heard"], "Parameter-Fehlerton");
  EXPECT_EQ(refused["error"], "Das QAV meldet einen ungültigen Parameter.");
  expectCleanReport(doc);
  simulatorLines();

  startSimulator();
  qav::testing::Process cli({cliArguments(with(args, {"--report", path})), std::nullopt, "",
                            qav::testing::Streams::Merged});
  ASSERT_TRUE(simulator->waitFor("digit ", 30s));
  cli.sendSignal(SIGTERM);
  EXPECT_EQ(cli.finish(30s), 3);
  doc = report();
  ASSERT_TRUE(doc.is_object());
  EXPECT_EQ(doc["result"], (json{{"status", 3},
                                 {"outcome", "interrupted"},
                                 {"error", "Abbruch durch SIGTERM; Verbindung und Registrierung wurden beendet."},
                                 {"signal", "SIGTERM"}}));
  expectCleanReport(doc);
}

}  // namespace
}  // namespace qav::e2e

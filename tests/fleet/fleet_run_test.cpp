#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <fstream>
#include <map>
#include <memory>
#include <set>

#include <nlohmann/json.hpp>

#include "fleet_test_support.h"
#include "process.h"
#include "sipp_peer.h"
#include "temporary_directory.h"
#include "test_pbx.h"

// Whole fleet runs: simulated lifts at the test PBX, each called by its own
// qav-cli, with faults, retry rounds, a killed run resumed, and stops by
// SIGTERM; the journal checked by SQLite itself.

namespace qav::testing {
namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;

std::string two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

class FleetRunTest : public ::testing::Test {
 protected:
  // qav-sim as qavNN, taking calls until stopped.
  void startDevice(int n, const std::vector<std::string>& faults = {}) {
    const std::string user = "qav" + two(n);
    auto device = std::make_unique<Process>(
        deviceCommand(pbx.udpPort(), directory.path(user + ".json"), user, faults));
    ASSERT_TRUE(device->waitFor("registered", 10s)) << user << " did not register";
    devices[n] = std::move(device);
  }

  // A row of the list: the lift calling `target` from the caller account
  // callerNN.
  SettingMap lift(int n, const std::string& target, const SettingMap& values = {}) {
    SettingMap row{{"id", "L" + two(n)}, {"target", target}, {"sip-user", "caller" + two(n)},
                   {"sip-password", "caller" + two(n) + "-secret"}};
    for (const auto& [key, value] : values) row[key] = value;
    return row;
  }

  // The list as a spreadsheet writes it: ";" between the cells, an empty
  // cell where a row has no value.
  void writeList(const std::vector<SettingMap>& rows) {
    std::vector<std::string> columns;
    for (const SettingMap& row : rows)
      for (const auto& [key, value] : row)
        if (std::find(columns.begin(), columns.end(), key) == columns.end()) columns.push_back(key);
    std::string text;
    for (const std::string& column : columns) text += (text.empty() ? "" : ";") + column;
    for (const SettingMap& row : rows) {
      text += "\n";
      for (std::size_t i = 0; i < columns.size(); ++i) {
        const auto cell = row.find(columns[i]);
        text += (i == 0 ? "" : ";") + (cell == row.end() ? std::string() : cell->second);
      }
    }
    directory.write("anlagen.csv", text + "\n");
  }

  // qav-fleet run with the common settings of every lift on its command line.
  Command fleet(const std::vector<std::string>& options) const {
    std::vector<std::string> argv{QAV_FLEET, "run", listPath, "--json", "--db", databasePath};
    for (const auto& [key, value] : commonValues(pbx.udpPort())) argv.insert(argv.end(), {"--" + key, value});
    argv.insert(argv.end(), options.begin(), options.end());
    return {argv, std::map<std::string, std::string>{{"PATH", "/usr/bin:/bin"}, {"TZ", "UTC"}}, "",
            Streams::Apart};
  }

  std::string databaseAnswer(const std::string& query) const {
    sqlite3* db = nullptr;
    std::string answer;
    if (sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_exec(
          db, query.c_str(),
          [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) += values[0] ? values[0] : "NULL";
            return 0;
          },
          &answer, nullptr);
    }
    sqlite3_close(db);
    return answer;
  }

  void expectConsistentJournal() const {
    EXPECT_EQ(databaseAnswer("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(databaseAnswer("SELECT count(*) FROM attempts WHERE outcome IS NULL"), "0");
  }

  TestPbx pbx;
  TemporaryDirectory directory;
  const std::string listPath = directory.path("anlagen.csv");
  const std::string databasePath = directory.path("qav-fleet.db");
  std::map<int, std::unique_ptr<Process>> devices;
};

std::optional<json> eventOf(const std::string& line) {
  json parsed = json::parse(line, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) return std::nullopt;
  return parsed;
}

// The run's JSON lines, with the ids of the lifts started and ended.
struct FleetEvents {
  std::vector<json> all;
  std::vector<std::string> started;
  std::map<std::string, std::vector<json>> ends;  // by id, in order

  void add(const std::string& line) {
    const std::optional<json> event = eventOf(line);
    if (!event) return;
    all.push_back(*event);
    if ((*event)["event"] == "lift-start") started.push_back((*event)["id"]);
    if ((*event)["event"] == "lift-end") ends[(*event)["id"]].push_back(*event);
  }
  const json& last() const { return all.back(); }
  std::size_t startsOf(const std::string& id) const {
    return static_cast<std::size_t>(std::count(started.begin(), started.end(), id));
  }
};

FleetEvents eventsOf(const std::vector<std::string>& lines) {
  FleetEvents events;
  for (const std::string& line : lines) events.add(line);
  return events;
}

// Reads the run's lines until `until` holds for one, feeding `events`.
bool readUntil(Process& run, FleetEvents& events, const std::function<bool(const json&)>& until) {
  while (const std::optional<std::string> line = run.nextLine(60s)) {
    events.add(*line);
    if (!events.all.empty() && until(events.last())) return true;
  }
  return false;
}

std::vector<std::string> environmentOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/environ");
  std::vector<std::string> entries;
  for (std::string entry; std::getline(in, entry, '\0');) entries.push_back(entry);
  return entries;
}

// A qav-cli that qav-fleet runs has the lift's password in its environment,
// in the one variable it names, and nowhere in its arguments.
void expectPasswordOnlyInEnvironment(pid_t fleet) {
  const auto deadline = Clock::now() + 10s;
  std::optional<pid_t> cli;
  while (!cli && Clock::now() < deadline) {
    for (pid_t child : childrenOf(fleet)) {
      const std::vector<std::string> args = processArguments(child);
      if (!args.empty() && args[0].ends_with("qav-cli")) cli = child;
    }
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_TRUE(cli) << "no qav-cli started";
  const std::vector<std::string> args = processArguments(*cli);
  for (const std::string& arg : args) EXPECT_EQ(arg.find("-secret"), std::string::npos) << arg;
  std::vector<std::string> qavVariables;
  for (const std::string& entry : environmentOf(*cli))
    if (entry.starts_with("QAV_")) qavVariables.push_back(entry.substr(0, entry.find('=')));
  const auto named = std::find(args.begin(), args.end(), "--sip-password-env");
  ASSERT_NE(named, args.end());
  ASSERT_NE(named + 1, args.end());
  EXPECT_EQ(qavVariables, std::vector<std::string>{*(named + 1)});
}

bool isEnd(const json& event, const std::string& outcome) {
  return event["event"] == "lift-end" && event["outcome"] == outcome;
}

// Ten lifts with faults: the right outcome for each, a busy line tried
// again after the pause and then given up, a dropped call that succeeds in
// the next round, and the refused PIN, the unknown number and the refused
// value never called twice.
TEST_F(FleetRunTest, FleetOfTenLiftsEndsEachWithItsOutcome) {
  for (int n : {1, 2, 3, 4, 5, 8}) startDevice(n);
  startDevice(6, {"--hang-up-after", "1"});
  startDevice(7, {"--parameter-error-at", "3"});
  SippOptions busyOptions;
  busyOptions.workingDirectory = directory.path();
  busyOptions.calls = 2;
  SippPeer busy("callee_busy.xml", busyOptions);
  writeList({lift(1, "qav01"), lift(2, "qav02"), lift(3, "qav03"), lift(4, "qav04"),
             lift(5, "qav05", {{"pin", "1111"}}), lift(6, "qav06"),
             lift(7, "qav07", {{"retries", "0"}}), lift(8, "qav08"), lift(9, "nobody"),
             lift(10, busy.uri("busy"))});

  Process run(fleet({"--parallel", "4", "--call-interval", "200", "--retry-rounds", "1",
                     "--retry-after", "4"}));
  FleetEvents events;
  expectPasswordOnlyInEnvironment(run.pid());
  // The dropped call's device is mended before its next round.
  ASSERT_TRUE(readUntil(run, events, [](const json& e) { return isEnd(e, "retry-later") && e["id"] == "L06"; }))
      << ::testing::PrintToString(run.lines()) << run.run().err;
  devices[6]->stop();
  startDevice(6);
  ASSERT_EQ(run.finish(180s), 4) << run.run().err;
  events = eventsOf(run.lines());

  struct Expected {
    const char* id;
    std::vector<std::string> outcomes;
    const char* explanation;  // of the last attempt
  };
  const Expected expected[] = {
      {"L01", {"done"}, "erledigt"},
      {"L04", {"done"}, "erledigt"},
      {"L05", {"give-up"}, "PIN prüfen"},
      {"L06", {"retry-later", "done"}, "erledigt"},
      {"L07", {"give-up"}, "Wert vom QAV abgelehnt, Einstellung prüfen"},
      {"L08", {"done"}, "erledigt"},
      {"L09", {"give-up"}, "Nummer nicht erreichbar"},
      {"L10", {"retry-later", "retry-later"}, "Besetzt"},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.id);
    std::vector<std::string> outcomes;
    for (const json& end : events.ends[e.id]) outcomes.push_back(end["outcome"]);
    EXPECT_EQ(outcomes, e.outcomes);
    EXPECT_EQ(events.startsOf(e.id), e.outcomes.size());
    ASSERT_FALSE(events.ends[e.id].empty());
    EXPECT_EQ(events.ends[e.id].back()["explanation"], e.explanation);
    EXPECT_TRUE(events.ends[e.id].back()["final"].get<bool>());
  }
  EXPECT_FALSE(events.ends["L01"].front()["sent"].empty());
  const json& end = events.last();
  EXPECT_EQ(end["event"], "run-end");
  EXPECT_EQ(end["done"], 6);
  EXPECT_EQ(end["failed"], 4);
  EXPECT_EQ(busy.wait(10s), 0) << "the busy line was called twice";
  expectConsistentJournal();
}

// kill -9 in the middle of a run: --resume calls only the lifts not yet
// done, and every lift ends done.
TEST_F(FleetRunTest, KilledRunIsResumedWithoutCallingAFinishedLiftAgain) {
  std::vector<SettingMap> lifts;
  for (int n = 11; n <= 16; ++n) {
    startDevice(n);
    lifts.push_back(lift(n, "qav" + two(n)));
  }
  writeList(lifts);
  // A lift whose device is still hanging up the killed run's call may be
  // busy for a moment: it is tried again soon.
  const std::vector<std::string> options{"--parallel", "2", "--call-interval", "200", "--retry-after", "2"};
  FleetEvents first;
  {
    Process run(fleet(options));
    int done = 0;
    ASSERT_TRUE(readUntil(run, first, [&](const json& e) { return isEnd(e, "done") && ++done == 2; }));
    run.sendSignal(SIGKILL);
    run.finish(10s);
  }
  std::vector<std::string> doneBefore;
  for (const auto& [id, ends] : first.ends)
    if (ends.back()["outcome"] == "done") doneBefore.push_back(id);
  ASSERT_GE(doneBefore.size(), 2u);

  std::vector<std::string> resumeOptions = options;
  resumeOptions.push_back("--resume");
  const ProcessRun resumed = runToEnd(fleet(resumeOptions), 120s);
  ASSERT_EQ(resumed.status, 0) << resumed.out << resumed.err;
  FleetEvents second;
  for (const OutputLine& line : resumed.lines) second.add(line.text);
  for (const std::string& id : doneBefore) EXPECT_EQ(second.startsOf(id), 0u) << id << " was called again";
  const std::set<std::string> calledAgain(second.started.begin(), second.started.end());
  EXPECT_EQ(calledAgain.size() + doneBefore.size(), 6u);
  EXPECT_EQ(second.last()["done"], 6);
  expectConsistentJournal();
}

// The first SIGTERM starts no new call and lets the running ones finish;
// the second ends them, recorded as interrupted; a resumed run then
// finishes the fleet.
TEST_F(FleetRunTest, SigtermStopsInTwoStages) {
  std::vector<SettingMap> lifts;
  for (int n = 17; n <= 20; ++n) {
    startDevice(n);
    lifts.push_back(lift(n, "qav" + two(n)));
  }
  writeList(lifts);
  const std::vector<std::string> options{"--parallel", "2", "--call-interval", "200", "--retry-after", "2"};
  {
    SCOPED_TRACE("one SIGTERM");
    Process run(fleet(options));
    FleetEvents events;
    ASSERT_TRUE(readUntil(run, events, [](const json& e) { return e["event"] == "lift-start"; }));
    run.sendSignal(SIGTERM);
    EXPECT_EQ(run.finish(60s), 3) << run.run().err;
    events = eventsOf(run.lines());
    ASSERT_FALSE(events.started.empty());
    EXPECT_LT(events.started.size(), 4u);
    for (const std::string& id : events.started) {
      ASSERT_EQ(events.ends[id].size(), 1u) << id;
      EXPECT_EQ(events.ends[id].front()["outcome"], "done") << id;
    }
    EXPECT_EQ(events.last()["event"], "run-end");
    expectConsistentJournal();
  }
  std::vector<std::string> resumeOptions = options;
  resumeOptions.push_back("--resume");
  {
    SCOPED_TRACE("two SIGTERMs");
    Process run(fleet(resumeOptions));
    FleetEvents events;
    ASSERT_TRUE(readUntil(run, events, [](const json& e) { return e["event"] == "lift-start"; }));
    run.sendSignal(SIGTERM);
    ASSERT_TRUE(readUntil(run, events, [](const json& e) { return e["event"] == "stop"; }));
    run.sendSignal(SIGTERM);
    EXPECT_EQ(run.finish(60s), 3) << run.run().err;
    events = eventsOf(run.lines());
    ASSERT_FALSE(events.started.empty());
    for (const std::string& id : events.started) {
      ASSERT_EQ(events.ends[id].size(), 1u) << id;
      EXPECT_EQ(events.ends[id].front()["outcome"], "interrupted") << id;
    }
    expectConsistentJournal();
  }
  const ProcessRun finished = runToEnd(fleet(resumeOptions), 120s);
  ASSERT_EQ(finished.status, 0) << finished.err;
  FleetEvents events;
  for (const OutputLine& line : finished.lines) events.add(line.text);
  EXPECT_EQ(events.last()["done"], 4);
  expectConsistentJournal();
}

}  // namespace
}  // namespace qav::testing

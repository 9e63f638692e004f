// qav-fleet run as a technician runs it: the common settings from qav-cli's
// sources under the rows, the dry run's plans, and bad lists and options
// refused with status 2 before anything else happens.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "temporary_directory.h"

namespace {

using qav::testing::Command;
using qav::testing::ProcessRun;
using qav::testing::runToEnd;

class FleetProgram : public ::testing::Test {
 protected:
  ProcessRun run(const std::string& program, std::vector<std::string> args,
                 std::map<std::string, std::string> env = {}) {
    args.insert(args.begin(), program);
    env.emplace("PATH", "/usr/bin:/bin");
    env.emplace("TZ", "UTC");
    return runToEnd(Command{args, env, scratch.path()}, std::chrono::seconds(30));
  }
  ProcessRun fleet(std::vector<std::string> args, std::map<std::string, std::string> env = {}) {
    return run(QAV_FLEET, std::move(args), std::move(env));
  }

  qav::testing::TemporaryDirectory scratch;
};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The plan events of each lift, keyed by the message of its "lift" event.
std::map<std::string, std::vector<std::string>> plansByLift(const std::string& out) {
  std::map<std::string, std::vector<std::string>> plans;
  std::string lift;
  for (const std::string& line : linesOf(out)) {
    const std::string marker = "\"event\":\"lift\",\"message\":\"";
    if (const std::size_t at = line.find(marker); at != std::string::npos) {
      lift = line.substr(at + marker.size(), line.rfind('"') - at - marker.size());
    } else if (line.find("\"event\":\"dry-run\"") == std::string::npos) {
      plans[lift].push_back(line);
    }
  }
  return plans;
}

TEST_F(FleetProgram, DryRunListsEachLiftsPlanAsQavCliListsItsOwn) {
  // The actions come from the environment over the configuration file, the
  // dial mode from the command line over the file; a row's value goes over
  // all of them.
  scratch.write("common.conf", "[device]\nactions = clock\ndial-mode = 0\nroutine-at = 09:00\n");
  scratch.write("anlagen.csv",
                "id;target;dial-mode;bemerkung\n"
                "a;0301;;\"Hof\nlinks\"\n"
                "b;0302;2;\n");
  const std::vector<std::string> common{"--config", "common.conf", "--dial-mode", "1"};
  const std::map<std::string, std::string> env{{"QAV_ACTIONS", "routine,dial-mode"}};
  std::vector<std::string> args{"run", "anlagen.csv", "--dry-run", "--json"};
  args.insert(args.end(), common.begin(), common.end());
  const ProcessRun fleetRun = fleet(args, env);
  ASSERT_EQ(fleetRun.status, 0) << fleetRun.err;

  std::vector<std::string> first{"--dry-run", "--json", "--target", "0301"};
  first.insert(first.end(), common.begin(), common.end());
  std::vector<std::string> second = first;
  second[3] = "0302";
  second.back() = "2";
  std::map<std::string, std::vector<std::string>> expected;
  for (const auto& [lift, cliArgs] : {std::pair{"Zeile 2: a", first}, std::pair{"Zeile 4: b", second}}) {
    const ProcessRun cli = run(QAV_CLI, cliArgs, env);
    ASSERT_EQ(cli.status, 0) << cli.err;
    expected[lift] = plansByLift(cli.out)[""];
    ASSERT_GE(expected[lift].size(), 5u) << cli.out;
  }
  EXPECT_EQ(plansByLift(fleetRun.out), expected) << fleetRun.out;
}

TEST_F(FleetProgram, BadRowsAreAllNamedAndNothingElseHappens) {
  scratch.write("anlagen.csv", "target;pin\n0301;1234\n0302;12\n0301;1234\n");
  const ProcessRun bad = fleet({"run", "anlagen.csv", "--sip-server", "127.0.0.1", "--sip-user", "qav",
                                "--actions", "clock"},
                               {{"QAV_SIP_PASSWORD", "geheim"}});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err,
            "Fehler: Zeile 3: QAV-PIN muss vierstellig sein.\n"
            "Fehler: Zeile 4: Ziel 0301 Kabine 0 steht schon in Zeile 2.\n");
  // A call needs the account: its absence is a finding of every row.
  const ProcessRun noAccount = fleet({"run", "anlagen.csv", "--pin", "1234"});
  EXPECT_EQ(noAccount.status, 2);
  EXPECT_NE(noAccount.err.find("Fehler: Zeile 2: SIP-Server fehlt.\n"), std::string::npos) << noAccount.err;
  EXPECT_NE(noAccount.err.find("Fehler: Zeile 4: SIP-Passwort fehlt.\n"), std::string::npos);
}

TEST_F(FleetProgram, BadOptionsAreRefusedAndHelpNamesTheCommands) {
  scratch.write("anlagen.csv", "target\n0301\n");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{}, "Befehl fehlt: run, report oder history"},
      {{"fahren"}, "Unbekannter Befehl: fahren"},
      {{"run", "--dry-run"}, "Liste fehlt: qav-fleet run LISTE [Optionen]"},
      {{"run", "anlagen.csv", "--parallel", "0"}, "--parallel muss eine Zahl von 1 bis 100 sein: 0"},
      {{"run", "anlagen.csv", "--parallel=101"}, "--parallel muss eine Zahl von 1 bis 100 sein: 101"},
      {{"run", "anlagen.csv", "--retry-after", "-1"}, "--retry-after muss eine Zahl von 0 bis 86400 sein: -1"},
      {{"run", "anlagen.csv", "--parallell", "2"}, "Unbekannte Option: --parallell"},
      {{"run", "anlagen.csv", "andere.csv"}, "Nur eine Liste je Lauf: anlagen.csv und andere.csv"},
      {{"run", "anlagen.csv", "--dry-run", "--cabin", "x"}, "Ungültiger Zahlenwert für cabin: x"},
  };
  for (const auto& [args, message] : cases) {
    const ProcessRun refused = fleet(args);
    EXPECT_EQ(refused.status, 2) << message;
    EXPECT_EQ(refused.err, "Fehler: " + message + "\nMit --help werden alle Optionen angezeigt.\n");
  }
  const ProcessRun help = fleet({"run", "anlagen.csv", "--parallel", "0", "--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* usage : {"qav-fleet run LISTE", "qav-fleet report", "qav-fleet history NUMMER|ID"})
    EXPECT_NE(help.out.find(usage), std::string::npos) << usage;
}

}  // namespace

// qav-fleet report and history over a journal written as a run writes it.
#include "fleet/journal_commands.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "journal_fixture.h"
#include "scoped_environment.h"

namespace qav::fleet {
namespace {

using namespace qav::fleet::testing;

struct Output {
  int status;
  std::string out;
  std::string err;
};

class JournalCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    environment.set("TZ", "UTC");
    tzset();
  }
  void TearDown() override { tzset(); }

  Output command(const std::string& name, std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", db});
    std::ostringstream out;
    std::ostringstream err;
    const int status = journalCommand(name, args, out, err);
    return {status, out.str(), err.str()};
  }

  // Run 1: aufzug-1 done at once; aufzug-2 busy, then its PIN refused;
  // 0309 never called. Run 2: aufzug-1 busy.
  void recordTwoRuns() {
    FleetJournal journal(db);
    const std::vector<FleetLift> lifts{lift(2, "0301", "aufzug-1", "Haus \"A\"; Keller"), lift(3, "0302", "aufzug-2"),
                                       lift(5, "0309", "")};
    const std::int64_t first = journal.beginRun(directory.path("anlagen.csv"), lifts, "--actions clock");
    journal.attemptStarted(first, 0, 1, at(0));
    journal.attemptEnded(first, 0, attempt(1, 0, 37, LiftOutcome::Done, "", {clockLabel, "Parameter Datum setzen"}));
    journal.attemptEnded(first, 1, attempt(1, 2, 20, LiftOutcome::RetryLater, "Besetzt", {}, "SIP 486 Busy Here", 3));
    journal.attemptEnded(first, 1,
                         attempt(2, 400, 15, LiftOutcome::GiveUp, "PIN prüfen", {}, "PIN wurde abgelehnt", 3));
    journal.endRun(first, at(500), false);
    const std::int64_t second = journal.beginRun(directory.path("anlagen.csv"), lifts, "");
    journal.attemptEnded(second, 0, attempt(1, 90000, 20, LiftOutcome::RetryLater, "Besetzt", {}, "", 3));
    journal.endRun(second, at(90100), false);
  }

  static constexpr const char* clockLabel = "Parameter Uhrzeit auf 10:49 Uhr setzen";
  qav::testing::ScopedEnvironment environment;
  qav::testing::TemporaryDirectory directory;
  std::string db = directory.path("qav-fleet.db");
};

TEST_F(JournalCommandsTest, ReportShowsEveryLiftWithResultValuesAttemptsAndReasons) {
  recordTwoRuns();
  const Output text = command("report", {"1"});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Lauf 1 mit " + directory.path("anlagen.csv")), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("beendet 09.12.2026 10:57:23: beendet, nicht jede Anlage ist fertig"), std::string::npos);
  EXPECT_NE(text.out.find("3 Anlagen: 1 erledigt, 1 fehlgeschlagen, 1 offen"), std::string::npos);
  EXPECT_NE(text.out.find("[✓] Zeile 2 aufzug-1 (0301): erledigt\n"
                          "    Bemerkung: Haus \"A\"; Keller\n"
                          "    Versuch 1: 09.12.2026 10:49:03 bis 10:49:40 (37 s), erledigt\n"
                          "      gesendet: Parameter Uhrzeit auf 10:49 Uhr setzen\n"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("[✗] Zeile 3 aufzug-2 (0302): PIN prüfen\n"
                          "    Versuch 1: 09.12.2026 10:49:05 bis 10:49:25 (20 s), später erneut: Besetzt\n"
                          "      Meldung von qav-cli: SIP 486 Busy Here\n"
                          "    Versuch 2: 09.12.2026 10:55:43 bis 10:55:58 (15 s), aufgegeben: PIN prüfen\n"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("[ ] Zeile 5 0309: nicht angerufen"), std::string::npos);

  // Without a number: the last run.
  const Output last = command("report", {"--json"});
  ASSERT_EQ(last.status, 0) << last.err;
  const nlohmann::json json = nlohmann::json::parse(last.out);
  EXPECT_EQ(json["run"]["id"], 2);
  EXPECT_EQ(json["lifts"][0]["result"], "retry-later");
  EXPECT_EQ(json["lifts"][0]["attempts"][0]["exitStatus"], 3);
  EXPECT_EQ(json["lifts"][2]["result"], "not-called");
  EXPECT_EQ(json["summary"]["failed"], 1);
}

TEST_F(JournalCommandsTest, CsvExportQuotesEveryFieldForAGermanSpreadsheet) {
  recordTwoRuns();
  const std::string file = directory.path("bericht.csv");
  const Output written = command("report", {"1", "--csv", file});
  ASSERT_EQ(written.status, 0) << written.err;
  std::ifstream in(file, std::ios::binary);
  const std::string csv((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(csv.rfind("\xEF\xBB\xBF\"Lauf\";\"Zeile\";\"ID\";", 0), 0u) << csv;
  EXPECT_NE(csv.find("\r\n\"1\";\"2\";\"aufzug-1\";\"0301\";\"0\";\"Haus \"\"A\"\"; Keller\";\"erledigt\";\"\";\"1\";"
                     "\"Parameter Uhrzeit auf 10:49 Uhr setzen; Parameter Datum setzen\";"
                     "\"2026-12-09 10:49:03\";\"2026-12-09 10:49:40\";\"\"\r\n"),
            std::string::npos)
      << csv;
  EXPECT_NE(csv.find("\"fehlgeschlagen\";\"PIN prüfen\";\"2\";"), std::string::npos);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
}

TEST_F(JournalCommandsTest, HistoryNamesTheLastSuccessfulProgrammingAcrossRuns) {
  recordTwoRuns();
  for (const char* name : {"aufzug-1", "0301"}) {
    const Output text = command("history", {name});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out.rfind("Anlage aufzug-1 (0301)\n"
                             "  Zuletzt programmiert: 09.12.2026 10:49:40 (Lauf 1, Zeile 2 von " +
                                 directory.path("anlagen.csv") +
                                 ")\n"
                                 "    gesendet: Parameter Uhrzeit auf 10:49 Uhr setzen\n",
                             0),
              0u)
        << text.out;
    // Newest run first.
    EXPECT_LT(text.out.find("\n  Lauf 2, Zeile 2"), text.out.find("\n  Lauf 1, Zeile 2"));
  }
  const Output json = command("history", {"0302", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const nlohmann::json parsed = nlohmann::json::parse(json.out);
  EXPECT_TRUE(parsed["lifts"][0]["lastProgrammed"].is_null());
  EXPECT_EQ(parsed["lifts"][0]["runs"].size(), 2u);
  EXPECT_EQ(parsed["lifts"][0]["runs"][1]["attempts"][1]["errorLine"], "PIN wurde abgelehnt");

  const Output never = command("history", {"0309"});
  EXPECT_NE(never.out.find("Noch nie erfolgreich programmiert."), std::string::npos);
}

TEST_F(JournalCommandsTest, BadArgumentsAndMissingRunsOrLiftsAreRefused) {
  recordTwoRuns();
  struct Case {
    std::string name;
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const std::vector<Case> cases{
      {"report", {"x1"}, 2, "Der Lauf ist eine Nummer ab 1, nicht „x1“."},
      {"report", {"1", "2"}, 2, "report nimmt höchstens einen Lauf: 2"},
      {"report", {"--csv"}, 2, "Wert fehlt für --csv"},
      {"history", {"0301", "--csv", "x"}, 2, "Unbekannte Option für history: --csv"},
      {"history", {}, 2, "history braucht die Nummer oder ID"},
      {"report", {"9"}, 3, "Lauf 9 steht nicht im Journal " + db},
      {"history", {"0399"}, 3, "Anlage „0399“ steht in keinem Lauf des Journals " + db},
  };
  for (const Case& c : cases) {
    const Output output = command(c.name, c.args);
    EXPECT_EQ(output.status, c.status) << c.message;
    EXPECT_NE(output.err.find("Fehler: " + c.message), std::string::npos) << output.err;
    EXPECT_EQ(output.out, "");
  }
  db = directory.path("fehlt.db");
  const Output missing = command("report", {});
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(missing.err, "Fehler: Journal " + db + " gibt es nicht (mit --db lässt sich ein anderes angeben).\n");
}

}  // namespace
}  // namespace qav::fleet

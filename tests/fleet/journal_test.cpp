// The fleet journal: resuming a run, a writer killed at any moment, and the
// files it must refuse before any call.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "fleet/fleet_journal.h"
#include "fleet/journal_commands.h"
#include "journal_fixture.h"
#include "process.h"

namespace qav::fleet {
namespace {

using namespace qav::fleet::testing;

class FleetJournalTest : public ::testing::Test {
 protected:
  std::vector<FleetLift> list() const {
    return {lift(2, "0301", "aufzug-1", "Haus A"), lift(3, "0302", "aufzug-2"), lift(4, "0303", "aufzug-3")};
  }

  qav::testing::TemporaryDirectory directory;
  std::string db = directory.path("qav-fleet.db");
  std::string listPath = directory.path("anlagen.csv");
};

TEST_F(FleetJournalTest, ResumeMarksLostAttemptsAndRefusesAListThatAsksForOtherCalls) {
  {
    FleetJournal journal(db);
    const std::int64_t run = journal.beginRun(listPath, list(), "");
    journal.attemptEnded(run, 0, attempt(1, 0, 30, LiftOutcome::Done));
    journal.attemptStarted(run, 1, 1, at(1));
    journal.attemptEnded(run, 2, attempt(1, 2, 10, LiftOutcome::RetryLater, "Besetzt"));
    journal.attemptStarted(run, 2, 2, at(300));
    // Gone without endRun, as with kill -9.
  }

  auto changed = [&](auto change) {
    std::vector<FleetLift> lifts = list();
    change(lifts);
    FleetJournal journal(db);
    return thrown([&] { journal.resumeRun(listPath, lifts); });
  };
  const std::string pin = changed([](auto& lifts) { lifts[1].settings.device.pin = "4711"; });
  EXPECT_NE(pin.find("Lauf 1 kann nicht fortgesetzt werden: die Liste " + listPath + " hat sich seither geändert."),
            std::string::npos);
  EXPECT_NE(pin.find("\n  Zeile 3 (aufzug-2): pin geändert."), std::string::npos) << pin;
  EXPECT_EQ(pin.find("4711"), std::string::npos);
  EXPECT_NE(changed([](auto& lifts) {
              lifts[2].settings.sip.user = "21";
            }).find("Zeile 4 (aufzug-3): sip-user „21“ statt „“."),
            std::string::npos);
  EXPECT_NE(
      changed([](auto& lifts) { lifts.push_back(lift(6, "0304", "aufzug-4")); }).find("Zeile 6 (aufzug-4) ist neu."),
      std::string::npos);
  EXPECT_NE(changed([](auto& lifts) { lifts.pop_back(); }).find("aufzug-3 (bisher Zeile 4) fehlt."), std::string::npos);
  EXPECT_NE(changed([](auto& lifts) {
              std::swap(lifts[0], lifts[1]);
              std::swap(lifts[0].line, lifts[1].line);
            }).find("Reihenfolge geändert: Zeile 2 (aufzug-2) stand bisher in Zeile 3."),
            std::string::npos);

  // A remark, an id or the line a row starts on do not change the calls.
  std::vector<FleetLift> lifts = list();
  lifts[0].remark = "Haus A, Hintereingang";
  lifts[1].id = "aufzug-2b";
  lifts[2].line = 7;
  FleetJournal journal(db);
  EXPECT_FALSE(journal.resumeRun(directory.path("andere.csv"), lifts));
  const std::optional<ResumedRun> resumed = journal.resumeRun(directory.path("./anlagen.csv"), lifts);
  ASSERT_TRUE(resumed);
  EXPECT_EQ(resumed->id, 1);
  ASSERT_EQ(resumed->lifts.size(), 3u);
  EXPECT_EQ(resumed->lifts[0].last, LiftOutcome::Done);
  EXPECT_EQ(resumed->lifts[0].counted, 1);
  EXPECT_EQ(resumed->lifts[1].last, LiftOutcome::Interrupted);
  EXPECT_EQ(resumed->lifts[1].attempts, 1);
  EXPECT_EQ(resumed->lifts[1].counted, 0);
  EXPECT_EQ(resumed->lifts[2].last, LiftOutcome::Interrupted);
  EXPECT_EQ(resumed->lifts[2].attempts, 2);
  EXPECT_EQ(resumed->lifts[2].counted, 1);

  const RunRecord record = *journal.readRun(1);
  EXPECT_TRUE(record.run.going);
  EXPECT_EQ(record.lifts[0].remark, "Haus A, Hintereingang");
  EXPECT_EQ(record.lifts[1].name(), "aufzug-2b");
  EXPECT_EQ(record.lifts[2].line, 7u);
  EXPECT_EQ(record.lifts[2].attempts[1].record.explanation, "qav-fleet endete während des Anrufs");
  EXPECT_FALSE(record.lifts[2].attempts[1].endKnown);

  journal.endRun(1, at(900), true);
  EXPECT_FALSE(journal.resumeRun(listPath, lifts));
}

// A writer killed at random moments of its transactions leaves a database
// that is whole and lacks at most the attempt it was writing.
TEST_F(FleetJournalTest, KilledWriterLosesOnlyTheAttemptItWasWriting) {
  for (const int killAfter : {20, 60, 150}) {
    const std::string path = directory.path("kill-" + std::to_string(killAfter) + ".db");
    const std::vector<FleetLift> lifts = list();
    int progress[2];
    ASSERT_EQ(::pipe(progress), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      ::close(progress[0]);
      try {
        FleetJournal journal(path);
        const std::int64_t run = journal.beginRun(listPath, lifts, "");
        for (int i = 0;; ++i) {
          const std::size_t lift = static_cast<std::size_t>(i) % lifts.size();
          const int number = i / static_cast<int>(lifts.size()) + 1;
          journal.attemptStarted(run, lift, number, at(i));
          journal.attemptEnded(run, lift, attempt(number, i, 1, LiftOutcome::RetryLater, "Besetzt", {"x"}));
          if (::write(progress[1], &i, sizeof i) != sizeof i) break;
        }
      } catch (...) {
      }
      ::_exit(1);
    }
    ::close(progress[1]);
    int recorded = -1;
    for (int i = 0; recorded + 1 < killAfter && ::read(progress[0], &i, sizeof i) == sizeof i;) recorded = i;
    if (killAfter == 60) {
      // The report reads while the run writes.
      std::ostringstream out;
      std::ostringstream err;
      EXPECT_EQ(journalCommand("report", {"--db", path}, out, err), 0) << err.str();
      EXPECT_NE(out.str().find(": läuft noch\n"), std::string::npos) << out.str();
    }
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    for (int i = 0; ::read(progress[0], &i, sizeof i) == sizeof i;) recorded = i;
    ::close(progress[0]);
    ASSERT_GE(recorded + 1, killAfter);

    FleetJournal journal(path);
    EXPECT_EQ(queryText(path, "PRAGMA integrity_check"), "ok");
    const int ended = std::stoi(queryText(path, "SELECT count(*) FROM attempts WHERE outcome IS NOT NULL"));
    const int open = std::stoi(queryText(path, "SELECT count(*) FROM attempts WHERE outcome IS NULL"));
    // Every attempt it reported ended, and at most the next one besides.
    EXPECT_GE(ended, recorded + 1);
    EXPECT_LE(ended, recorded + 2);
    EXPECT_LE(open, 1);
    ASSERT_TRUE(journal.resumeRun(listPath, lifts));
    EXPECT_EQ(queryText(path, "SELECT count(*) FROM attempts WHERE outcome = 'interrupted'"), std::to_string(open));
    EXPECT_EQ(queryText(path, "SELECT count(*) FROM attempts WHERE outcome = 'retry-later' AND sent = '[\"x\"]'"),
              std::to_string(ended));
  }
}

TEST_F(FleetJournalTest, RefusesFilesItCannotUseAndNamesThem) {
  const std::string text = directory.write("notizen.db", "Aufzug 1: Haus A\n");
  for (const JournalAccess access : {JournalAccess::Write, JournalAccess::Read})
    EXPECT_EQ(thrown([&] { FleetJournal(text, access); }), "Journal " + text + " ist keine SQLite-Datenbank.");

  const std::string foreign = directory.path("fremd.db");
  sqlite3* other = nullptr;
  sqlite3_open(foreign.c_str(), &other);
  sqlite3_exec(other, "CREATE TABLE kunden (name TEXT)", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(thrown([&] { FleetJournal{foreign}; }),
            "Journal " + foreign + " ist eine SQLite-Datenbank, aber kein Journal von qav-fleet.");

  { FleetJournal created(db); }
  sqlite3_open(db.c_str(), &other);
  sqlite3_exec(other, "PRAGMA user_version = 2", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_NE(thrown([&] { FleetJournal{db}; }).find("Journal " + db + " stammt von einer neueren Version von qav-fleet"),
            std::string::npos);

  // Held by a running qav-fleet: a second writer is refused, readers are not.
  const std::string held = directory.path("held.db");
  {
    FleetJournal running(held);
    running.beginRun(listPath, list(), "");
    EXPECT_EQ(thrown([&] { FleetJournal{held}; }),
              "Journal " + held + " wird gerade von einem anderen laufenden qav-fleet benutzt (Prozess " +
                  std::to_string(::getpid()) +
                  "). Bitte warten, bis dieser Lauf endet, oder mit --db ein anderes Journal wählen.");
    FleetJournal reader(held, JournalAccess::Read);
    EXPECT_EQ(reader.lastRun(), 1);
  }
  EXPECT_EQ(thrown([&] { FleetJournal{held}; }), "");
}

// A read-only disk (a read-only bind mount in a mount namespace of a
// forked test) or, without root, a read-only folder and file.
TEST_F(FleetJournalTest, RefusesAReadOnlyDiskBeforeWritingAndStillReadsFromIt) {
  const std::string folder = directory.path("schreibgeschuetzt");
  std::filesystem::create_directory(folder);
  const std::string existing = folder + "/alt.db";
  { FleetJournal(existing).beginRun(listPath, list(), ""); }
  const std::string fresh = folder + "/neu.db";
  const std::string results = directory.path("results");

  const int status = qav::testing::runForked([&] {
    const bool mounted = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                         ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                         ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
                         ::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    if (!mounted) {
      if (::geteuid() == 0) return 77;
      std::filesystem::permissions(existing, std::filesystem::perms::owner_read);
      std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
    std::ofstream out(results);
    out << thrown([&] { FleetJournal{fresh}; }) << "\n" << thrown([&] { FleetJournal{existing}; }) << "\n";
    out << thrown([&] { FleetJournal(existing, JournalAccess::Read).lastRun(); }) << "\n";
    return 0;
  });
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
  if (status == 77) GTEST_SKIP() << "no mount namespace";
  ASSERT_EQ(status, 0);
  std::ifstream in(results);
  std::string freshError, existingError, readError;
  std::getline(in, freshError);
  std::getline(in, existingError);
  std::getline(in, readError);
  for (const auto& [file, error] : {std::pair(fresh, freshError), std::pair(existing, existingError)}) {
    EXPECT_EQ(error.rfind("Journal " + file + " kann nicht geschrieben werden: ", 0), 0u) << error;
    if (::geteuid() == 0) {
      EXPECT_NE(error.find("das Dateisystem ist schreibgeschützt."), std::string::npos) << error;
    }
  }
  EXPECT_EQ(readError, "");
}

}  // namespace
}  // namespace qav::fleet

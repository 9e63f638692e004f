// The SQLite journal of fleet runs: runs, lifts and attempts, each attempt
// in a transaction of its own, so that a killed run loses only its calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fleet/fleet_lift.h"
#include "fleet/journal_lock.h"
#include "fleet/journal_records.h"
#include "fleet/lift_outcome.h"

struct sqlite3;

namespace qav::fleet {

// Where a lift stands in a run that is resumed.
struct LiftStanding {
  std::optional<LiftOutcome> last;  // outcome of its last ended attempt
  int attempts = 0;                 // ended attempts, interrupted ones included
  int counted = 0;                  // attempts that count against the retry rounds
};

// Write: a run records into it; it is held for the object's life so that
// no second run writes beside it. Read: the report and the history, also
// while a run is going; the file must exist.
enum class JournalAccess { Write, Read };

struct ResumedRun {
  std::int64_t id = 0;
  std::vector<LiftStanding> lifts;  // in the order of the list
};

// Owned by the run or the command that opened it; used from one thread.
// Every error is a std::runtime_error with a German sentence that names the
// file, thrown before any call is placed.
class FleetJournal {
 public:
  // Opens or creates the database; refuses a file that is no SQLite
  // database, one that another run holds, and one it cannot write.
  explicit FleetJournal(const std::string& path);
  // For Read: refuses a missing file, one that is no journal of qav-fleet,
  // and one of a newer qav-fleet.
  FleetJournal(const std::string& path, JournalAccess access);
  ~FleetJournal();
  FleetJournal(const FleetJournal&) = delete;
  FleetJournal& operator=(const FleetJournal&) = delete;

  // A new run of the list at `listPath` (made absolute) with these lifts;
  // `options` is the command line of the run, for the report.
  std::int64_t beginRun(const std::string& listPath, const std::vector<FleetLift>& lifts,
                        const std::string& options);
  // The last unfinished run of the same list, or none. Its attempts that
  // never ended are recorded as interrupted now, so that a lift's next
  // attempt is number attempts + 1. Only the newest run of the list is
  // resumed: after a complete run, an older one is over. The run's lifts
  // take the ids, remarks and lines of the list as it is now. Throws, saying which lift
  // and what, when the list changed in a way that matters (lifts added,
  // removed or reordered, or a value of a call changed).
  std::optional<ResumedRun> resumeRun(const std::string& listPath, const std::vector<FleetLift>& lifts);

  void attemptStarted(std::int64_t run, std::size_t lift, int number, WallTime started);
  void attemptEnded(std::int64_t run, std::size_t lift, const AttemptRecord& attempt);
  // `complete`: every lift reached a final outcome (done or given up).
  void endRun(std::int64_t run, WallTime ended, bool complete);

  // Reading. The newest run, if any.
  std::optional<std::int64_t> lastRun() const;
  std::optional<RunRecord> readRun(std::int64_t run) const;
  // Every lift whose target or id is `targetOrId`, in every run, newest
  // run first.
  std::vector<LiftInRun> liftHistory(const std::string& targetOrId) const;

  // The database's absolute path.
  const std::string& path() const { return path_; }
  sqlite3* database() const { return db_.get(); }

  // The layout this build writes (PRAGMA user_version).
  static constexpr int schemaVersion = 1;

 private:
  struct Close {
    void operator()(sqlite3* db) const;
  };
  void openForWriting();
  void openForReading();
  void prepareSchema();
  void checkSchema(bool emptyAllowed);
  void noteOwner(std::int64_t run);
  RunInfo runInfo(std::int64_t run) const;
  std::vector<StoredLift> storedLifts(std::int64_t run, const std::string& only = {}) const;

  std::string path_;
  std::unique_ptr<JournalLock> lock_;  // held while writing
  std::unique_ptr<sqlite3, Close> db_;
};

}  // namespace qav::fleet

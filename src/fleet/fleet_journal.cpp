#include "fleet/fleet_journal.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "fleet/call_values.h"
#include "fleet/list_changes.h"
#include "fleet/outcome_text.h"
#include "fleet/sqlite_statement.h"
#include "fleet/time_text.h"

namespace qav::fleet {

namespace {

// "QAVF": marks the file as a journal of qav-fleet for file(1) and for us.
constexpr int applicationId = 0x51415646;
constexpr int busyWaitMs = 5000;

// Times are milliseconds since 1970 (UTC); an attempt without an outcome
// was started and has not ended (yet). Lifts keep the values of their call
// as the difference from the run's base values.
constexpr const char* schema = R"sql(
CREATE TABLE runs (
  id INTEGER PRIMARY KEY,
  list_path TEXT NOT NULL,
  options TEXT NOT NULL,
  started INTEGER NOT NULL,
  ended INTEGER,
  complete INTEGER NOT NULL DEFAULT 0,
  owner INTEGER,
  base_values TEXT NOT NULL
);
CREATE INDEX runs_by_list ON runs (list_path, id);
CREATE TABLE lifts (
  run INTEGER NOT NULL REFERENCES runs (id),
  position INTEGER NOT NULL,
  line INTEGER NOT NULL,
  lift_id TEXT NOT NULL,
  target TEXT NOT NULL,
  cabin INTEGER NOT NULL,
  remark TEXT NOT NULL,
  values_difference TEXT NOT NULL,
  PRIMARY KEY (run, position)
) WITHOUT ROWID;
CREATE INDEX lifts_by_target ON lifts (target);
CREATE INDEX lifts_by_id ON lifts (lift_id);
CREATE TABLE attempts (
  run INTEGER NOT NULL,
  lift INTEGER NOT NULL,
  number INTEGER NOT NULL,
  started INTEGER NOT NULL,
  ended INTEGER,
  exit_status INTEGER,
  error_line TEXT NOT NULL DEFAULT '',
  sent TEXT NOT NULL DEFAULT '[]',
  outcome TEXT CHECK (outcome IN ('done', 'retry-later', 'give-up', 'interrupted')),
  explanation TEXT NOT NULL DEFAULT '',
  PRIMARY KEY (run, lift, number),
  FOREIGN KEY (run, lift) REFERENCES lifts (run, position)
) WITHOUT ROWID;
)sql";

constexpr const char* lostExplanation = "qav-fleet endete während des Anrufs";

std::string absolute(const std::string& path) { return std::filesystem::absolute(path).lexically_normal().string(); }

// The same list under another spelling of its path is the same list.
std::string listIdentity(const std::string& listPath) {
  std::error_code ignored;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(listPath, ignored);
  return canonical.empty() ? absolute(listPath) : canonical.string();
}

std::runtime_error failure(const std::string& path, const std::string& what) {
  return std::runtime_error("Journal " + path + " " + what);
}

// "file:" URI of the path that SQLite reads without looking for changes.
std::string immutableUri(const std::string& path) {
  std::string uri = "file:";
  for (const char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      static constexpr char hex[] = "0123456789ABCDEF";
      uri += '%';
      uri += hex[static_cast<unsigned char>(c) >> 4];
      uri += hex[static_cast<unsigned char>(c) & 0xf];
    } else {
      uri += c;
    }
  }
  return uri + "?immutable=1";
}

int pragmaNumber(sqlite3* db, const char* pragma) {
  Statement statement(db, pragma);
  return statement.step() ? static_cast<int>(statement.integer(0)) : 0;
}

}  // namespace

void FleetJournal::Close::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

FleetJournal::FleetJournal(const std::string& path) : FleetJournal(path, JournalAccess::Write) {}

FleetJournal::FleetJournal(const std::string& path, JournalAccess access) : path_(absolute(path)) {
  struct stat status {};
  const bool exists = ::stat(path_.c_str(), &status) == 0;
  if (exists && S_ISDIR(status.st_mode)) throw failure(path_, "ist ein Ordner, keine Datei.");
  if (exists && !S_ISREG(status.st_mode)) throw failure(path_, "ist keine gewöhnliche Datei.");
  if (access == JournalAccess::Write) {
    openForWriting();
  } else {
    if (!exists) throw failure(path_, "gibt es nicht (mit --db lässt sich ein anderes angeben).");
    openForReading();
  }
}

FleetJournal::~FleetJournal() = default;

void FleetJournal::openForWriting() {
  lock_ = std::make_unique<JournalLock>(path_);
  // Made here and not by SQLite, so that a new journal is the owner's alone:
  // it keeps the lifts' PINs as the list does. SQLite gives its side files
  // the same rights.
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int error = errno;
    if (error == EROFS) throw failure(path_, "kann nicht geschrieben werden: das Dateisystem ist schreibgeschützt.");
    if (error == EACCES || error == EPERM)
      throw failure(path_, "kann nicht geschrieben werden: keine Schreibberechtigung für die Datei oder ihren Ordner.");
    throw failure(path_, "kann nicht geöffnet werden: " + std::generic_category().message(error) + ".");
  }
  ::close(fd);

  sqlite3* db = nullptr;
  const int opened = sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  db_.reset(db);
  if (opened != SQLITE_OK) throw journalError(db, opened);
  if (sqlite3_db_readonly(db, "main") == 1)
    throw failure(path_, "kann nicht geschrieben werden: die Datei ist schreibgeschützt.");
  sqlite3_busy_timeout(db, busyWaitMs);
  checkSchema(true);
  // WAL: readers (report, history) never wait for the run and the run never
  // waits for them; a killed writer leaves the log, which the next opening
  // replays. synchronous=FULL syncs the log at every commit, so that an
  // attempt recorded as ended survives a power cut as well: losing it would
  // call a finished lift again, perhaps with a PIN the device refused.
  Statement(db, "PRAGMA journal_mode=WAL").step();
  execute(db, "PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON");
  prepareSchema();
}

void FleetJournal::openForReading() {
  auto open = [this](const std::string& name, int flags) {
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READONLY | flags, nullptr);
    db_.reset(db);
    if (opened != SQLITE_OK) throw journalError(db, opened);
    sqlite3_busy_timeout(db, busyWaitMs);
    checkSchema(false);
  };
  try {
    open(path_, 0);
  } catch (const JournalError& error) {
    // A WAL database needs its shared-memory file, which a read-only disk
    // cannot take. Nothing can write there, so the file is read as it is,
    // unless a killed run left committed data in its log.
    struct statvfs disk {};
    const bool readOnlyDisk = ::statvfs(path_.c_str(), &disk) == 0 && (disk.f_flag & ST_RDONLY) != 0;
    struct stat log {};
    const bool logLeft = ::stat((path_ + "-wal").c_str(), &log) == 0 && log.st_size > 0;
    if ((error.code() & 0xff) != SQLITE_CANTOPEN || !readOnlyDisk) throw;
    if (logLeft)
      throw failure(path_, "liegt auf einem schreibgeschützten Datenträger, und " + path_ +
                               "-wal hält noch Einträge eines abgebrochenen Laufs; lesbar erst auf einem "
                               "beschreibbaren Datenträger.");
    open(immutableUri(path_), SQLITE_OPEN_URI);
  }
}

// A journal carries our application id; a fresh or empty file has none yet
// and may become one when it is opened for writing.
void FleetJournal::checkSchema(bool emptyAllowed) {
  sqlite3* db = db_.get();
  const int version = pragmaNumber(db, "PRAGMA user_version");
  const int id = pragmaNumber(db, "PRAGMA application_id");
  const int objects = pragmaNumber(db, "SELECT count(*) FROM sqlite_master");
  const bool empty = version == 0 && id == 0 && objects == 0;
  if (empty && emptyAllowed) return;
  if (id != applicationId || version == 0)
    throw failure(path_, empty ? "ist leer, noch kein Journal von qav-fleet."
                               : "ist eine SQLite-Datenbank, aber kein Journal von qav-fleet.");
  if (version > schemaVersion)
    throw failure(path_, "stammt von einer neueren Version von qav-fleet (Aufbau " + std::to_string(version) +
                             ", diese Version kennt Aufbau " + std::to_string(schemaVersion) +
                             "). Bitte die neuere Version benutzen oder mit --db ein anderes Journal wählen.");
}

void FleetJournal::prepareSchema() {
  sqlite3* db = db_.get();
  Transaction transaction(db);
  if (pragmaNumber(db, "PRAGMA user_version") != 0) return;
  execute(db, schema);
  execute(db, ("PRAGMA application_id=" + std::to_string(applicationId) +
               "; PRAGMA user_version=" + std::to_string(schemaVersion))
                  .c_str());
  transaction.commit();
}

// The run is this process's now and not ended, whatever it was before.
void FleetJournal::noteOwner(std::int64_t run) {
  Statement(db_.get(), "UPDATE runs SET owner = ?, ended = NULL WHERE id = ?")
      .bind(1, std::int64_t{::getpid()})
      .bind(2, run)
      .run();
}

std::int64_t FleetJournal::beginRun(const std::string& listPath, const std::vector<FleetLift>& lifts,
                                    const std::string& options) {
  sqlite3* db = db_.get();
  const SettingMap base = lifts.empty() ? SettingMap{} : callValues(lifts.front().settings);
  Transaction transaction(db);
  Statement run(db, "INSERT INTO runs (list_path, options, started, owner, base_values) VALUES (?, ?, ?, ?, ?)");
  run.bind(1, listIdentity(listPath))
      .bind(2, options)
      .bind(3, toMillis(std::chrono::system_clock::now()))
      .bind(4, std::int64_t{::getpid()})
      .bind(5, callValuesText(base))
      .run();
  const std::int64_t id = sqlite3_last_insert_rowid(db);
  Statement lift(db, "INSERT INTO lifts VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  for (std::size_t position = 0; position < lifts.size(); ++position) {
    const FleetLift& row = lifts[position];
    lift.bind(1, id)
        .bind(2, static_cast<std::int64_t>(position))
        .bind(3, static_cast<std::int64_t>(row.line))
        .bind(4, row.id)
        .bind(5, row.settings.device.target)
        .bind(6, std::int64_t{row.settings.device.cabin})
        .bind(7, row.remark)
        .bind(8, callValuesText(differenceFrom(base, callValues(row.settings))))
        .run();
    lift.reset();
  }
  transaction.commit();
  return id;
}

std::optional<ResumedRun> FleetJournal::resumeRun(const std::string& listPath, const std::vector<FleetLift>& lifts) {
  sqlite3* db = db_.get();
  Transaction transaction(db);
  // Only the newest run of the list: after a complete run, an older
  // unfinished one would call again lifts that the newer one finished or
  // gave up, a refused PIN among them.
  Statement last(db, "SELECT id, complete FROM runs WHERE list_path = ? ORDER BY id DESC LIMIT 1");
  last.bind(1, listIdentity(listPath));
  if (!last.step() || last.integer(1) != 0) return std::nullopt;
  const std::int64_t run = last.integer(0);

  const std::vector<StoredLift> stored = storedLifts(run);
  const std::vector<std::string> changes = listChanges(runInfo(run).baseValues, stored, lifts);
  if (!changes.empty()) {
    std::string text = "Lauf " + std::to_string(run) + " kann nicht fortgesetzt werden: die Liste " +
                       listIdentity(listPath) + " hat sich seither geändert.";
    constexpr std::size_t shown = 10;
    for (std::size_t i = 0; i < changes.size() && i < shown; ++i) text += "\n  " + changes[i];
    if (changes.size() > shown) text += "\n  … und " + std::to_string(changes.size() - shown) + " weitere Änderungen.";
    text += "\nOhne --resume beginnt ein neuer Lauf mit der geänderten Liste.";
    throw std::runtime_error(text);
  }

  // The same lifts in the same order: their ids, remarks and lines may
  // have changed and are taken over for the report.
  Statement renamed(db, "UPDATE lifts SET line = ?, lift_id = ?, remark = ? WHERE run = ? AND position = ?");
  for (std::size_t position = 0; position < lifts.size(); ++position) {
    const FleetLift& now = lifts[position];
    const StoredLift& before = stored[position];
    if (now.line == before.line && now.id == before.id && now.remark == before.remark) continue;
    renamed.bind(1, static_cast<std::int64_t>(now.line))
        .bind(2, now.id)
        .bind(3, now.remark)
        .bind(4, run)
        .bind(5, static_cast<std::int64_t>(position))
        .run();
    renamed.reset();
  }
  Statement lost(db, "UPDATE attempts SET outcome = 'interrupted', explanation = ? WHERE run = ? AND outcome IS NULL");
  lost.bind(1, std::string(lostExplanation)).bind(2, run).run();
  noteOwner(run);

  // An attempt without an outcome is now an interrupted one.
  ResumedRun resumed{run, {}};
  resumed.lifts.reserve(stored.size());
  for (const StoredLift& lift : stored) {
    LiftStanding standing;
    for (const StoredAttempt& attempt : lift.attempts) {
      const LiftOutcome outcome = attempt.open ? LiftOutcome::Interrupted : attempt.record.outcome;
      ++standing.attempts;
      if (outcome != LiftOutcome::Interrupted) ++standing.counted;
      standing.last = outcome;
    }
    resumed.lifts.push_back(standing);
  }
  transaction.commit();
  return resumed;
}

void FleetJournal::attemptStarted(std::int64_t run, std::size_t lift, int number, WallTime started) {
  sqlite3* db = db_.get();
  Transaction transaction(db);
  Statement(db, "INSERT INTO attempts (run, lift, number, started) VALUES (?, ?, ?, ?)")
      .bind(1, run)
      .bind(2, static_cast<std::int64_t>(lift))
      .bind(3, std::int64_t{number})
      .bind(4, toMillis(started))
      .run();
  transaction.commit();
}

void FleetJournal::attemptEnded(std::int64_t run, std::size_t lift, const AttemptRecord& attempt) {
  sqlite3* db = db_.get();
  Transaction transaction(db);
  Statement(db,
            "INSERT INTO attempts (run, lift, number, started, ended, exit_status, error_line, sent, outcome, "
            "explanation) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (run, lift, number) DO UPDATE SET "
            "started = excluded.started, ended = excluded.ended, exit_status = excluded.exit_status, "
            "error_line = excluded.error_line, sent = excluded.sent, outcome = excluded.outcome, "
            "explanation = excluded.explanation")
      .bind(1, run)
      .bind(2, static_cast<std::int64_t>(lift))
      .bind(3, std::int64_t{attempt.number})
      .bind(4, toMillis(attempt.started))
      .bind(5, toMillis(attempt.ended))
      .bind(6, attempt.exitStatus ? std::optional<std::int64_t>(*attempt.exitStatus) : std::nullopt)
      .bind(7, attempt.errorLine)
      .bind(8, sentText(attempt.sent))
      .bind(9, outcomeCode(attempt.outcome))
      .bind(10, attempt.explanation)
      .run();
  transaction.commit();
}

void FleetJournal::endRun(std::int64_t run, WallTime ended, bool complete) {
  sqlite3* db = db_.get();
  Transaction transaction(db);
  Statement(db, "UPDATE runs SET ended = ?, complete = ? WHERE id = ?")
      .bind(1, toMillis(ended))
      .bind(2, std::int64_t{complete ? 1 : 0})
      .bind(3, run)
      .run();
  transaction.commit();
}

}  // namespace qav::fleet

// The reading half of FleetJournal: runs, lifts and attempts as values.
#include <sqlite3.h>

#include <map>
#include <stdexcept>

#include "fleet/call_values.h"
#include "fleet/fleet_journal.h"
#include "fleet/outcome_text.h"
#include "fleet/sqlite_statement.h"
#include "fleet/time_text.h"

namespace qav::fleet {

namespace {

constexpr const char* attemptColumns = "number, started, ended, exit_status, error_line, sent, outcome, explanation";

// The columns of attemptColumns, from `first` on.
StoredAttempt attemptFrom(const Statement& row, int first) {
  StoredAttempt stored;
  AttemptRecord& record = stored.record;
  record.number = static_cast<int>(row.integer(first));
  record.started = fromMillis(row.integer(first + 1));
  const std::optional<std::int64_t> ended = row.optionalInteger(first + 2);
  stored.endKnown = ended.has_value();
  record.ended = ended ? fromMillis(*ended) : record.started;
  if (const auto status = row.optionalInteger(first + 3)) record.exitStatus = static_cast<int>(*status);
  record.errorLine = row.text(first + 4);
  record.sent = sentFromText(row.text(first + 5));
  const std::optional<LiftOutcome> outcome =
      row.isNull(first + 6) ? std::nullopt : outcomeFromCode(row.text(first + 6));
  stored.open = !outcome.has_value();
  record.outcome = outcome.value_or(LiftOutcome::Interrupted);
  record.explanation = row.text(first + 7);
  return stored;
}

}  // namespace

std::optional<std::int64_t> FleetJournal::lastRun() const {
  Statement last(db_.get(), "SELECT max(id) FROM runs");
  if (!last.step()) return std::nullopt;
  return last.optionalInteger(0);
}

RunInfo FleetJournal::runInfo(std::int64_t run) const {
  Statement row(db_.get(),
                "SELECT list_path, options, started, ended, complete, owner, base_values FROM runs WHERE id = ?");
  row.bind(1, run);
  if (!row.step()) throw std::runtime_error("Lauf " + std::to_string(run) + " steht nicht im Journal " + path_ + ".");
  RunInfo info;
  info.id = run;
  info.listPath = row.text(0);
  info.options = row.text(1);
  info.started = fromMillis(row.integer(2));
  if (const auto ended = row.optionalInteger(3)) info.ended = fromMillis(*ended);
  info.complete = row.integer(4) != 0;
  info.baseValues = callValuesFromText(row.text(6));
  // Going: not ended, and the process that took it last holds the journal.
  const std::int64_t owner = row.optionalInteger(5).value_or(-1);
  if (!info.ended) {
    const pid_t holder = JournalLock::holder(path_).value_or(-1);
    info.going = holder == 0 || (holder > 0 && holder == owner);
  }
  return info;
}

std::vector<StoredLift> FleetJournal::storedLifts(std::int64_t run, const std::string& only) const {
  sqlite3* db = db_.get();
  Statement rows(db, only.empty() ? "SELECT position, line, lift_id, target, cabin, remark, values_difference "
                                    "FROM lifts WHERE run = ? ORDER BY position"
                                  : "SELECT position, line, lift_id, target, cabin, remark, values_difference "
                                    "FROM lifts WHERE run = ? AND (target = ?2 OR lift_id = ?2) ORDER BY position");
  rows.bind(1, run);
  if (!only.empty()) rows.bind(2, only);
  std::vector<StoredLift> lifts;
  std::map<std::int64_t, std::size_t> byPosition;
  while (rows.step()) {
    StoredLift lift;
    lift.position = static_cast<std::size_t>(rows.integer(0));
    lift.line = static_cast<std::size_t>(rows.integer(1));
    lift.id = rows.text(2);
    lift.target = rows.text(3);
    lift.cabin = static_cast<std::uint32_t>(rows.integer(4));
    lift.remark = rows.text(5);
    lift.valueDifference = callValuesFromText(rows.text(6));
    byPosition[rows.integer(0)] = lifts.size();
    lifts.push_back(std::move(lift));
  }
  if (lifts.empty()) return lifts;

  const std::string sql = std::string("SELECT lift, ") + attemptColumns + " FROM attempts WHERE run = ?1" +
                          (only.empty() ? ""
                                        : " AND lift IN (SELECT position FROM lifts WHERE run = ?1 AND "
                                          "(target = ?2 OR lift_id = ?2))") +
                          " ORDER BY lift, number";
  Statement attempts(db, sql.c_str());
  attempts.bind(1, run);
  if (!only.empty()) attempts.bind(2, only);
  while (attempts.step()) {
    const auto found = byPosition.find(attempts.integer(0));
    if (found != byPosition.end()) lifts[found->second].attempts.push_back(attemptFrom(attempts, 1));
  }
  return lifts;
}

std::optional<RunRecord> FleetJournal::readRun(std::int64_t run) const {
  Statement exists(db_.get(), "SELECT 1 FROM runs WHERE id = ?");
  exists.bind(1, run);
  if (!exists.step()) return std::nullopt;
  return RunRecord{runInfo(run), storedLifts(run)};
}

std::vector<LiftInRun> FleetJournal::liftHistory(const std::string& targetOrId) const {
  Statement runs(db_.get(), "SELECT DISTINCT run FROM lifts WHERE target = ?1 OR lift_id = ?1 ORDER BY run DESC");
  runs.bind(1, targetOrId);
  std::vector<std::int64_t> ids;
  while (runs.step()) ids.push_back(runs.integer(0));
  std::vector<LiftInRun> history;
  for (const std::int64_t run : ids) {
    const RunInfo info = runInfo(run);
    for (StoredLift& lift : storedLifts(run, targetOrId)) history.push_back({info, std::move(lift)});
  }
  return history;
}

}  // namespace qav::fleet

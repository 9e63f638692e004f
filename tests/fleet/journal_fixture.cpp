#include "journal_fixture.h"

#include <sqlite3.h>

#include <stdexcept>

namespace qav::fleet::testing {

WallTime at(int seconds) { return WallTime(std::chrono::seconds(1796813343 + seconds)); }

FleetLift lift(std::size_t line, const std::string& target, const std::string& id, const std::string& remark) {
  FleetLift lift;
  lift.line = line;
  lift.id = id;
  lift.remark = remark;
  lift.values = {{"target", target}};
  lift.settings.device.target = target;
  return lift;
}

AttemptRecord attempt(int number, int startSecond, int seconds, LiftOutcome outcome, const std::string& explanation,
                      const std::vector<std::string>& sent, const std::string& errorLine,
                      std::optional<int> exitStatus) {
  AttemptRecord record;
  record.number = number;
  record.started = at(startSecond);
  record.ended = at(startSecond + seconds);
  record.exitStatus = exitStatus;
  record.errorLine = errorLine;
  record.sent = sent;
  record.outcome = outcome;
  record.explanation = explanation;
  return record;
}

std::string queryText(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  std::string text = "(error)";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
    text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return text;
}

}  // namespace qav::fleet::testing

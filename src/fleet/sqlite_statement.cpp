#include "fleet/sqlite_statement.h"

#include <sqlite3.h>

namespace qav::fleet {

namespace {

std::string reasonFor(sqlite3* db, int code) {
  switch (code & 0xff) {
    case SQLITE_NOTADB: return "ist keine SQLite-Datenbank";
    case SQLITE_CORRUPT: return "ist beschädigt";
    case SQLITE_READONLY: return "ist schreibgeschützt";
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return "ist von einem anderen Programm gesperrt";
    case SQLITE_FULL: return "kann nicht geschrieben werden: kein Platz mehr auf dem Datenträger";
    case SQLITE_IOERR: return std::string("kann nicht gelesen oder geschrieben werden (") + sqlite3_errmsg(db) + ")";
    case SQLITE_CANTOPEN: return "kann nicht geöffnet werden";
  }
  return std::string("meldet einen Fehler: ") + (db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
}

}  // namespace

JournalError journalError(sqlite3* db, int code) {
  const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
  return JournalError(code, std::string("Journal ") + (file ? file : "") + " " + reasonFor(db, code) + ".");
}

void execute(sqlite3* db, const char* sql) {
  const int result = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  if (result != SQLITE_OK) throw journalError(db, result);
}

Statement::Statement(sqlite3* db, const char* sql) : db_(db) {
  const int result = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
  if (result != SQLITE_OK) throw journalError(db, result);
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::bind(int index, std::int64_t value) {
  sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Statement& Statement::bind(int index, const std::string& value) {
  sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::bind(int index, const std::optional<std::int64_t>& value) {
  if (value) return bind(index, *value);
  sqlite3_bind_null(stmt_, index);
  return *this;
}

Statement& Statement::bind(int index, const std::optional<std::string>& value) {
  if (value) return bind(index, *value);
  sqlite3_bind_null(stmt_, index);
  return *this;
}

bool Statement::step() {
  const int result = sqlite3_step(stmt_);
  if (result == SQLITE_ROW) return true;
  if (result == SQLITE_DONE) return false;
  sqlite3_reset(stmt_);
  throw journalError(db_, result);
}

int Statement::run() {
  while (step()) {
  }
  return sqlite3_changes(db_);
}

void Statement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

bool Statement::isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

std::int64_t Statement::integer(int column) const { return sqlite3_column_int64(stmt_, column); }

std::optional<std::int64_t> Statement::optionalInteger(int column) const {
  if (isNull(column)) return std::nullopt;
  return integer(column);
}

std::string Statement::text(int column) const {
  const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return bytes ? std::string(bytes, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
}

Transaction::Transaction(sqlite3* db) : db_(db) { execute(db, "BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
  if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
  execute(db_, "COMMIT");
  done_ = true;
}

}  // namespace qav::fleet

// Thin ownership over libsqlite3: a prepared statement with bound values, and
// a write transaction that is rolled back unless it was committed.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace qav::fleet {

// A failed SQLite call: its result code and a German sentence naming the
// database file.
class JournalError : public std::runtime_error {
 public:
  JournalError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

// The error for `code` on `db`, with the technician's reason where there is one.
JournalError journalError(sqlite3* db, int code);

// Runs SQL without results (several statements allowed).
void execute(sqlite3* db, const char* sql);

// Owned by one function; used on the thread that owns the connection.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Parameters count from 1, as in SQL.
  Statement& bind(int index, std::int64_t value);
  Statement& bind(int index, const std::string& value);
  Statement& bind(int index, const std::optional<std::int64_t>& value);
  Statement& bind(int index, const std::optional<std::string>& value);

  // The next row: true while there is one.
  bool step();
  // Steps to the end; the rows it changed.
  int run();
  void reset();

  // Columns count from 0.
  bool isNull(int column) const;
  std::int64_t integer(int column) const;
  std::optional<std::int64_t> optionalInteger(int column) const;
  std::string text(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// BEGIN IMMEDIATE: takes the write lock at once, so that a busy database
// shows at the start and not half way through. Owned by one function.
class Transaction {
 public:
  explicit Transaction(sqlite3* db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void commit();

 private:
  sqlite3* db_;
  bool done_ = false;
};

}  // namespace qav::fleet

// Who writes a journal: one running qav-fleet at a time. It holds an
// exclusive lock on a file beside the database, which the kernel drops when
// the process ends in any way, kill -9 and power loss included.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace qav::fleet {

// Owned by the journal that writes; the descriptor is closed on exec, so
// that no child keeps the journal held after qav-fleet has gone.
class JournalLock {
 public:
  // Takes the lock without waiting; throws a German sentence naming the
  // database when another process holds it or the lock file cannot be made.
  explicit JournalLock(const std::string& databasePath);
  ~JournalLock();
  JournalLock(const JournalLock&) = delete;
  JournalLock& operator=(const JournalLock&) = delete;

  // The process that holds the lock of that database now, if any (0 when
  // it has not noted its pid yet).
  static std::optional<pid_t> holder(const std::string& databasePath);

 private:
  int fd_ = -1;
};

// "DATEI-lock", beside SQLite's own "-wal" and "-shm".
std::string lockPath(const std::string& databasePath);

}  // namespace qav::fleet

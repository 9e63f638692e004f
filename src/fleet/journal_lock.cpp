#include "fleet/journal_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace qav::fleet {

namespace {

// flock() and not fcntl(): a POSIX record lock belongs to the process and
// vanishes when any descriptor of the file is closed, and SQLite keeps such
// locks on the database itself. The lock lives on a file of its own, so that
// it never meets SQLite's.
std::optional<pid_t> pidIn(int fd) {
  char text[32] = {};
  const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
  if (got <= 0) return std::nullopt;
  const long pid = std::strtol(text, nullptr, 10);
  if (pid <= 0) return std::nullopt;
  return static_cast<pid_t>(pid);
}

std::string cannotCreate(const std::string& databasePath, int error) {
  const std::string lock = lockPath(databasePath);
  switch (error) {
    case EROFS:
      return "Journal " + databasePath + " kann nicht geschrieben werden: das Dateisystem ist schreibgeschützt.";
    case EACCES:
    case EPERM:
      return "Journal " + databasePath + " kann nicht geschrieben werden: keine Schreibberechtigung für " + lock + ".";
    case ENOENT:
    case ENOTDIR: return "Journal " + databasePath + " kann nicht angelegt werden: den Ordner gibt es nicht.";
  }
  return "Journal " + databasePath + " kann nicht gesperrt werden: " + std::generic_category().message(error) + ".";
}

}  // namespace

std::string lockPath(const std::string& databasePath) { return databasePath + "-lock"; }

JournalLock::JournalLock(const std::string& databasePath) {
  fd_ = ::open(lockPath(databasePath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) throw std::runtime_error(cannotCreate(databasePath, errno));
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    const std::optional<pid_t> other = pidIn(fd_);
    ::close(fd_);
    fd_ = -1;
    if (error != EWOULDBLOCK) throw std::runtime_error(cannotCreate(databasePath, error));
    throw std::runtime_error("Journal " + databasePath + " wird gerade von einem anderen laufenden qav-fleet benutzt" +
                             (other ? " (Prozess " + std::to_string(*other) + ")" : std::string()) +
                             ". Bitte warten, bis dieser Lauf endet, oder mit --db ein anderes Journal wählen.");
  }
  // The holder's pid, for the message above and for the report's "läuft noch".
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
    // The lock holds without its note; only the messages lose the pid.
  }
}

JournalLock::~JournalLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<pid_t> JournalLock::holder(const std::string& databasePath) {
  const int fd = ::open(lockPath(databasePath).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<pid_t> pid;
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    // Held before its holder wrote its pid: held all the same.
    if (errno == EWOULDBLOCK) pid = pidIn(fd).value_or(0);
  } else {
    ::flock(fd, LOCK_UN);
  }
  ::close(fd);
  return pid;
}

}  // namespace qav::fleet

#include "fleet/list_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace qav::fleet {

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

std::runtime_error failure(const std::string& what, const std::string& path) {
  return std::runtime_error("Liste kann nicht " + what + " werden: " + path + ": " +
                            std::strerror(errno));
}

}  // namespace

// Opened without waiting, so that a FIFO without a writer reads as empty
// instead of blocking; a directory is refused here, since only read() would
// fail on it. /dev/zero and the like end at the size limit.
ListFile readListFile(const std::string& path) {
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.fd() < 0) throw failure("geöffnet", path);
  struct stat status {};
  if (::fstat(file.fd(), &status) != 0) throw failure("geprüft", path);
  if (S_ISDIR(status.st_mode)) throw std::runtime_error("Liste ist ein Verzeichnis: " + path);
  const int flags = ::fcntl(file.fd(), F_GETFL);
  if (flags < 0 || ::fcntl(file.fd(), F_SETFL, flags & ~O_NONBLOCK) != 0)
    throw failure("geöffnet", path);

  ListFile list;
  list.ownerOnly = (status.st_mode & 077) == 0;
  char buffer[65536];
  while (true) {
    const ssize_t count = ::read(file.fd(), buffer, sizeof buffer);
    if (count == 0) return list;
    if (count < 0) {
      if (errno == EINTR) continue;
      throw failure("gelesen", path);
    }
    list.text.append(buffer, static_cast<std::size_t>(count));
    if (list.text.size() > maxListBytes)
      throw std::runtime_error("Liste ist größer als 64 MiB: " + path);
  }
}

}  // namespace qav::fleet

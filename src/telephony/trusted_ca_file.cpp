#include "telephony/trusted_ca_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace qav {

void checkTrustedCaFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0 && errno == ENOENT) throw std::runtime_error("CA-Datei nicht gefunden: " + path);
  std::string text;
  int readError = fd < 0 ? errno : 0;
  // A CA bundle is a few hundred kilobytes at most.
  char buffer[4096];
  while (fd >= 0 && text.size() < (1u << 22)) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) readError = errno;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  if (fd >= 0) ::close(fd);
  if (readError)
    throw std::runtime_error("CA-Datei kann nicht gelesen werden: " + path + " (" + std::strerror(readError) + ")");
  if (text.find("-----BEGIN CERTIFICATE-----") == std::string::npos)
    throw std::runtime_error("CA-Datei enthält kein Zertifikat: " + path);
}

}  // namespace qav

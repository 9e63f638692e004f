// Sockets opened inside a network namespace of the test lab by a thread of
// the test process; once opened they work from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qav::testing {

// An owned file descriptor.
class Socket {
 public:
  explicit Socket(int fd = -1) : fd_(fd) {}
  ~Socket();
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Socket& operator=(Socket&& other) noexcept;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Runs `open` on a short-lived thread that has entered the namespace `ns`;
// throws std::runtime_error when the namespace cannot be entered.
int openInNamespace(const std::string& ns, int (*open)(const void*), const void* context);

// A UDP socket bound to address:port inside `ns` (port 0: any).
Socket udpSocketIn(const std::string& ns, const std::string& address, std::uint16_t port);

std::uint16_t localPort(const Socket& socket);

struct Datagram {
  std::string payload;
  std::string fromAddress;
  std::uint16_t fromPort = 0;
};

// Sends one datagram; false with errno set when the kernel refused it.
bool sendTo(const Socket& socket, const std::string& address, std::uint16_t port, const std::string& payload);
std::optional<Datagram> receive(const Socket& socket, int timeoutMs);

}  // namespace qav::testing

#include "namespace_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace qav::testing {

Socket::~Socket() {
  if (fd_ >= 0) close(fd_);
}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

int openInNamespace(const std::string& ns, int (*open)(const void*), const void* context) {
  int result = -1;
  std::string failure;
  // The network namespace is a property of the thread; this one ends right
  // after, so the rest of the process never changes namespace.
  std::thread worker([&] {
    const int nsFd = ::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    if (nsFd < 0 || setns(nsFd, CLONE_NEWNET) != 0) {
      failure = "cannot enter namespace " + ns + ": " + std::strerror(errno);
      if (nsFd >= 0) close(nsFd);
      return;
    }
    close(nsFd);
    result = open(context);
    if (result < 0) failure = std::string("cannot open a socket in ") + ns + ": " + std::strerror(errno);
  });
  worker.join();
  if (result < 0) throw std::runtime_error(failure);
  return result;
}

namespace {

sockaddr_in socketAddress(const std::string& address, std::uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &result.sin_addr) != 1)
    throw std::invalid_argument("not an IPv4 address: " + address);
  return result;
}

struct Binding {
  sockaddr_in address;
};

int openBoundUdp(const void* context) {
  const auto& binding = *static_cast<const Binding*>(context);
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&binding.address), sizeof binding.address) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

}  // namespace

Socket udpSocketIn(const std::string& ns, const std::string& address, std::uint16_t port) {
  const Binding binding{socketAddress(address, port)};
  return Socket(openInNamespace(ns, openBoundUdp, &binding));
}

std::uint16_t localPort(const Socket& socket) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("getsockname failed");
  return ntohs(address.sin_port);
}

bool sendTo(const Socket& socket, const std::string& address, std::uint16_t port, const std::string& payload) {
  const sockaddr_in to = socketAddress(address, port);
  return sendto(socket.fd(), payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                sizeof to) == static_cast<ssize_t>(payload.size());
}

std::optional<Datagram> receive(const Socket& socket, int timeoutMs) {
  pollfd descriptor{socket.fd(), POLLIN, 0};
  if (poll(&descriptor, 1, timeoutMs) <= 0) return std::nullopt;
  char buffer[65536];
  sockaddr_in from{};
  socklen_t length = sizeof from;
  const ssize_t count = recvfrom(socket.fd(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
  if (count < 0) return std::nullopt;
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
  return Datagram{std::string(buffer, static_cast<std::size_t>(count)), text, ntohs(from.sin_port)};
}

}  // namespace qav::testing

#include "udp_relay.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace qav::secrets {
namespace {

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

int boundSocket(std::uint16_t& port) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address = loopback(0);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("cannot bind the relay");
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

UdpRelay::UdpRelay(std::uint16_t upstreamPort) : pbxPort(upstreamPort) {
  std::uint16_t ignored = 0;
  client = boundSocket(listenPort);
  upstream = boundSocket(ignored);
  worker = std::thread([this] { pass(); });
}

UdpRelay::~UdpRelay() {
  stopping = true;
  worker.join();
  close(client);
  close(upstream);
}

std::vector<std::string> UdpRelay::sent() const {
  std::lock_guard lock(mutex);
  return fromClient;
}

// The PBX answers where a request came from (rport), so its answers come
// back to the upstream socket and go on to the last client address.
void UdpRelay::pass() {
  sockaddr_in lastClient{};
  bool haveClient = false;
  const sockaddr_in pbx = loopback(pbxPort);
  char buffer[65536];
  pollfd fds[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
  while (!stopping) {
    if (poll(fds, 2, 50) <= 0) continue;
    if (fds[0].revents & POLLIN) {
      socklen_t length = sizeof lastClient;
      const ssize_t n = recvfrom(client, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&lastClient), &length);
      if (n > 0) {
        haveClient = true;
        {
          std::lock_guard lock(mutex);
          fromClient.emplace_back(buffer, static_cast<std::size_t>(n));
        }
        sendto(upstream, buffer, static_cast<std::size_t>(n), 0, reinterpret_cast<const sockaddr*>(&pbx), sizeof pbx);
      }
    }
    if (fds[1].revents & POLLIN) {
      const ssize_t n = recv(upstream, buffer, sizeof buffer, 0);
      if (n > 0 && haveClient)
        sendto(client, buffer, static_cast<std::size_t>(n), 0, reinterpret_cast<const sockaddr*>(&lastClient),
               sizeof lastClient);
    }
  }
}

}  // namespace qav::secrets

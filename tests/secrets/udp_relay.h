// A loopback UDP relay in front of the test PBX that keeps every datagram
// it passes, to read what qav-cli put on the wire towards its first hop.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qav::secrets {

class UdpRelay {
 public:
  explicit UdpRelay(std::uint16_t upstreamPort);
  ~UdpRelay();
  UdpRelay(const UdpRelay&) = delete;
  UdpRelay& operator=(const UdpRelay&) = delete;

  std::uint16_t port() const { return listenPort; }
  // Datagrams from the client towards the PBX, in order.
  std::vector<std::string> sent() const;

 private:
  void pass();

  int client = -1;    // faces qav-cli
  int upstream = -1;  // faces the PBX
  std::uint16_t listenPort = 0;
  std::uint16_t pbxPort = 0;
  std::atomic<bool> stopping{false};
  mutable std::mutex mutex;
  std::vector<std::string> fromClient;
  std::thread worker;
};

}  // namespace qav::secrets

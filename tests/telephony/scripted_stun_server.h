// A STUN responder on a loopback port for tests that must tell a mapped
// address from the local one: it answers every Binding request with the
// sender's port on another loopback address, or stays silent.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace qav::testing {

class ScriptedStunServer {
 public:
  // Mapped address in every answer; silent: no answer at all.
  explicit ScriptedStunServer(const std::string& mappedAddress, bool silent = false);
  ~ScriptedStunServer();
  ScriptedStunServer(const ScriptedStunServer&) = delete;
  ScriptedStunServer& operator=(const ScriptedStunServer&) = delete;

  // "127.0.0.1:PORT", as the settings take it.
  std::string address() const;
  // The source ports of the Binding requests so far.
  std::set<std::uint16_t> askingPorts() const;

 private:
  void serve();

  int fd = -1;
  std::uint16_t port = 0;
  std::uint32_t mapped = 0;  // network order
  bool silent = false;
  std::atomic<bool> stopping{false};
  mutable std::mutex mutex;
  std::set<std::uint16_t> ports;
  std::thread worker;
};

}  // namespace qav::testing

// A capture of the UDP datagrams crossing one device of a lab namespace, in
// both directions, taken by a thread of the test process from a packet
// socket; text payloads (SIP) are kept whole.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "namespace_socket.h"

namespace qav::testing {

struct CapturedDatagram {
  std::string source;
  std::uint16_t sourcePort = 0;
  std::string destination;
  std::uint16_t destinationPort = 0;
  std::size_t length = 0;
  // Only for payloads that start like a SIP request or response.
  std::string text;
  // The message type of a STUN payload (0x0001 binding request, 0x0101
  // binding success), 0 for anything else.
  std::uint16_t stunType = 0;
  std::chrono::steady_clock::time_point seen;
};

class PacketCapture {
 public:
  // Starts capturing on `device` inside `ns`; throws when that fails.
  PacketCapture(const std::string& ns, const std::string& device);
  ~PacketCapture();
  PacketCapture(const PacketCapture&) = delete;
  PacketCapture& operator=(const PacketCapture&) = delete;

  std::vector<CapturedDatagram> datagrams() const;
  // The SIP messages whose first line starts with `start`, in order.
  std::vector<CapturedDatagram> sipStartingWith(const std::string& start) const;

 private:
  void capture();

  Socket socket;
  std::atomic<bool> stopping{false};
  mutable std::mutex mutex;
  std::vector<CapturedDatagram> seen;
  std::thread reader;
};

// The address of the first "c=IN IP4" line of the SDP in a SIP message.
std::string sdpConnectionAddress(const std::string& sip);
// The port of the first "m=audio" line.
std::uint16_t sdpAudioPort(const std::string& sip);
// The "a=candidate:" lines of the SDP, without the "a=" and the line end.
std::vector<std::string> sdpCandidates(const std::string& sip);

}  // namespace qav::testing

// RFC 4733 telephone events as key presses: each event, identified by its
// RTP timestamp, counts once, when its first end packet arrives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "qav-sim/received_digit.h"

namespace qav::sim {

// Senders repeat the end packet (usually three times) and may reorder or
// lose packets. Repeats and stragglers of an ended event are ignored; an
// event whose end packets were all lost ends when the next event begins or
// when its packets stop coming.
class EventDigits {
 public:
  // One telephone-event payload (four bytes, more when redundant events
  // follow; only the first is read) and the packet's RTP timestamp.
  std::vector<ReceivedDigit> onPacket(std::uint32_t timestamp, const std::uint8_t* payload,
                                      std::size_t size, DeviceTime at);
  std::optional<ReceivedDigit> poll(DeviceTime now);

  // Without a packet for this long an event has lost its end: several
  // packet times, well beyond loopback and LAN jitter.
  static constexpr milliseconds lostAfter{200};

 private:
  struct Event {
    std::uint32_t timestamp = 0;
    char digit = 0;
    std::uint32_t durationSamples = 0;
    DeviceTime lastPacket{};
  };

  ReceivedDigit finish(const Event& event, DeviceTime at);
  bool alreadyEnded(std::uint32_t timestamp) const;

  std::optional<Event> current_;
  std::deque<std::uint32_t> ended_;  // the latest few, against late repeats
};

}  // namespace qav::sim

// RFC 4733 telephone events for DTMF, one packet per media clock tick: a
// growing duration while the digit lasts, then the end packet three times.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

struct telev;

namespace qav {

struct EventPacket {
  std::array<std::uint8_t, 4> payload{};
  // Marker bit: set on the first packet of an event.
  bool marker = false;
};

// Event code of 0 to 9, *, #, A to D; -1 for anything else.
int telephoneEventCode(char digit);
// The key of the event codes 0 to 15; 0 for other events (tones, flash).
char telephoneEventDigit(int code);

// Queued events play one after the other. Digits of at least nine packet
// times go through libre's telev; telev cannot end an event sooner, so
// shorter ones are encoded here with the same layout (volume 10).
class TelephoneEventPacer {
 public:
  TelephoneEventPacer();
  ~TelephoneEventPacer();
  TelephoneEventPacer(const TelephoneEventPacer&) = delete;
  TelephoneEventPacer& operator=(const TelephoneEventPacer&) = delete;

  void queue(int code, std::uint32_t durationMs);
  // The packet for this tick, or empty when no event is playing.
  std::optional<EventPacket> poll();
  bool idle() const;
  void clear();

  static constexpr std::uint32_t packetMs = 20;
  static constexpr std::uint32_t endRepeats = 3;

 private:
  struct Event {
    int code = 0;
    std::uint32_t durationMs = 0;
  };

  bool byTelev(const Event& event) const;
  std::optional<EventPacket> pollOwn();
  std::optional<EventPacket> pollTelev();
  void finishEvent();

  std::deque<Event> pending;
  std::optional<Event> current;
  std::uint32_t ticks = 0;
  std::uint32_t endsSent = 0;
  struct telev* telev = nullptr;
};

}  // namespace qav

#include "telephony/telephone_events.h"

#include <re.h>

#include "telephony/libre_error.h"

namespace qav {
namespace {

constexpr std::uint32_t samplesPerMs = 8;
constexpr std::uint8_t volume = 10;
constexpr std::uint8_t endFlag = 0x80;
// telev sends at least this many packets per event before it honours an end.
constexpr std::uint32_t televMinimumPackets = 9;

EventPacket encode(int code, bool end, std::uint32_t durationSamples, bool marker) {
  EventPacket packet;
  packet.payload = {static_cast<std::uint8_t>(code), static_cast<std::uint8_t>((end ? endFlag : 0) | volume),
                    static_cast<std::uint8_t>(durationSamples >> 8), static_cast<std::uint8_t>(durationSamples & 0xff)};
  packet.marker = marker;
  return packet;
}

std::uint32_t packetsFor(std::uint32_t durationMs) {
  const std::uint32_t packetMs = TelephoneEventPacer::packetMs;
  return std::max<std::uint32_t>(1, (durationMs + packetMs - 1) / packetMs);
}

}  // namespace

int telephoneEventCode(char digit) { return telev_digit2code(static_cast<unsigned char>(digit)); }

char telephoneEventDigit(int code) {
  constexpr char digits[] = "0123456789*#ABCD";
  return code >= 0 && code < 16 ? digits[code] : 0;
}

TelephoneEventPacer::TelephoneEventPacer() {
  checkLibre(telev_alloc(&telev, packetMs));
}

TelephoneEventPacer::~TelephoneEventPacer() { mem_deref(telev); }

void TelephoneEventPacer::queue(int code, std::uint32_t durationMs) { pending.push_back({code, durationMs}); }

bool TelephoneEventPacer::idle() const { return !current && pending.empty(); }

void TelephoneEventPacer::clear() {
  pending.clear();
  current.reset();
  // A fresh telev drops whatever the old one still had queued.
  mem_deref(telev);
  telev = nullptr;
  if (telev_alloc(&telev, packetMs)) telev = nullptr;
}

bool TelephoneEventPacer::byTelev(const Event& event) const {
  return telev && packetsFor(event.durationMs) >= televMinimumPackets;
}

std::optional<EventPacket> TelephoneEventPacer::poll() {
  if (!current) {
    if (pending.empty()) return std::nullopt;
    current = pending.front();
    pending.pop_front();
    ticks = 0;
    endsSent = 0;
  }
  ++ticks;
  return byTelev(*current) ? pollTelev() : pollOwn();
}

void TelephoneEventPacer::finishEvent() { current.reset(); }

std::optional<EventPacket> TelephoneEventPacer::pollOwn() {
  const std::uint32_t total = current->durationMs * samplesPerMs;
  const std::uint32_t grown = ticks * packetMs * samplesPerMs;
  if (grown < total) return encode(current->code, false, grown, ticks == 1);
  const EventPacket packet = encode(current->code, true, total, ticks == 1);
  if (++endsSent >= endRepeats) finishEvent();
  return packet;
}

std::optional<EventPacket> TelephoneEventPacer::pollTelev() {
  if (ticks == 1) telev_send(telev, current->code, false);
  // Queued before the poll of the last packet time, the end makes telev send
  // that packet with the full duration and then the end packets.
  if (ticks == packetsFor(current->durationMs)) telev_send(telev, current->code, true);
  struct mbuf* buffer = mbuf_alloc(8);
  if (!buffer) return std::nullopt;
  bool marker = false;
  std::optional<EventPacket> packet;
  if (telev_poll(telev, &marker, buffer) == 0 && buffer->end >= 4) {
    packet.emplace();
    std::copy(buffer->buf, buffer->buf + 4, packet->payload.begin());
    packet->marker = marker;
    if ((packet->payload[1] & endFlag) && ++endsSent >= endRepeats) finishEvent();
  }
  mem_deref(buffer);
  if (!packet) finishEvent();
  return packet;
}

}  // namespace qav

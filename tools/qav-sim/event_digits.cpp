#include "qav-sim/event_digits.h"

#include <algorithm>

#include "telephony/telephone_events.h"

namespace qav::sim {

namespace {

constexpr std::size_t kRememberedEnds = 8;
constexpr std::uint8_t kEndFlag = 0x80;
constexpr std::uint32_t kSamplesPerMs = 8;

}  // namespace

std::vector<ReceivedDigit> EventDigits::onPacket(std::uint32_t timestamp, const std::uint8_t* payload,
                                                 std::size_t size, DeviceTime at) {
  std::vector<ReceivedDigit> released;
  if (size < 4 || alreadyEnded(timestamp)) return released;
  const char digit = telephoneEventDigit(payload[0]);
  if (!digit) return released;  // a line event (busy tone, flash), not a key
  if (current_ && current_->timestamp != timestamp) {
    released.push_back(finish(*current_, current_->lastPacket));
    current_.reset();
  }
  if (!current_) current_ = Event{timestamp, digit, 0, at};
  const std::uint32_t duration = static_cast<std::uint32_t>(payload[2]) << 8 | payload[3];
  current_->durationSamples = std::max(current_->durationSamples, duration);
  current_->lastPacket = at;
  if (payload[1] & kEndFlag) {
    released.push_back(finish(*current_, at));
    current_.reset();
  }
  return released;
}

std::optional<ReceivedDigit> EventDigits::poll(DeviceTime now) {
  if (!current_ || now - current_->lastPacket < lostAfter) return std::nullopt;
  const ReceivedDigit released = finish(*current_, current_->lastPacket);
  current_.reset();
  return released;
}

ReceivedDigit EventDigits::finish(const Event& event, DeviceTime at) {
  ended_.push_back(event.timestamp);
  if (ended_.size() > kRememberedEnds) ended_.pop_front();
  return {event.digit, event.durationSamples / kSamplesPerMs, at};
}

bool EventDigits::alreadyEnded(std::uint32_t timestamp) const {
  return std::find(ended_.begin(), ended_.end(), timestamp) != ended_.end();
}

}  // namespace qav::sim

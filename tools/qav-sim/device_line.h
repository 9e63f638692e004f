// The simulated QAV on one call: digits from the line by all three ways
// into the dialogue, its answers out as audio, paced by the media clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "qav-sim/device_dialogue.h"
#include "qav-sim/dtmf_relay.h"
#include "qav-sim/event_digits.h"
#include "qav-sim/event_log.h"
#include "qav-sim/inband_digits.h"

namespace qav::sim {

// Called whenever the dialogue has committed new values; throws
// std::runtime_error when they cannot be kept.
using StateSaver = std::function<void(const DeviceState&)>;

// Safe to call from libre's worker (events, INFO) and the media clock (tick)
// at once. The dialogue only ever sees times in order: a digit released
// before the last tick counts as released at that tick.
class DeviceLine {
 public:
  DeviceLine(DeviceState state, const DialogueTiming& timing, const FaultPlan& faults, EventLog& log,
             StateSaver saver);

  // The call is answered: the dialogue starts and the greeting is due.
  void answer(DeviceTime now);
  void telephoneEvent(std::uint32_t timestamp, const std::uint8_t* payload, std::size_t size, DeviceTime at);
  // The key counts as released once its duration has passed.
  void relayedDigit(const RelayedDigit& relayed, DeviceTime arrived);
  // One packet time: the received samples in, the samples to send out.
  void tick(const std::int16_t* received, std::int16_t* sent, std::size_t count, DeviceTime now);

  // An answer that ends the call has been played to its end.
  bool wantsHangUp() const;

 private:
  void deliver(const ReceivedDigit& digit, const char* method);
  void deliverDueRelayed(DeviceTime now);
  void take(const DialogueOutput& output);
  DeviceTime inOrder(DeviceTime at);
  void play(std::int16_t* sent, std::size_t count);

  mutable std::mutex mutex_;
  DeviceDialogue dialogue_;
  LineConditions line_;
  EventLog& log_;
  StateSaver saver_;
  bool answered_ = false;
  DeviceTime lastTime_{};
  EventDigits events_;
  InbandDigits inband_;
  std::deque<ReceivedDigit> relayed_;  // by release time
  std::deque<std::int16_t> playing_;
  std::uint32_t answersPlayed_ = 0;
  bool hangUpWhenPlayed_ = false;
  bool hangUp_ = false;
};

}  // namespace qav::sim

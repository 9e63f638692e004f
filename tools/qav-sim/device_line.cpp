#include "qav-sim/device_line.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "qav-sim/answer_audio.h"
#include "qav-sim/error_line.h"
#include "qav-sim/sim_options.h"

namespace qav::sim {

DeviceLine::DeviceLine(DeviceState state, const DialogueTiming& timing, const FaultPlan& faults,
                       EventLog& log, StateSaver saver)
    : dialogue_(std::move(state), timing, faults), line_(faults.line), log_(log), saver_(std::move(saver)) {}

void DeviceLine::answer(DeviceTime now) {
  std::lock_guard lock(mutex_);
  if (answered_) return;
  answered_ = true;
  take(dialogue_.start(inOrder(now)));
}

void DeviceLine::telephoneEvent(std::uint32_t timestamp, const std::uint8_t* payload, std::size_t size,
                                DeviceTime at) {
  std::lock_guard lock(mutex_);
  for (const ReceivedDigit& digit : events_.onPacket(timestamp, payload, size, at)) deliver(digit, "rfc4733");
}

void DeviceLine::relayedDigit(const RelayedDigit& relayed, DeviceTime arrived) {
  const milliseconds held(relayed.durationMs.value_or(0));
  const ReceivedDigit digit{relayed.digit, relayed.durationMs.value_or(0), arrived + held};
  std::lock_guard lock(mutex_);
  const auto later = std::upper_bound(relayed_.begin(), relayed_.end(), digit,
                                      [](const auto& a, const auto& b) { return a.endedAt < b.endedAt; });
  relayed_.insert(later, digit);
}

void DeviceLine::tick(const std::int16_t* received, std::int16_t* sent, std::size_t count, DeviceTime now) {
  std::lock_guard lock(mutex_);
  for (const ReceivedDigit& digit : inband_.process(received, count, now)) deliver(digit, "inband");
  if (const auto lost = events_.poll(now)) deliver(*lost, "rfc4733");
  deliverDueRelayed(now);
  if (answered_) take(dialogue_.onTick(inOrder(now)));
  play(sent, count);
}

bool DeviceLine::wantsHangUp() const {
  std::lock_guard lock(mutex_);
  return hangUp_;
}

void DeviceLine::deliver(const ReceivedDigit& digit, const char* method) {
  log_.write("digit " + std::string(1, digit.digit) + " " + method + " " + std::to_string(digit.durationMs));
  // Keys pressed while the phone still rings reach nobody.
  if (answered_) take(dialogue_.onDigit(digit.digit, inOrder(digit.endedAt)));
}

void DeviceLine::deliverDueRelayed(DeviceTime now) {
  while (!relayed_.empty() && relayed_.front().endedAt <= now) {
    const ReceivedDigit digit = relayed_.front();
    relayed_.pop_front();
    deliver(digit, "sip-info");
  }
}

void DeviceLine::take(const DialogueOutput& output) {
  if (output.stateChanged) {
    try {
      saver_(dialogue_.state());
      log_.write("state-saved");
    } catch (const std::exception& error) {
      // The call goes on, as a device with a failing memory would; the line
      // that a test waits for is missing, and the reason is on stderr.
      printError(error.what());
    }
  }
  if (!output.answer) return;
  const DeviceAnswer& answer = *output.answer;
  const std::vector<std::int16_t> audio = renderAnswer(answer.pattern, line_, ++answersPlayed_);
  playing_.insert(playing_.end(), audio.begin(), audio.end());
  hangUpWhenPlayed_ = hangUpWhenPlayed_ || answer.hangUpAfter;
  log_.write("answer " + answerName(answer.pattern));
}

DeviceTime DeviceLine::inOrder(DeviceTime at) {
  lastTime_ = std::max(lastTime_, at);
  return lastTime_;
}

void DeviceLine::play(std::int16_t* sent, std::size_t count) {
  const std::size_t played = std::min(count, playing_.size());
  std::copy_n(playing_.begin(), played, sent);
  std::fill(sent + played, sent + count, std::int16_t{0});
  playing_.erase(playing_.begin(), playing_.begin() + static_cast<std::ptrdiff_t>(played));
  if (playing_.empty() && hangUpWhenPlayed_) hangUp_ = true;
}

}  // namespace qav::sim

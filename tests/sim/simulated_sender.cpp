#include "simulated_sender.h"

#include <algorithm>

#include "qav-sim/answer_audio.h"

namespace qav::sim {

namespace {

// The analyzer closes a tone group at most 580 ms after its last tone.
constexpr milliseconds kGroupEnd{580};
constexpr milliseconds kTick{20};

}  // namespace

SimulatedSender::SimulatedSender(DeviceDialogue& device, SenderTiming timing)
    : device_(device), timing_(timing), now_(DeviceTime{} + std::chrono::hours(1)) {}

std::optional<Signal> SimulatedSender::answerCall() {
  take(device_.start(now_));
  return exchange("");
}

void SimulatedSender::sendDigits(const std::string& digits) {
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0) tickUntil(now_ + timing_.gap);
    tickUntil(now_ + timing_.tone);  // the device takes a digit when its tone ends
    take(device_.onDigit(digits[i], now_));
  }
}

std::optional<Signal> SimulatedSender::exchange(const std::string& digits, milliseconds limit) {
  const std::size_t before = heard_.size();
  sendDigits(digits);
  const DeviceTime deadline = now_ + limit;
  while (heard_.size() == before && now_ < deadline) tickUntil(now_ + kTick);
  if (heard_.size() == before) return std::nullopt;
  const HeardAnswer first = heard_[before];
  tickUntil(first.at + answerDuration(first.answer.pattern) + kGroupEnd + timing_.settle);
  return first.answer.pattern;
}

void SimulatedSender::wait(milliseconds duration) { tickUntil(now_ + duration); }

void SimulatedSender::tickUntil(DeviceTime until) {
  while (now_ < until) {
    now_ = std::min(now_ + kTick, until);
    take(device_.onTick(now_));
  }
}

void SimulatedSender::take(const DialogueOutput& output) {
  if (output.answer) heard_.push_back({*output.answer, now_});
  stateChanged_ = stateChanged_ || output.stateChanged;
}

std::vector<std::string> runPlan(SimulatedSender& sender, const CommandPlan& plan) {
  std::vector<std::string> mismatches;
  for (const PlanAction& action : plan)
    for (const PlanSegment& segment : action.segments) {
      const std::optional<Signal> answer =
          sender.exchange(segment.digits, milliseconds(segment.timeoutMs));
      if (answer != segment.expected)
        mismatches.push_back(action.name + ": " + segment.label + ": " +
                             (answer ? signalName(*answer) : "keine Antwort"));
    }
  return mismatches;
}

}  // namespace qav::sim

// A stand-in for the programming side on a simulated line: it sends digits
// with DTMF timing, ticks the device like a media clock and hears answers.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "plan/command_plan.h"
#include "qav-sim/device_dialogue.h"

namespace qav::sim {

using namespace std::chrono_literals;

struct SenderTiming {
  milliseconds tone{500};
  milliseconds gap{110};
  milliseconds settle{500};
};

inline constexpr SenderTiming kFastSender{40ms, 0ms, 0ms};

struct HeardAnswer {
  DeviceAnswer answer;
  DeviceTime at;
};

class SimulatedSender {
 public:
  explicit SimulatedSender(DeviceDialogue& device, SenderTiming timing = {});

  // The call is answered now; the start signal heard within 10 s.
  std::optional<Signal> answerCall();
  // One step: the digits (none for an empty entry), the first answer within
  // the limit, then what the programming side waits before its next step:
  // the rest of the answer, the end of the tone group, the settle delay.
  std::optional<Signal> exchange(const std::string& digits, milliseconds limit = 10s);
  void sendDigits(const std::string& digits);
  void wait(milliseconds duration);
  void setTiming(const SenderTiming& timing) { timing_ = timing; }

  DeviceTime now() const { return now_; }
  const std::vector<HeardAnswer>& heard() const { return heard_; }
  bool stateChanged() const { return stateChanged_; }

 private:
  void tickUntil(DeviceTime until);
  void take(const DialogueOutput& output);

  DeviceDialogue& device_;
  SenderTiming timing_;
  DeviceTime now_;
  std::vector<HeardAnswer> heard_;
  bool stateChanged_ = false;
};

// Every segment in order; one line for each step that got another answer
// than the plan expects.
std::vector<std::string> runPlan(SimulatedSender& sender, const CommandPlan& plan);

}  // namespace qav::sim

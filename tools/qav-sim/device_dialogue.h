// The simulated QAV's side of a programming call: which answer it gives to
// the digits it receives and what it stores, apart from how they travel.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qav-sim/device_commands.h"
#include "qav-sim/device_state.h"
#include "qav-sim/dialogue_timing.h"
#include "qav-sim/entry_reader.h"
#include "qav-sim/fault_plan.h"
#include "tone/signal.h"

namespace qav::sim {

struct DeviceAnswer {
  Signal pattern = Signal::SingleConfirmation;
  std::uint32_t step = 0;    // as counted by the FaultPlan
  bool hangUpAfter = false;  // end the call once the pattern has been played
};

struct DialogueOutput {
  std::optional<DeviceAnswer> answer;  // to start playing now
  bool stateChanged = false;           // state() holds newly committed values
};

// Driven by the call: start when the call is answered, onDigit for every
// received digit at the moment its tone ended, onTick as time passes (every
// media frame is fine). Times must not go backwards. Digits that arrive
// while an answer is due or still sounding are not heard, as a device does
// not listen over its own tones.
class DeviceDialogue {
 public:
  explicit DeviceDialogue(DeviceState state, DialogueTiming timing = {}, FaultPlan faults = {});

  DialogueOutput start(DeviceTime now);
  DialogueOutput onDigit(char digit, DeviceTime at);
  DialogueOutput onTick(DeviceTime now);

  const DeviceState& state() const { return state_; }
  // Done with the call: hung up, or left talking to another device.
  bool ended() const { return stage_ == Stage::Ended || stage_ == Stage::Passive; }

 private:
  enum class Stage { Ringing, Cabin, Pin, Code, Entries, Calibrating, Passive, Ended };
  struct PendingAnswer {
    DeviceAnswer answer;
    DeviceTime due;
  };

  DialogueOutput take();
  void advance(DeviceTime now);
  void play(DeviceTime now);
  bool hearing(DeviceTime at) const;
  void complete(DeviceTime at);
  void judgeCabin(const std::string& entry, std::uint32_t step, bool refuse, DeviceTime at);
  void judgePin(const std::string& entry, std::uint32_t step, bool refuse, DeviceTime at);
  void judgeCode(const std::string& entry, std::uint32_t step, bool refuse, DeviceTime at);
  void judgeEntry(const std::string& entry, std::uint32_t step, bool refuse, DeviceTime at);
  void rejectCommand(std::uint32_t step, DeviceTime at);
  void endCall(DeviceTime at);
  void respond(std::uint32_t step, Signal pattern, DeviceTime at, milliseconds delay,
               bool endsCall = false);
  void respond(std::uint32_t step, Signal pattern, DeviceTime at);
  void expectCode();
  void expectEntry();
  void commit(const DeviceState& staged);
  DeviceState& addressed();

  DeviceState state_;
  // The other device on a shared line, once it answered for a wrong cabin.
  std::optional<DeviceState> foreign_;
  DialogueTiming timing_;
  FaultPlan faults_;
  char ownCabin_;  // the bus address when the call began
  Stage stage_ = Stage::Ringing;
  EntryReader reader_;
  const DeviceCommand* command_ = nullptr;
  std::vector<std::string> entries_;  // staged until the command's last entry
  std::uint32_t steps_ = 0;
  std::optional<PendingAnswer> pending_;
  DeviceTime quietFrom_{};
  DialogueOutput output_;
};

}  // namespace qav::sim

#include "qav-sim/device_dialogue.h"

#include <utility>

#include "qav-sim/answer_audio.h"

namespace qav::sim {

namespace {

// Any key selects a cabin; only the device with that bus address answers.
const EntryFormat kCabinEntry{1, 1, nullptr};

// A bus address of 1 to 9 puts the device on a shared line.
char cabinOf(const DeviceState& state) {
  const std::string& address = state.busAddress;
  return address.size() == 1 && address[0] >= '1' && address[0] <= '9' ? address[0] : '0';
}

}  // namespace

DeviceDialogue::DeviceDialogue(DeviceState state, DialogueTiming timing, FaultPlan faults)
    : state_(std::move(state)),
      timing_(timing),
      faults_(std::move(faults)),
      ownCabin_(cabinOf(state_)),
      reader_(timing.interDigitPause) {}

DialogueOutput DeviceDialogue::start(DeviceTime now) {
  const bool sharedLine = ownCabin_ != '0';
  stage_ = sharedLine ? Stage::Cabin : Stage::Pin;
  reader_.begin(sharedLine ? kCabinEntry : pinEntry(), std::nullopt);
  const std::uint32_t step = ++steps_;
  if (faults_.silenceAt == step) {
    quietFrom_ = now;
  } else {
    const bool refuse = faults_.refuses(step);
    const Signal greeting = sharedLine ? Signal::MultiDevicePrompt : Signal::SingleConfirmation;
    respond(step, refuse ? Signal::ParameterError : greeting, now, timing_.startSignalDelay);
  }
  advance(now);
  return take();
}

DialogueOutput DeviceDialogue::onDigit(char digit, DeviceTime at) {
  advance(at);
  if (hearing(at)) {
    // Outside a command, "0" is not the start of an opening code but the
    // end of the programming call.
    if (stage_ == Stage::Code && reader_.empty() && digit == '0')
      endCall(at);
    else if (reader_.add(digit, at) == EntryStatus::Complete)
      complete(at);
  }
  advance(at);
  return take();
}

DialogueOutput DeviceDialogue::onTick(DeviceTime now) {
  advance(now);
  return take();
}

DialogueOutput DeviceDialogue::take() { return std::exchange(output_, DialogueOutput{}); }

void DeviceDialogue::advance(DeviceTime now) {
  for (;;) {
    if (pending_) {
      if (pending_->due > now) return;
      play(now);
      continue;
    }
    if (ended() || now < quietFrom_) return;
    const std::optional<DeviceTime> due = reader_.deadline();
    if (!due || *due > now) return;
    if (reader_.poll(*due) == EntryStatus::Abandoned) {
      // Nothing came for an entry that cannot be empty: the command is
      // dropped without a tone, as if it had never been opened.
      command_ = nullptr;
      stage_ = Stage::Code;
      expectCode();
    } else {
      complete(*due);
    }
  }
}

void DeviceDialogue::play(DeviceTime now) {
  output_.answer = pending_->answer;
  pending_.reset();
  quietFrom_ = now + answerDuration(output_.answer->pattern);
  reader_.armIdle(quietFrom_);
  // The calibration counts as done only once its measurement is over.
  if (stage_ == Stage::Calibrating) {
    DeviceState staged = addressed();
    staged.calibrated = true;
    commit(staged);
    stage_ = Stage::Code;
  }
  if (output_.answer->hangUpAfter) stage_ = Stage::Ended;
}

bool DeviceDialogue::hearing(DeviceTime at) const {
  return !pending_ && at >= quietFrom_ && !ended() && stage_ != Stage::Ringing &&
         stage_ != Stage::Calibrating;
}

void DeviceDialogue::complete(DeviceTime at) {
  const std::string entry = reader_.text();
  const std::uint32_t step = ++steps_;
  if (faults_.silenceAt == step) {
    reader_.restart(at);
    return;
  }
  const bool refuse = faults_.refuses(step);
  switch (stage_) {
    case Stage::Cabin:
      return judgeCabin(entry, step, refuse, at);
    case Stage::Pin:
      return judgePin(entry, step, refuse, at);
    case Stage::Code:
      return judgeCode(entry, step, refuse, at);
    case Stage::Entries:
      return judgeEntry(entry, step, refuse, at);
    default:
      return;
  }
}

void DeviceDialogue::judgeCabin(const std::string& entry, std::uint32_t step, bool refuse,
                                DeviceTime at) {
  if (refuse) {
    respond(step, Signal::ParameterError, at);
    reader_.begin(kCabinEntry, std::nullopt);
    return;
  }
  const char cabin = entry[0];
  const bool otherDevice =
      faults_.secondDevice && cabin != ownCabin_ && cabin >= '1' && cabin <= '9';
  if (cabin != ownCabin_ && !otherDevice) {
    // Another device on the bus has been addressed; this one keeps quiet
    // for the rest of the call.
    stage_ = Stage::Passive;
    return;
  }
  if (otherDevice) {
    foreign_ = state_;
    foreign_->busAddress = entry;
  }
  respond(step, Signal::SingleConfirmation, at);
  stage_ = Stage::Pin;
  reader_.begin(pinEntry(), std::nullopt);
}

void DeviceDialogue::judgePin(const std::string& entry, std::uint32_t step, bool refuse,
                              DeviceTime at) {
  if (refuse || faults_.refusesPin || entry != addressed().pin) {
    respond(step, Signal::ParameterError, at);
    reader_.begin(pinEntry(), std::nullopt);
    return;
  }
  respond(step, Signal::SingleConfirmation, at);
  stage_ = Stage::Code;
  expectCode();
}

void DeviceDialogue::judgeCode(const std::string& entry, std::uint32_t step, bool refuse,
                               DeviceTime at) {
  const DeviceCommand* command =
      conforms(openingCodeEntry(), entry) ? findCommand(entry.substr(2)) : nullptr;
  if (refuse || !command) {
    respond(step, Signal::ParameterError, at);
    expectCode();
    return;
  }
  if (command->calibrates) {
    stage_ = Stage::Calibrating;
    respond(step, Signal::DoubleConfirmation, at, timing_.calibration);
    expectCode();
    return;
  }
  command_ = command;
  entries_.clear();
  stage_ = Stage::Entries;
  respond(step, Signal::SingleConfirmation, at);
  expectEntry();
}

void DeviceDialogue::judgeEntry(const std::string& entry, std::uint32_t step, bool refuse,
                                DeviceTime at) {
  if (refuse || !conforms(command_->entries[entries_.size()], entry))
    return rejectCommand(step, at);
  entries_.push_back(entry);
  if (entries_.size() < command_->entries.size()) {
    respond(step, Signal::SingleConfirmation, at);
    expectEntry();
    return;
  }
  // Only the last entry commits, so that an aborted command leaves the
  // stored values as they were.
  DeviceState staged = addressed();
  if (!command_->commit(staged, entries_)) return rejectCommand(step, at);
  commit(staged);
  respond(step, Signal::DoubleConfirmation, at);
  command_ = nullptr;
  stage_ = Stage::Code;
  expectCode();
}

void DeviceDialogue::rejectCommand(std::uint32_t step, DeviceTime at) {
  respond(step, Signal::ParameterError, at);
  command_ = nullptr;
  stage_ = Stage::Code;
  expectCode();
}

void DeviceDialogue::endCall(DeviceTime at) {
  const std::uint32_t step = ++steps_;
  respond(step, Signal::AlternatingDisconnect, at, timing_.answerDelay, true);
  stage_ = Stage::Ended;
}

void DeviceDialogue::respond(std::uint32_t step, Signal pattern, DeviceTime at) {
  respond(step, pattern, at, timing_.answerDelay);
}

void DeviceDialogue::respond(std::uint32_t step, Signal pattern, DeviceTime at,
                             milliseconds delay, bool endsCall) {
  DeviceAnswer answer{pattern, step, endsCall && !faults_.noHangUpAfterZero};
  if (faults_.wrongTone && faults_.wrongTone->step == step)
    answer.pattern = faults_.wrongTone->pattern;
  if (faults_.hangUpAfter == step) answer.hangUpAfter = true;
  pending_ = PendingAnswer{answer, at + delay};
}

void DeviceDialogue::expectCode() { reader_.begin(openingCodeEntry(), std::nullopt); }

void DeviceDialogue::expectEntry() {
  const EntryFormat& format = command_->entries[entries_.size()];
  reader_.begin(format, format.mayBeEmpty() ? timing_.emptyEntryAfter : timing_.abandonAfter);
}

void DeviceDialogue::commit(const DeviceState& staged) {
  DeviceState& target = addressed();
  if (target == staged) return;
  target = staged;
  if (!foreign_) output_.stateChanged = true;
}

DeviceState& DeviceDialogue::addressed() { return foreign_ ? *foreign_ : state_; }

}  // namespace qav::sim

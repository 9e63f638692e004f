// Deliberate misbehaviour of the simulated QAV, so that the programming
// side's error paths can be exercised against a device that really fails.
#pragma once

#include <cstdint>
#include <optional>

#include "tone/signal.h"

namespace qav::sim {

// How the device's tones reach the line; the renderer applies it.
struct LineConditions {
  double levelDbfs = -12.0;
  std::optional<double> noiseDbfs;
  double frequencyOffsetPercent = 0.0;
};

struct StepTone {
  std::uint32_t step = 0;
  Signal pattern = Signal::SingleConfirmation;
};

// A step is the n-th occasion of the call on which the device answers,
// counted from 1 for the start signal. The cabin digit and the PIN are
// steps, so is every opening code and every entry (an entry may also be an
// empty one), and a repetition is a new step.
struct FaultPlan {
  // The step's answer is replaced; the device goes on as if it had given
  // the right one.
  std::optional<StepTone> wrongTone;
  // The step is refused as a parameter error, with all that follows from
  // that: the command is aborted, the PIN asked for again.
  std::optional<std::uint32_t> parameterErrorAt;
  // This step and every later one are refused so: a device that takes no
  // value, however often the caller repeats it.
  std::optional<std::uint32_t> parameterErrorsFrom;
  // Every PIN is refused, as by a device whose stored PIN is another one.
  bool refusesPin = false;
  // Every call is turned away with 486 Busy Here, as by a line in use.
  bool busy = false;
  // The step is not heard: no answer, and the device still waits for it.
  std::optional<std::uint32_t> silenceAt;
  // The device hangs up once its answer to the step has been played.
  std::optional<std::uint32_t> hangUpAfter;
  // The device plays the disconnect sequence after "0" but stays on the line.
  bool noHangUpAfterZero = false;
  // Another device shares the line and answers a cabin number that is not
  // this device's; the rest of the call then programs that other device.
  bool secondDevice = false;
  LineConditions line;

  bool refuses(std::uint32_t step) const {
    return parameterErrorAt == step || (parameterErrorsFrom && step >= *parameterErrorsFrom);
  }
};

}  // namespace qav::sim

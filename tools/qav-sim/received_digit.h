// A DTMF key the device has received over the call, by whichever of the
// three ways it travelled, at the moment the key was released.
#pragma once

#include <cstdint>

#include "qav-sim/dialogue_timing.h"

namespace qav::sim {

struct ReceivedDigit {
  char digit = 0;
  std::uint32_t durationMs = 0;  // how long the key was held, as the line told
  DeviceTime endedAt{};
};

}  // namespace qav::sim

// The device's answer patterns as line audio: the synthesiser's patterns at
// the level, noise and frequency error of the simulated line.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "qav-sim/fault_plan.h"
#include "tone/signal.h"

namespace qav::sim {

// 8 kHz mono PCM. The seed varies the noise from one answer to the next.
std::vector<std::int16_t> renderAnswer(Signal pattern, const LineConditions& line,
                                       std::uint32_t noiseSeed = 1);

// How long the pattern sounds, from its first tone to the end of its last.
std::chrono::milliseconds answerDuration(Signal pattern);

}  // namespace qav::sim

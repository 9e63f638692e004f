// DTMF digits as tone pairs of ITU-T Q.23, for playing the program's own
// commands into a simulated line.
#pragma once

#include <cstdint>
#include <string>

#include "tonesynth/tone_track.h"

namespace qav {

// Digits 0 to 9, * and #; each tone lasts toneMs, with gapMs of silence
// between digits and none after the last. Throws std::invalid_argument for
// any other character.
ToneTrack dtmfDigits(const std::string& digits, std::uint32_t toneMs, std::uint32_t gapMs);

}  // namespace qav

// What one received audio block carries: its band levels, and the tone kind
// the QAV's answer tones are recognised by.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tone/tone_burst.h"

namespace qav {

// RMS of the block (full scale 1.0) and its band levels (bandLevel): the low
// band that vetoes speech-like blocks, the high and middle tone, the trio.
struct BandLevels {
  double rms = 0.0;
  double low = 0.0;
  double high = 0.0;
  double middle = 0.0;
  double trio[3] = {0.0, 0.0, 0.0};
};

struct BlockClass {
  BurstKind kind = BurstKind::None;
  std::uint32_t trioMask = 0;  // trio tones at or above the presence level
};

BandLevels measureBands(std::uint32_t sampleRate, const std::int16_t* samples, std::size_t count);

BlockClass classifyBlock(const BandLevels& levels);

}  // namespace qav

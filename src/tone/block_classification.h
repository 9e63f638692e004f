// What one received audio block carries: the share of its energy that each of
// the QAV's answer tones holds, and the tone kind the block is read as.
#pragma once

#include <cstdint>

#include "tone/tone_burst.h"
#include "tone/tone_bins.h"

namespace qav {

// RMS of the block (full scale 1.0) and the strongest bin pair of the high
// tone, the middle tone and each trio tone.
struct BandLevels {
  double rms = 0.0;
  ToneShare high;
  ToneShare middle;
  ToneShare trio[3];
};

struct BlockClass {
  BurstKind kind = BurstKind::None;
  std::uint32_t trioMask = 0;  // trio tones present in the block
  // No tone, but a share of the high tone: maybe a burst the line hid.
  bool highTrace = false;
  // Not a tone block of its own, but the open burst's tone sagging.
  bool sagging = false;
};

// Blocks under the silence floor are measured only when quietToo is set: the
// analyzer needs their tone shares only inside a high burst, and most blocks
// of a call are silent.
BandLevels measureBands(ToneBins& bins, const std::int16_t* samples, std::size_t count,
                        bool quietToo = true);

// A tone block needs one tone, or the trio together, to hold most of the
// block's energy: a codec's comfort noise and line noise spread theirs.
BlockClass classifyBlock(const BandLevels& levels);

}  // namespace qav

#include "tone/block_classification.h"

#include <cmath>

namespace qav {

namespace {

constexpr double kSilentRms = 0.004;
// A pure tone holds at least 0.81 of its block; with the line 10 dB under
// it, about 0.74. Shaped comfort noise stays under 0.65, white noise near 0.03.
constexpr float kToneShare = 0.7f;
// A trio tone counts as present in a block where all three share it.
constexpr float kTrioPresent = 0.12f;

}  // namespace

BandLevels measureBands(ToneBins& bins, const std::int16_t* samples, std::size_t count,
                        bool quietToo) {
  BandLevels levels;
  if (count == 0) return levels;
  levels.rms = std::sqrt(bins.measure(samples, count, quietToo ? 0.0 : kSilentRms * kSilentRms));
  levels.high = bins.best(kHighBins);
  levels.middle = bins.best(kMiddleBins);
  for (int i = 0; i < 3; ++i) levels.trio[i] = bins.best(kTrioBins[i]);
  return levels;
}

BlockClass classifyBlock(const BandLevels& levels) {
  BlockClass block;
  if (levels.rms < kSilentRms) return block;
  float trioSum = 0.0f;
  for (int i = 0; i < 3; ++i) {
    trioSum += levels.trio[i].share;
    if (levels.trio[i].share >= kTrioPresent) block.trioMask |= 1u << i;
  }
  if (levels.high.share >= kToneShare) {
    block.kind = BurstKind::HighTone;
  } else if (levels.middle.share >= kToneShare) {
    block.kind = BurstKind::MiddleTone;
  } else if (trioSum >= kToneShare) {
    block.kind = BurstKind::TrioTone;
  }
  if (block.kind != BurstKind::TrioTone) block.trioMask = 0;
  return block;
}

}  // namespace qav

#include "tone/block_classification.h"

#include <algorithm>
#include <cmath>

#include "tone/goertzel.h"

namespace qav {

namespace {

struct Band {
  double centre;
  double halfWidth;
  double step;
};

// The bands are fixed so that every line and every QAV is judged alike.
constexpr Band kLowBand{434, 55, 11};
constexpr Band kHighBand{2109, 170, 20};
constexpr Band kMiddleBand{719, 117, 18};
constexpr Band kTrioBands[3] = {{925, 33, 11}, {1054, 33, 11}, {1183, 33, 11}};

constexpr double kSilentRms = 0.004;
constexpr double kLowVeto = 0.46;
constexpr double kHighPresent = 0.48;
constexpr double kHighDominance = 0.95;
constexpr double kMiddlePresent = 0.52;
constexpr double kMiddleDominance = 1.08;
constexpr double kTrioPresent = 0.48;
constexpr double kTrioHeard = 0.34;

double blockRms(const std::int16_t* samples, std::size_t count) {
  double energy = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    const double x = samples[i] / 32768.0;
    energy += x * x;
  }
  return std::sqrt(energy / static_cast<double>(count));
}

double level(std::uint32_t rate, const std::int16_t* samples, std::size_t count, const Band& b) {
  return bandLevel(rate, samples, count, b.centre, b.halfWidth, b.step);
}

}  // namespace

BandLevels measureBands(std::uint32_t sampleRate, const std::int16_t* samples, std::size_t count) {
  BandLevels levels;
  if (count == 0) return levels;
  levels.rms = blockRms(samples, count);
  levels.low = level(sampleRate, samples, count, kLowBand);
  levels.high = level(sampleRate, samples, count, kHighBand);
  levels.middle = level(sampleRate, samples, count, kMiddleBand);
  for (int i = 0; i < 3; ++i) levels.trio[i] = level(sampleRate, samples, count, kTrioBands[i]);
  return levels;
}

BlockClass classifyBlock(const BandLevels& levels) {
  BlockClass block;
  int trioCount = 0;
  double trioMax = 0.0;
  for (int i = 0; i < 3; ++i) {
    if (levels.trio[i] >= kTrioHeard) {
      ++trioCount;
      block.trioMask |= 1u << i;
    }
    trioMax = std::max(trioMax, levels.trio[i]);
  }
  const bool trioMulti = trioCount >= 2;

  if (levels.rms < kSilentRms) {
    block.kind = BurstKind::None;
  } else if (levels.low >= kLowVeto && !trioMulti) {
    block.kind = BurstKind::None;
  } else if (levels.high >= kHighPresent &&
             levels.high > kHighDominance * std::max(trioMax, levels.middle)) {
    block.kind = BurstKind::HighTone;
  } else if (levels.middle >= kMiddlePresent && levels.middle > kMiddleDominance * trioMax) {
    block.kind = BurstKind::MiddleTone;
  } else if (trioMax >= kTrioPresent || trioMulti) {
    block.kind = BurstKind::TrioTone;
  }
  return block;
}

}  // namespace qav

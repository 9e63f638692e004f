#include "tone/tone_bins.h"

#include <cmath>

namespace qav {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kLowFirst = 12;
constexpr int kLowLast = 24;
constexpr int kHighFirst = 38;
constexpr int kHighLast = 46;
constexpr int kHighLane = kLowLast - kLowFirst + 1;
constexpr float kSampleScale = 1.0f / 32768.0f;

}  // namespace

int ToneBins::lane(int bin) {
  return bin >= kHighFirst ? kHighLane + bin - kHighFirst : bin - kLowFirst;
}

ToneBins::ToneBins(std::uint32_t sampleRate) {
  if (sampleRate == 0) return;
  auto set = [&](int bin) {
    coefficient[lane(bin)] = static_cast<float>(2.0 * std::cos(kTwoPi * bin * kBinHz / sampleRate));
  };
  for (int bin = kLowFirst; bin <= kLowLast; ++bin) set(bin);
  for (int bin = kHighFirst; bin <= kHighLast; ++bin) set(bin);
}

// Goertzel's recursion for all lanes at once, sample by sample; the padding
// lanes run with a coefficient of 0 and are never read.
double ToneBins::measure(const std::int16_t* samples, std::size_t n, double floor) {
  float sum = 0.0f;
  for (std::size_t i = 0; i < n; ++i) {
    const float x = samples[i] * kSampleScale;
    sum += x * x;
  }
  energy = sum;
  count = static_cast<double>(n);
  if (n == 0 || energy / count < floor) {
    energy = 0.0;
    return n == 0 ? 0.0 : sum / count;
  }
  alignas(32) float s1[kLanes] = {};
  alignas(32) float s2[kLanes] = {};
  // Two samples per step: the second uses the first's result directly, which
  // saves the copying of the filter state every other sample.
  std::size_t i = 0;
  for (; i + 1 < n; i += 2) {
    const float x0 = samples[i] * kSampleScale;
    const float x1 = samples[i + 1] * kSampleScale;
    for (int k = 0; k < kLanes; ++k) {
      const float a = x0 + coefficient[k] * s1[k] - s2[k];
      const float b = x1 + coefficient[k] * a - s1[k];
      s2[k] = a;
      s1[k] = b;
    }
  }
  if (i < n) {
    const float x = samples[i] * kSampleScale;
    for (int k = 0; k < kLanes; ++k) {
      const float s = x + coefficient[k] * s1[k] - s2[k];
      s2[k] = s1[k];
      s1[k] = s;
    }
  }
  for (int k = 0; k < kLanes; ++k)
    binPower[k] = s1[k] * s1[k] + s2[k] * s2[k] - coefficient[k] * s1[k] * s2[k];
  return energy / count;
}

// A sine of amplitude A on a bin has |X|^2 = (A n / 2)^2 and energy A^2 n / 2,
// so 2 |X|^2 / (n energy) is its share of the block: 1.
ToneShare ToneBins::best(const BinBand& band) const {
  ToneShare result;
  if (energy <= 0.0 || count == 0.0) return result;
  for (int bin = band.first; bin <= band.last; ++bin) {
    const double pair = binPower[lane(bin)] + binPower[lane(bin + 1)];
    const double share = 2.0 * pair / (count * energy);
    if (share > result.share) {
      result.share = static_cast<float>(share);
      result.bin = bin;
    }
  }
  if (result.bin < 0) return result;
  result.power = static_cast<float>(result.share * energy / count);
  // With a whole number of periods per bin, a tone a fraction d above bin k
  // has |X(k+1)| / |X(k)| = d / (1 - d).
  const double lower = binPower[lane(result.bin)];
  const double ratio = lower > 0.0 ? std::sqrt(binPower[lane(result.bin + 1)] / lower) : 1e9;
  result.hz = static_cast<float>((result.bin + ratio / (1.0 + ratio)) * kBinHz);
  return result;
}

}  // namespace qav

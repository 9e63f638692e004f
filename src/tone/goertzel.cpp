#include "tone/goertzel.h"

#include <algorithm>
#include <cmath>

namespace qav {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kSampleScale = 3.0517578125e-05;  // 2^-15
constexpr double kSilentEnergy = 1e-10;
constexpr double kRmsFloor = 1e-9;

}  // namespace

double toneLevel(std::uint32_t sampleRate, const std::int16_t* samples, std::uint64_t count,
                 double frequency) {
  if (count == 0 || sampleRate == 0) return 0.0;
  const double c = 2.0 * std::cos(kTwoPi * frequency / sampleRate);
  double s1 = 0.0;
  double s2 = 0.0;
  double energy = 0.0;
  for (std::uint64_t i = 0; i < count; ++i) {
    const double x = samples[i] * kSampleScale;
    energy += x * x;
    const double s = x + c * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  if (energy < kSilentEnergy) return 0.0;
  const double power = std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2);
  const double n = static_cast<double>(count);
  const double amplitude = 2.0 * std::sqrt(power) / n;
  const double rms = std::sqrt(energy / n);
  return amplitude / std::max(rms, kRmsFloor);
}

double bandLevel(std::uint32_t sampleRate, const std::int16_t* samples, std::uint64_t count,
                 double centre, double halfWidth, double step) {
  const double lo = centre - halfWidth;
  const double hi = centre + halfWidth;
  if (hi < lo || count == 0) return 0.0;
  double best = 0.0;
  for (double f = lo;;) {
    best = std::max(best, toneLevel(sampleRate, samples, count, f));
    // A step that does not advance f (zero, negative, NaN or lost in rounding)
    // would never reach hi: probe lo alone rather than loop for ever.
    const double next = f + step;
    if (!(next > f) || next > hi) break;
    f = next;
  }
  return best;
}

}  // namespace qav

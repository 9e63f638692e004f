#include "tonesynth/pcm_render.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "tonesynth/gaussian_noise.h"

namespace qav {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kFullScale = 32767.0;

double sinePeak(double dbfs) { return std::pow(10.0, dbfs / 20.0); }

std::int16_t toPcm(double value) {
  const double scaled = std::round(value * kFullScale);
  return static_cast<std::int16_t>(std::clamp(scaled, -32768.0, 32767.0));
}

}  // namespace

std::vector<std::int16_t> render(const ToneTrack& track, const RenderOptions& options) {
  const double rate = options.sampleRate;
  const double scale = 1.0 + options.frequencyOffsetPercent / 100.0;
  std::vector<double> mix;
  for (const ToneSegment& segment : track.segments) {
    const std::size_t start = mix.size();
    const std::size_t length =
        static_cast<std::uint64_t>(segment.durationMs) * options.sampleRate / 1000;
    mix.resize(start + length, 0.0);
    if (segment.frequencies.empty()) continue;
    const double amplitude =
        sinePeak(options.levelDbfs) / std::sqrt(static_cast<double>(segment.frequencies.size()));
    for (double frequency : segment.frequencies) {
      // Phase runs on the track's clock, so a tone that continues into the
      // next segment does so without a click.
      const double omega = kTwoPi * frequency * scale / rate;
      for (std::size_t n = start; n < start + length; ++n)
        mix[n] += amplitude * std::sin(omega * n);
    }
  }
  if (options.noiseDbfs) {
    GaussianNoise noise(options.noiseSeed, sinePeak(*options.noiseDbfs) / std::sqrt(2.0));
    for (double& value : mix) value += noise.next();
  }
  std::vector<std::int16_t> pcm(mix.size());
  std::transform(mix.begin(), mix.end(), pcm.begin(), toPcm);
  return pcm;
}

}  // namespace qav

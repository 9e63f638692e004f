// Renders a tone track to 16-bit PCM as a line would deliver it: at a chosen
// level, with a generator's frequency error and with seeded line noise.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tonesynth/tone_track.h"

namespace qav {

constexpr std::uint32_t kLineSampleRate = 8000;

// Levels are in dBFS, RMS relative to a full-scale sine: 0 dBFS is a sine of
// peak 32767. A segment with several tones shares its level equally among
// them; peaks beyond full scale are clipped, as a codec would.
struct RenderOptions {
  std::uint32_t sampleRate = kLineSampleRate;
  double levelDbfs = -12.0;
  // Every frequency is scaled by (1 + percent / 100), like a drifting clock.
  double frequencyOffsetPercent = 0.0;
  // White Gaussian noise over the whole track, pauses included.
  std::optional<double> noiseDbfs;
  std::uint32_t noiseSeed = 1;
};

std::vector<std::int16_t> render(const ToneTrack& track, const RenderOptions& options);

}  // namespace qav

// Noise on a telephone line: white, pink, or shaped like the long-term
// spectrum of speech, seeded so that a run can be repeated.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tonesynth/gaussian_noise.h"

namespace qav::line {

enum class NoiseColour { White, Pink, Speech };

// "weiss"/"white", "rosa"/"pink", "sprache"/"speech".
std::optional<NoiseColour> noiseColourNamed(const std::string& name);
std::string noiseColourName(NoiseColour colour);

struct NoiseSpec {
  NoiseColour colour = NoiseColour::White;
  // RMS relative to a full-scale sine, as the tone levels are given.
  double dbfs = -45.0;
  std::uint32_t seed = 1;
};

// One stream of samples; one thread at a time.
class LineNoise {
 public:
  explicit LineNoise(const NoiseSpec& spec);
  // Full scale is 1.0.
  double next();

 private:
  double shaped(double white);

  NoiseColour colour;
  GaussianNoise white;
  double gain = 1.0;
  double state[3] = {0.0, 0.0, 0.0};
};

}  // namespace qav::line

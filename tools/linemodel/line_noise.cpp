#include "linemodel/line_noise.h"

#include <cmath>

namespace qav::line {

namespace {

constexpr int kCalibrationSamples = 80000;

}  // namespace

std::optional<NoiseColour> noiseColourNamed(const std::string& name) {
  if (name == "white" || name == "weiss") return NoiseColour::White;
  if (name == "pink" || name == "rosa") return NoiseColour::Pink;
  if (name == "speech" || name == "sprache") return NoiseColour::Speech;
  return std::nullopt;
}

std::string noiseColourName(NoiseColour colour) {
  switch (colour) {
    case NoiseColour::White: return "white";
    case NoiseColour::Pink: return "pink";
    case NoiseColour::Speech: return "speech";
  }
  return "white";
}

// The shaping filters change the level, so a copy of the generator measures
// what unit white noise becomes, and the gain scales it to the wanted RMS.
LineNoise::LineNoise(const NoiseSpec& spec) : colour(spec.colour), white(spec.seed, 1.0) {
  const double target = std::pow(10.0, spec.dbfs / 20.0) / std::sqrt(2.0);
  LineNoise probe = *this;
  double energy = 0.0;
  for (int i = 0; i < kCalibrationSamples; ++i) {
    const double x = probe.shaped(probe.white.next());
    energy += x * x;
  }
  gain = target / std::sqrt(energy / kCalibrationSamples);
}

double LineNoise::next() { return gain * shaped(white.next()); }

double LineNoise::shaped(double x) {
  switch (colour) {
    case NoiseColour::White:
      return x;
    case NoiseColour::Pink:
      // Three one-pole sections spread over the band approximate -3 dB per
      // octave within the telephone band.
      state[0] = 0.99765 * state[0] + x * 0.0990460;
      state[1] = 0.96300 * state[1] + x * 0.2965164;
      state[2] = 0.57000 * state[2] + x * 1.0526913;
      return state[0] + state[1] + state[2] + x * 0.1848;
    case NoiseColour::Speech: {
      // The long-term speech spectrum: flat to about 500 Hz, falling by
      // 6 dB per octave above it, little below 150 Hz.
      const double highPassed = x - state[0] + 0.889 * state[1];
      state[0] = x;
      state[1] = highPassed;
      state[2] = 0.675 * state[2] + 0.325 * highPassed;
      return state[2];
    }
  }
  return x;
}

}  // namespace qav::line

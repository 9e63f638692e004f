// Seeded white Gaussian noise that is the same on every platform, for the
// synthesised lines of the tests, the benchmarks and the simulator.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>

namespace qav {

// Box-Muller on the raw Mersenne Twister output rather than
// std::normal_distribution, whose algorithm differs between standard
// libraries: the same seed gives the same noise on Linux and FreeBSD.
// One object per stream; not shared between threads.
class GaussianNoise {
 public:
  GaussianNoise(std::uint32_t seed, double rms) : engine(seed), rms(rms) {}

  double next() {
    if (haveSpare) {
      haveSpare = false;
      return spare * rms;
    }
    constexpr double kTwoPi = 6.283185307179586;
    const double u1 = (engine() + 1.0) / 4294967296.0;  // (0, 1]: log stays finite
    const double u2 = engine() / 4294967296.0;
    const double radius = std::sqrt(-2.0 * std::log(u1));
    spare = radius * std::sin(kTwoPi * u2);
    haveSpare = true;
    return radius * std::cos(kTwoPi * u2) * rms;
  }

 private:
  std::mt19937 engine;
  double rms;
  double spare = 0.0;
  bool haveSpare = false;
};

}  // namespace qav

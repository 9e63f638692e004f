#include "audio/dtmf_tones.h"

#include <algorithm>
#include <cmath>

namespace qav {
namespace {

constexpr double twoPi = 6.283185307179586;
constexpr std::uint32_t sampleRate = 8000;
constexpr char digitsByRow[4][3] = {{'1', '2', '3'}, {'4', '5', '6'}, {'7', '8', '9'}, {'*', '0', '#'}};
constexpr double lowGroup[4] = {697, 770, 852, 941};
constexpr double highGroup[3] = {1209, 1336, 1477};

}  // namespace

std::optional<std::pair<double, double>> dtmfTonePair(char digit) {
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (digitsByRow[row][column] == digit) return std::make_pair(lowGroup[row], highGroup[column]);
    }
  }
  return std::nullopt;
}

void appendDtmfTone(std::deque<std::int16_t>& fifo, std::pair<double, double> pair, std::uint32_t toneMs) {
  if (static_cast<std::uint64_t>(toneMs) * sampleRate < 1000) return;
  const std::uint64_t count = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(toneMs) * sampleRate / 1000);
  for (std::uint64_t n = 0; n < count; ++n) {
    const double at = static_cast<double>(n);
    const double value = std::sin(twoPi * pair.first * at / sampleRate) * 0.25 +
                         std::sin(twoPi * pair.second * at / sampleRate) * 0.25;
    fifo.push_back(static_cast<std::int16_t>(value * 32767));
  }
}

void appendSilence(std::deque<std::int16_t>& fifo, std::uint32_t gapMs) {
  fifo.insert(fifo.end(), static_cast<std::size_t>(gapMs) * sampleRate / 1000, std::int16_t{0});
}

}  // namespace qav

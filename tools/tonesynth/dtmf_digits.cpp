#include "tonesynth/dtmf_digits.h"

#include <stdexcept>

namespace qav {

namespace {

constexpr double kRowHz[4] = {697, 770, 852, 941};
constexpr double kColumnHz[3] = {1209, 1336, 1477};
constexpr char kKeypad[4][4] = {"123", "456", "789", "*0#"};

ToneSegment digitTone(char digit, std::uint32_t toneMs) {
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (kKeypad[row][column] == digit) return tone({kRowHz[row], kColumnHz[column]}, toneMs);
    }
  }
  throw std::invalid_argument(std::string("no DTMF tone pair for '") + digit + "'");
}

}  // namespace

ToneTrack dtmfDigits(const std::string& digits, std::uint32_t toneMs, std::uint32_t gapMs) {
  ToneTrack track;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0) track.add(pause(gapMs));
    track.add(digitTone(digits[i], toneMs));
  }
  return track;
}

}  // namespace qav

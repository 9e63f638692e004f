#include "tonesynth/dtmf_digits.h"

#include <stdexcept>

#include "audio/dtmf_tones.h"

namespace qav {

namespace {

ToneSegment digitTone(char digit, std::uint32_t toneMs) {
  if (const auto pair = dtmfTonePair(digit)) return tone({pair->first, pair->second}, toneMs);
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

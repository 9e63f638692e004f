// The tone patterns a QAV answers with and greets a call with, as tracks
// that the simulator plays and the tests feed to the analyzer.
#pragma once

#include <cstdint>

#include "tone/signal.h"
#include "tonesynth/tone_track.h"

namespace qav {

// Each at the centre of the analyzer's band for it.
constexpr double kHighToneHz = 2109.0;
constexpr double kMiddleToneHz = 719.0;
constexpr double kTrioToneHz[3] = {925.0, 1054.0, 1183.0};

struct PatternShape {
  std::uint32_t burstMs = 0;
  std::uint32_t pauseMs = 0;  // between bursts; the track ends with the last burst
  std::uint32_t bursts = 0;
  // Prompt only: the three trio tones as one chord rather than one after
  // another within each burst.
  bool trioTogether = false;
};

PatternShape defaultShape(Signal signal);

ToneTrack answerPattern(Signal signal, const PatternShape& shape);
ToneTrack answerPattern(Signal signal);

// A single device greets with the single confirmation tone, a QAV on a shared
// line with the multi-device prompt.
ToneTrack startSignal(bool sharedLine);

}  // namespace qav

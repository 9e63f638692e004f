#include "tonesynth/answer_patterns.h"

namespace qav {

namespace {

ToneTrack trioBurst(std::uint32_t burstMs, bool together) {
  ToneTrack burst;
  if (together) {
    burst.add(tone({kTrioToneHz[0], kTrioToneHz[1], kTrioToneHz[2]}, burstMs));
    return burst;
  }
  const std::uint32_t part = burstMs / 3;
  burst.add(tone({kTrioToneHz[0]}, part));
  burst.add(tone({kTrioToneHz[1]}, part));
  burst.add(tone({kTrioToneHz[2]}, burstMs - 2 * part));
  return burst;
}

ToneTrack patternBurst(Signal signal, const PatternShape& shape) {
  switch (signal) {
    case Signal::MultiDevicePrompt:
      return trioBurst(shape.burstMs, shape.trioTogether);
    case Signal::AlternatingDisconnect:
      return ToneTrack{{tone({kMiddleToneHz}, shape.burstMs)}};
    default:
      return ToneTrack{{tone({kHighToneHz}, shape.burstMs)}};
  }
}

}  // namespace

PatternShape defaultShape(Signal signal) {
  switch (signal) {
    case Signal::SingleConfirmation:
      return {150, 200, 1, false};
    case Signal::DoubleConfirmation:
      return {150, 200, 2, false};
    case Signal::ParameterError:
      return {150, 200, 3, false};
    case Signal::AlternatingDisconnect:
      return {200, 200, 4, false};
    case Signal::MultiDevicePrompt:
      return {240, 200, 2, false};
  }
  return {};
}

ToneTrack answerPattern(Signal signal, const PatternShape& shape) {
  ToneTrack track;
  for (std::uint32_t i = 0; i < shape.bursts; ++i) {
    if (i > 0) track.add(pause(shape.pauseMs));
    track.add(patternBurst(signal, shape));
  }
  return track;
}

ToneTrack answerPattern(Signal signal) { return answerPattern(signal, defaultShape(signal)); }

ToneTrack startSignal(bool sharedLine) {
  return answerPattern(sharedLine ? Signal::MultiDevicePrompt : Signal::SingleConfirmation);
}

}  // namespace qav

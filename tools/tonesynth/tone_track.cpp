#include "tonesynth/tone_track.h"

namespace qav {

ToneTrack& ToneTrack::add(const ToneSegment& segment) {
  segments.push_back(segment);
  return *this;
}

ToneTrack& ToneTrack::add(const ToneTrack& track) {
  segments.insert(segments.end(), track.segments.begin(), track.segments.end());
  return *this;
}

std::uint32_t ToneTrack::durationMs() const {
  std::uint32_t total = 0;
  for (const ToneSegment& segment : segments) total += segment.durationMs;
  return total;
}

ToneSegment tone(std::initializer_list<double> frequencies, std::uint32_t durationMs) {
  return ToneSegment{std::vector<double>(frequencies), durationMs};
}

ToneSegment pause(std::uint32_t durationMs) { return ToneSegment{{}, durationMs}; }

}  // namespace qav

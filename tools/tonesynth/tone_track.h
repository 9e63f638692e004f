// A description of test and simulator audio as a sequence of tone segments
// and pauses, before it is rendered to PCM.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace qav {

// The listed frequencies sound together for the whole segment; a segment
// without frequencies is a pause.
struct ToneSegment {
  std::vector<double> frequencies;
  std::uint32_t durationMs = 0;
};

struct ToneTrack {
  std::vector<ToneSegment> segments;

  ToneTrack& add(const ToneSegment& segment);
  ToneTrack& add(const ToneTrack& track);
  std::uint32_t durationMs() const;
};

ToneSegment tone(std::initializer_list<double> frequencies, std::uint32_t durationMs);
ToneSegment pause(std::uint32_t durationMs);

}  // namespace qav

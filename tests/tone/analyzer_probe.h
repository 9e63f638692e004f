// Feeds rendered audio to a ToneAnalyzer block by block, the way the media
// port does, and records which signals arrived with which block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "tone/tone_analyzer.h"
#include "tonesynth/pcm_render.h"
#include "tonesynth/tone_track.h"

namespace qav {

// Failure messages name the signal instead of printing its number.
inline void PrintTo(Signal signal, std::ostream* out) { *out << signalName(signal); }

struct HeardSignal {
  Signal signal;
  std::size_t block;  // 1-based count of blocks fed when it arrived
};

class AnalyzerProbe {
 public:
  AnalyzerProbe();

  // A trailing part shorter than blockSize is fed as a short block.
  void feed(const std::vector<std::int16_t>& pcm, std::size_t blockSize = 160);
  void feed(const ToneTrack& track, const RenderOptions& options = {});
  void feedSilentBlocks(std::size_t blocks, std::size_t blockSize = 160);
  std::vector<Signal> signals() const;

  ToneAnalyzer analyzer{kLineSampleRate};
  std::vector<HeardSignal> heard;
  std::size_t blocks = 0;
};

}  // namespace qav

// Runs the tone analyzer over one channel of a recording, block by block as
// the media port feeds it, and gathers what it decided and how loud it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "tone/analyzer_trace.h"
#include "tonesynth/wav_reader.h"

namespace qav {

// The media port's block: 20 ms at 8 kHz.
constexpr std::size_t kRecordingBlockSamples = 160;
// Silence fed after the end of the file, longer than the pause that ends a
// tone group, so that a recording stopped right after a tone still gives it.
constexpr std::uint32_t kRecordingTailMs = 1000;

struct RecordingAnalysis {
  std::uint64_t samples = 0;     // of the channel, in the file
  std::uint64_t durationMs = 0;  // of the file, without the appended silence
  double peak = 0.0;             // largest magnitude, full scale 1.0
  double rms = 0.0;              // over the whole file, full scale 1.0
  std::vector<GroupTrace> groups;
};

// onBlock sees the blocks of the file, not those of the appended silence; a
// last short block is padded with silence to a whole block. Throws what the
// reader throws.
RecordingAnalysis analyzeRecording(WavReader& reader, const std::function<void(const BlockTrace&)>& onBlock);

}  // namespace qav

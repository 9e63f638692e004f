#include "tonesynth/recording_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tone/tone_analyzer.h"

namespace qav {

RecordingAnalysis analyzeRecording(WavReader& reader, const std::function<void(const BlockTrace&)>& onBlock) {
  RecordingAnalysis result;
  bool inFile = true;
  ToneAnalyzer analyzer(kRecordingSampleRate);
  analyzer.setTrace(AnalyzerTrace{
      [&](const BlockTrace& block) {
        if (onBlock && inFile) onBlock(block);
      },
      [&](const GroupTrace& group) { result.groups.push_back(group); }});

  double energy = 0.0;
  int peak = 0;
  for (;;) {
    std::vector<std::int16_t> block = reader.read(kRecordingBlockSamples);
    if (block.empty()) break;
    for (std::int16_t s : block) {
      energy += static_cast<double>(s) * s;
      peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    result.samples += block.size();
    block.resize(kRecordingBlockSamples, 0);
    analyzer.process(block.data(), block.size());
  }
  result.durationMs = result.samples * 1000 / kRecordingSampleRate;
  inFile = false;
  const std::vector<std::int16_t> silence(kRecordingBlockSamples, 0);
  const std::uint32_t blockMs = kRecordingBlockSamples * 1000 / kRecordingSampleRate;
  for (std::uint32_t ms = 0; ms < kRecordingTailMs; ms += blockMs) analyzer.process(silence.data(), silence.size());

  result.peak = peak / 32768.0;
  if (result.samples > 0) result.rms = std::sqrt(energy / static_cast<double>(result.samples)) / 32768.0;
  return result;
}

}  // namespace qav

#include "analyzer_probe.h"

#include <algorithm>

namespace qav {

AnalyzerProbe::AnalyzerProbe() {
  analyzer.setCallback([this](Signal signal) { heard.push_back({signal, blocks}); });
}

void AnalyzerProbe::feed(const std::vector<std::int16_t>& pcm, std::size_t blockSize) {
  for (std::size_t at = 0; at < pcm.size(); at += blockSize) {
    ++blocks;
    analyzer.process(pcm.data() + at, std::min(blockSize, pcm.size() - at));
  }
}

void AnalyzerProbe::feed(const ToneTrack& track, const RenderOptions& options) {
  feed(render(track, options));
}

void AnalyzerProbe::feedSilentBlocks(std::size_t count, std::size_t blockSize) {
  feed(std::vector<std::int16_t>(count * blockSize, 0), blockSize);
}

std::vector<Signal> AnalyzerProbe::signals() const {
  std::vector<Signal> result;
  for (const HeardSignal& h : heard) result.push_back(h.signal);
  return result;
}

}  // namespace qav

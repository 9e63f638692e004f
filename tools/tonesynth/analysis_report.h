// The listing of qav-tones analyze: the file, optionally every block, then the
// tone groups with their bursts and signals and the file's length and level;
// as German text or as one JSON object per line.
#pragma once

#include <ostream>
#include <string>

#include "tone/analyzer_trace.h"
#include "tonesynth/recording_analysis.h"
#include "tonesynth/wav_reader.h"

namespace qav {

// Single-threaded; writes to a stream it does not own.
class AnalysisReport {
 public:
  AnalysisReport(std::ostream& out, bool json);

  void file(const std::string& path, const WavFormat& format, const std::string& channelName);
  void block(const BlockTrace& block);
  void summary(const RecordingAnalysis& analysis);

 private:
  void textGroup(std::size_t number, const GroupTrace& group);

  std::ostream& out;
  const bool json;
  bool blocksBegun = false;
};

}  // namespace qav

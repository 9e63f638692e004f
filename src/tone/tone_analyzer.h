// Turns received call audio, block by block, into the QAV's answer signals:
// band levels per block, blocks into bursts, bursts into a tone group.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "tone/analyzer_trace.h"
#include "tone/block_classification.h"
#include "tone/high_tone_evidence.h"
#include "tone/signal.h"
#include "tone/tone_burst.h"
#include "tone/tone_bins.h"

namespace qav {

// process runs in the media clock thread, the other operations in the
// caller's. The analysis lock is held for a whole block, including the
// callback, so the callback must not call back into the analyzer; whatever
// lock it takes comes after the analyzer's in the lock order.
class ToneAnalyzer {
 public:
  // A sample rate of 0 cannot be measured: such an analyzer ignores all audio.
  explicit ToneAnalyzer(std::uint32_t sampleRate);

  void setCallback(std::function<void(Signal)> callback);
  // Before the first block only: the trace is read without the lock.
  void setTrace(AnalyzerTrace trace);
  // Switching off also discards any partial tone group.
  void setEnabled(bool enabled);
  void reset();
  // One block; the callback may run inside this call, under the analyzer lock.
  void process(const std::int16_t* samples, std::size_t count);

 private:
  BlockClass judge(const BandLevels& levels) const;
  void toneBlock(const BlockClass& block, const BandLevels& levels);
  void silentBlock(const BlockClass& block, const BandLevels& levels);

  void forgetHighTone();
  void discardState();
  void closeBurst();
  void keepBurst();
  void finishGroup();

  const std::uint32_t sampleRate;
  std::function<void(Signal)> callback;
  AnalyzerTrace trace;
  std::uint64_t blockIndex = 0;
  std::uint64_t analysedMs = 0;
  std::vector<ToneBurst> group;
  ToneBurst current;
  bool inTone = false;
  std::uint32_t silenceMs = 0;
  std::uint32_t blockMs = 20;
  ToneBins bins;
  HighToneEvidence high;
  float burstPitchHz = 0.0f;  // of the open burst's first block
  std::uint64_t highEndedMs = 0;
  bool highEnded = false;
  bool soundSinceHigh = false;
  // Why the group cannot be trusted; null while it can.
  const char* doubt = nullptr;
  std::mutex callbackMutex;
  std::mutex mutex;
  std::atomic<bool> enabled{true};
};

}  // namespace qav

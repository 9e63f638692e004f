// Turns received call audio, block by block, into the QAV's answer signals:
// band levels per block, blocks into bursts, bursts into a tone group.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "tone/signal.h"

namespace qav {

enum class BurstKind : std::uint32_t { None = 0, HighTone = 1, MiddleTone = 2, TrioTone = 3 };

struct ToneBurst {
  BurstKind kind = BurstKind::None;
  std::uint32_t durationMs = 0;
  std::uint32_t trioMask = 0;
};

class ToneAnalyzer {
 public:
  explicit ToneAnalyzer(std::uint32_t sampleRate);

  void setCallback(std::function<void(Signal)> callback);
  // Switching off also discards any partial tone group.
  void setEnabled(bool enabled);
  void reset();
  // One block; the callback may run inside this call, under the analyzer lock.
  void process(const std::int16_t* samples, std::size_t count);

 private:
  void discardState();
  void closeBurst();
  void finishGroup();

  const std::uint32_t sampleRate;
  std::function<void(Signal)> callback;
  std::vector<ToneBurst> group;
  ToneBurst current;
  bool inTone = false;
  std::uint32_t silenceMs = 0;
  std::uint32_t blockMs = 20;
  std::mutex callbackMutex;
  std::mutex mutex;
  std::atomic<bool> enabled{true};
};

}  // namespace qav

#include "tone/tone_analyzer.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "tone/group_classification.h"

namespace qav {

namespace {

// Middle and trio tones may drop out for up to two 20 ms blocks on a lossy
// line; the high tone's bursts are told apart by a single silent block.
constexpr std::uint32_t kDropoutMs = 60;
constexpr std::uint32_t kGroupEndMs = 520;
// Shorter bursts are clicks, not tones.
constexpr std::uint32_t kShortestBurstMs = 12;

std::uint32_t blockDuration(std::size_t count, std::uint32_t sampleRate) {
  const std::uint64_t ms = static_cast<std::uint64_t>(count) * 1000 / sampleRate;
  if (ms < 2) return 1;
  constexpr std::uint64_t longest = std::numeric_limits<std::uint32_t>::max();
  return static_cast<std::uint32_t>(std::min(ms, longest));
}

// A tone that never ends must not wrap round to a short burst.
std::uint32_t addSaturating(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t room = std::numeric_limits<std::uint32_t>::max() - a;
  return b > room ? std::numeric_limits<std::uint32_t>::max() : a + b;
}

}  // namespace

ToneAnalyzer::ToneAnalyzer(std::uint32_t sampleRate) : sampleRate(sampleRate) {}

void ToneAnalyzer::setCallback(std::function<void(Signal)> newCallback) {
  std::function<void(Signal)> old;
  {
    std::lock_guard<std::mutex> lock(callbackMutex);
    old = std::exchange(callback, std::move(newCallback));
  }
}

void ToneAnalyzer::setTrace(AnalyzerTrace newTrace) { trace = std::move(newTrace); }

void ToneAnalyzer::setEnabled(bool on) {
  enabled.exchange(on);
  if (on) return;
  std::lock_guard<std::mutex> lock(mutex);
  discardState();
}

void ToneAnalyzer::reset() {
  std::lock_guard<std::mutex> lock(mutex);
  discardState();
}

void ToneAnalyzer::process(const std::int16_t* samples, std::size_t count) {
  if (count == 0 || samples == nullptr || sampleRate == 0 || !enabled.load()) return;
  std::lock_guard<std::mutex> lock(mutex);
  // A switch-off that came in while this block waited for the lock has
  // already discarded the state this block would build on.
  if (!enabled.load()) return;
  blockMs = blockDuration(count, sampleRate);
  const BandLevels levels = measureBands(sampleRate, samples, count);
  const BlockClass block = classifyBlock(levels);
  if (block.kind == BurstKind::None) {
    silentBlock();
  } else {
    toneBlock(block);
  }
  if (trace.block) trace.block(BlockTrace{blockIndex, analysedMs, blockMs, levels, block});
  ++blockIndex;
  analysedMs += blockMs;
}

void ToneAnalyzer::toneBlock(const BlockClass& block) {
  silenceMs = 0;
  if (inTone && current.kind == block.kind) {
    current.durationMs = addSaturating(current.durationMs, blockMs);
    current.trioMask |= block.trioMask;
    return;
  }
  if (inTone) closeBurst();
  inTone = true;
  current = ToneBurst{block.kind, blockMs, block.trioMask, analysedMs};
}

void ToneAnalyzer::silentBlock() {
  if (inTone) {
    silenceMs = addSaturating(silenceMs, blockMs);
    const std::uint32_t limit = current.kind == BurstKind::HighTone ? blockMs : kDropoutMs;
    if (silenceMs >= limit) closeBurst();
  } else if (!group.empty()) {
    silenceMs = addSaturating(silenceMs, blockMs);
    if (silenceMs >= kGroupEndMs) finishGroup();
  }
}

void ToneAnalyzer::discardState() {
  inTone = false;
  group.clear();
  silenceMs = 0;
}

void ToneAnalyzer::closeBurst() {
  if (!inTone) return;
  if (current.durationMs >= kShortestBurstMs) group.push_back(current);
  inTone = false;
  silenceMs = 0;
}

void ToneAnalyzer::finishGroup() {
  closeBurst();
  if (group.empty()) {
    silenceMs = 0;
    return;
  }
  const std::optional<Signal> signal = classifyGroup(group);
  if (trace.group) {
    trace.group(GroupTrace{analysedMs + blockMs, group, signal,
                           signal ? "" : "keine Antwort mit diesen Tonstößen"});
  }
  group.clear();
  silenceMs = 0;
  std::function<void(Signal)> deliver;
  {
    std::lock_guard<std::mutex> lock(callbackMutex);
    deliver = callback;
  }
  if (signal && deliver) deliver(*signal);
}

}  // namespace qav

#include "tone/tone_analyzer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
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
// A single block of tone is a click, a codec's artefact or a chance peak
// of noise; the QAV's bursts last 100 ms and more.
constexpr std::uint32_t kShortestBurstMs = 40;
constexpr double kSilentRms = 0.004;
constexpr std::size_t kLongestGroup = 64;

// A new high burst more than 6 dB under the group's high tone is a codec's
// comfort noise or echo, not the QAV, which sounds all bursts alike.
constexpr float kWeakestNewBurst = 0.25f;
// A block that holds this share of the high tone without being a burst's
// is a trace of it (see HighToneEvidence).
constexpr float kTraceShare = 0.3f;
// A low-rate codec lets a steady tone sag and smear for a block or two. Such
// a block still holds a fair share at the burst's frequency and continues
// the burst instead of splitting it.
constexpr float kSaggingShare = 0.25f;
constexpr float kWeakestSag = 0.05f;  // -13 dB
// GSM 06.10 lets the pitch of a tone wander by some 40 Hz from block to block.
constexpr float kSaggingOffPitchHz = 75.0f;
// The QAV pauses 140 ms and more between bursts. A shorter break that was
// not silent is a burst torn by the line: counting its parts would turn a
// single confirmation into a double or an error tone.
constexpr std::uint64_t kShortestTrustedBreakMs = 100;

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

// The QAV's bursts within one answer last alike. A high burst less than half
// as long as another is a piece of one torn by the line, or the tonal echo a
// codec with discontinuous transmission leaves after a tone.
const char* unevenHighBursts(const std::vector<ToneBurst>& group) {
  std::uint32_t shortest = std::numeric_limits<std::uint32_t>::max();
  std::uint32_t longest = 0;
  for (const ToneBurst& burst : group) {
    if (burst.kind != BurstKind::HighTone) continue;
    shortest = std::min(shortest, burst.durationMs);
    longest = std::max(longest, burst.durationMs);
  }
  if (longest == 0 || static_cast<std::uint64_t>(shortest) * 2 >= longest) return nullptr;
  return "ungleich lange Hochton-Stöße";
}

}  // namespace

ToneAnalyzer::ToneAnalyzer(std::uint32_t sampleRate) : sampleRate(sampleRate), bins(sampleRate) {
  group.reserve(kLongestGroup);
}

// So that the media clock thread allocates nothing, a group keeps at most
// its first 64 bursts, far more than any answer of the QAV has.
void ToneAnalyzer::keepBurst() {
  if (group.size() < kLongestGroup) group.push_back(current);
}

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
  const bool burstMaySag = inTone && current.kind == BurstKind::HighTone;
  const BandLevels levels = measureBands(bins, samples, count, burstMaySag || trace.block != nullptr);
  const BlockClass block = judge(levels);
  if (block.kind == BurstKind::None) {
    silentBlock(block, levels);
  } else {
    toneBlock(block, levels);
  }
  if (trace.block) trace.block(BlockTrace{blockIndex, analysedMs, blockMs, levels, block});
  ++blockIndex;
  analysedMs += blockMs;
}

// The block's own reading, weighed against the high tone heard so far.
BlockClass ToneAnalyzer::judge(const BandLevels& levels) const {
  BlockClass block = classifyBlock(levels);
  const float reference = high.level();
  if (block.kind == BurstKind::HighTone && inTone && current.kind == BurstKind::HighTone) return block;
  if (block.kind == BurstKind::HighTone && levels.high.power < reference * kWeakestNewBurst)
    block = BlockClass{};
  // A sagging block may fall under the silence floor; a silent line holds no
  // share at the burst's frequency and still ends the burst at once.
  if (block.kind == BurstKind::None && inTone && current.kind == BurstKind::HighTone &&
      levels.high.share >= kSaggingShare && std::abs(levels.high.hz - burstPitchHz) <= kSaggingOffPitchHz &&
      levels.high.power >= reference * kWeakestSag) {
    block.kind = BurstKind::HighTone;
    block.sagging = true;
  }
  block.highTrace = block.kind == BurstKind::None && levels.rms >= kSilentRms &&
                     levels.high.share >= kTraceShare;
  return block;
}

void ToneAnalyzer::toneBlock(const BlockClass& block, const BandLevels& levels) {
  silenceMs = 0;
  // A trace of the tone just before a burst is its onset through the codec.
  if (block.kind == BurstKind::HighTone) high.endTrace(true);
  const bool sameBurst = inTone && current.kind == block.kind;
  if (!sameBurst && inTone) closeBurst();
  if (block.kind == BurstKind::HighTone && !block.sagging) high.burstBlock(levels.high);
  if (sameBurst) {
    current.durationMs = addSaturating(current.durationMs, blockMs);
    current.trioMask |= block.trioMask;
    return;
  }
  inTone = true;
  current = ToneBurst{block.kind, blockMs, block.trioMask, analysedMs};
  burstPitchHz = levels.high.hz;
}

void ToneAnalyzer::silentBlock(const BlockClass& block, const BandLevels& levels) {
  const bool sound = levels.rms >= kSilentRms;
  if (block.highTrace) {
    high.traceBlock(levels.high);
    // A trace that may be a hidden burst holds the group open like one, so
    // that the bursts after it cannot form a group of their own.
    if (!inTone && high.mayHideBurst(levels.high)) {
      silenceMs = 0;
      soundSinceHigh = soundSinceHigh || sound;
      return;
    }
  } else {
    high.endTrace(false);
  }
  if (inTone) {
    silenceMs = addSaturating(silenceMs, blockMs);
    const std::uint32_t limit = current.kind == BurstKind::HighTone ? blockMs : kDropoutMs;
    if (silenceMs >= limit) closeBurst();
  } else if (!group.empty() || doubt != nullptr || high.anyTrace()) {
    // A doubt or a trace before the group's first burst keeps for as long as
    // a pause within a group lasts.
    silenceMs = addSaturating(silenceMs, blockMs);
    if (silenceMs >= kGroupEndMs) finishGroup();
  }
  // After closeBurst, which starts the break afresh with this block.
  soundSinceHigh = soundSinceHigh || sound;
}

void ToneAnalyzer::discardState() {
  inTone = false;
  group.clear();
  silenceMs = 0;
  forgetHighTone();
  doubt = nullptr;
}

void ToneAnalyzer::forgetHighTone() {
  high.forget();
  highEnded = false;
  soundSinceHigh = false;
}

void ToneAnalyzer::closeBurst() {
  if (!inTone) return;
  inTone = false;
  silenceMs = 0;
  if (current.kind != BurstKind::HighTone) {
    if (current.durationMs >= kShortestBurstMs) keepBurst();
    return;
  }
  if (!high.closeBurst(current.durationMs)) {
    soundSinceHigh = true;
    return;
  }
  if (current.durationMs < kShortestBurstMs) {
    doubt = "Hochton-Bruchstück kürzer als ein Tonstoß";
  } else {
    if (highEnded && soundSinceHigh && current.startMs - highEndedMs < kShortestTrustedBreakMs)
      doubt = "Hochton mit Einbruch statt Pause";
    keepBurst();
  }
  highEnded = true;
  highEndedMs = current.startMs + current.durationMs;
  soundSinceHigh = false;
}

void ToneAnalyzer::finishGroup() {
  closeBurst();
  high.endTrace(false);
  if (group.empty()) {
    silenceMs = 0;
    doubt = nullptr;
    forgetHighTone();
    return;
  }
  if (doubt == nullptr && high.hiddenBurst()) doubt = "Spur eines Hochtons ohne klaren Tonstoß";
  const char* const doubtful = doubt != nullptr ? doubt : unevenHighBursts(group);
  const std::optional<Signal> signal =
      doubtful != nullptr ? std::nullopt : classifyGroup(group);
  if (trace.group) {
    const char* reason = doubtful != nullptr ? doubtful : "keine Antwort mit diesen Tonstößen";
    trace.group(GroupTrace{analysedMs + blockMs, group, signal, signal ? "" : reason});
  }
  group.clear();
  silenceMs = 0;
  forgetHighTone();
  doubt = nullptr;
  std::function<void(Signal)> deliver;
  {
    std::lock_guard<std::mutex> lock(callbackMutex);
    deliver = callback;
  }
  if (signal && deliver) deliver(*signal);
}

}  // namespace qav

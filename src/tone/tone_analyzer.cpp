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

// Mobile codecs with discontinuous transmission follow a tone with comfort
// noise shaped like it, mostly 13 dB and more under it, and now and then a
// short tonal echo of it about 6 dB under. The QAV sounds all bursts of an
// answer alike, so a new burst that much weaker than the group's high tone is
// not counted.
constexpr float kWeakestToneOfGroup = 0.25f;  // -6 dB
// A trace of the high tone that is no burst: too weak against the group, or
// too mixed with an echo or noise to be clear. Three such blocks in a row
// within 13 dB of the group's high tone could be a burst of the QAV that the
// line hid; leaving it out would turn an error tone into a confirmation, so
// the group is then not trusted.
constexpr float kShadowShare = 0.3f;
constexpr std::uint32_t kShadowBlocks = 3;
constexpr float kWeakestShadow = 0.05f;  // -13 dB
constexpr float kShadowOffPitchHz = 25.0f;
constexpr std::uint32_t kLongestCodecEchoMs = 80;
constexpr float kCodecEchoWeaker = 0.5f;  // -3 dB
constexpr float kCodecEchoOffPitchHz = 30.0f;
constexpr float kShortCodecEchoOffPitchHz = 15.0f;
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

ToneAnalyzer::ToneAnalyzer(std::uint32_t sampleRate) : sampleRate(sampleRate), spectrum(sampleRate) {}

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
  const BandLevels levels = measureBands(spectrum, samples, count, burstMaySag || trace.block != nullptr);
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
  const float reference = groupHighPower();
  if (block.kind == BurstKind::HighTone && inTone && current.kind == BurstKind::HighTone) return block;
  if (block.kind == BurstKind::HighTone && levels.high.power < reference * kWeakestToneOfGroup)
    block = BlockClass{};
  // A sagging block may fall under the silence floor; a silent line holds no
  // share at the burst's frequency and still ends the burst at once.
  if (block.kind == BurstKind::None && inTone && current.kind == BurstKind::HighTone &&
      levels.high.share >= kSaggingShare && std::abs(levels.high.hz - burstPitchHz) <= kSaggingOffPitchHz &&
      levels.high.power >= reference * kWeakestSag) {
    block.kind = BurstKind::HighTone;
    block.sagging = true;
  }
  block.highShadow = block.kind == BurstKind::None && levels.rms >= kSilentRms &&
                     levels.high.share >= kShadowShare;
  return block;
}

float ToneAnalyzer::HighTally::power() const {
  return blocks == 0 ? 0.0f : static_cast<float>(std::exp(logPower / blocks));
}

float ToneAnalyzer::HighTally::meanHz() const { return blocks == 0 ? 0.0f : static_cast<float>(hz / blocks); }

// The QAV's high tone in this group, the open burst included: the geometric
// mean of its clear blocks, which a codec's single loud or weak block moves
// little.
float ToneAnalyzer::groupHighPower() const {
  HighTally all = groupHigh;
  all.logPower += burstHigh.logPower;
  all.blocks += burstHigh.blocks;
  return all.power();
}

// After a tone, a codec with discontinuous transmission may sound a weaker
// echo of it off its pitch: the pitch of its comfort noise's resonance. The
// QAV sounds every burst of an answer at one pitch, which the codecs keep to
// within a few hertz over a burst; a short echo may come closer to it.
bool ToneAnalyzer::isCodecEcho(const ToneBurst& burst, const HighTally& tally) const {
  if (groupHigh.blocks == 0 || tally.blocks == 0 || tally.power() >= groupHigh.power() * kCodecEchoWeaker)
    return false;
  const float offPitch = std::abs(tally.meanHz() - groupHigh.meanHz());
  return offPitch > kCodecEchoOffPitchHz ||
         (burst.durationMs < kLongestCodecEchoMs && offPitch > kShortCodecEchoOffPitchHz);
}

void ToneAnalyzer::toneBlock(const BlockClass& block, const BandLevels& levels) {
  silenceMs = 0;
  // A trace of the tone just before a burst is its onset through the codec.
  if (block.kind == BurstKind::HighTone) endShadowRun(true);
  const bool sameBurst = inTone && current.kind == block.kind;
  if (!sameBurst && inTone) closeBurst();
  // The group's level and pitch come from the bursts' steady part, not
  // from a decay a burst is still allowed to end with.
  const bool steady = levels.high.power > 0.0f && levels.high.power >= groupHighPower() * kWeakestToneOfGroup;
  if (block.kind == BurstKind::HighTone && !block.sagging && steady) {
    burstHigh.logPower += std::log(static_cast<double>(levels.high.power));
    burstHigh.hz += levels.high.hz;
    ++burstHigh.blocks;
  }
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
  if (block.highShadow) {
    addShadow(levels.high);
    // A trace that may be a hidden burst holds the group open like one, so
    // that the bursts after it cannot form a group of their own.
    if (!inTone && levels.high.power >= groupHighPower() * kWeakestShadow) {
      silenceMs = 0;
      soundSinceHigh = soundSinceHigh || sound;
      return;
    }
  } else {
    endShadowRun(false);
  }
  if (inTone) {
    silenceMs = addSaturating(silenceMs, blockMs);
    const std::uint32_t limit = current.kind == BurstKind::HighTone ? blockMs : kDropoutMs;
    if (silenceMs >= limit) closeBurst();
  } else if (!group.empty() || doubt != nullptr || strongestShadow > 0.0f) {
    // A doubt or a trace before the group's first burst keeps for as long as
    // a pause within a group lasts.
    silenceMs = addSaturating(silenceMs, blockMs);
    if (silenceMs >= kGroupEndMs) finishGroup();
  }
  // After closeBurst, which starts the break afresh with this block.
  soundSinceHigh = soundSinceHigh || sound;
}

// The strongest three blocks in a row count, so that comfort noise trailing
// a hidden burst does not water it down.
void ToneAnalyzer::addShadow(const ToneShare& high) {
  shadowWindow[shadowBlocks % kShadowBlocks] = std::log(static_cast<double>(high.power));
  shadowPitch[shadowBlocks % kShadowBlocks] = high.hz;
  ++shadowBlocks;
  if (shadowBlocks < kShadowBlocks) return;
  double sum = 0.0;
  for (double logPower : shadowWindow) sum += logPower;
  // A codec's comfort noise and echoes wander around the tone's pitch; a
  // burst the line hid keeps it.
  const float pitch = (shadowPitch[0] + shadowPitch[1] + shadowPitch[2]) / 3.0f;
  if (groupHigh.blocks > 0 && std::abs(pitch - groupHigh.meanHz()) > kShadowOffPitchHz) return;
  shadowRunStrongest = std::max(shadowRunStrongest, static_cast<float>(std::exp(sum / kShadowBlocks)));
}

// A trace that ran into a burst was the burst's onset; one that ended in
// anything else stays on record for the group.
void ToneAnalyzer::endShadowRun(bool intoBurst) {
  if (!intoBurst) strongestShadow = std::max(strongestShadow, shadowRunStrongest);
  shadowRunStrongest = 0.0f;
  shadowBlocks = 0;
}

void ToneAnalyzer::discardState() {
  inTone = false;
  group.clear();
  silenceMs = 0;
  forgetHighTone();
  doubt = nullptr;
}

void ToneAnalyzer::forgetHighTone() {
  groupHigh = HighTally{};
  burstHigh = HighTally{};
  shadowBlocks = 0;
  shadowRunStrongest = 0.0f;
  strongestShadow = 0.0f;
  highEnded = false;
  soundSinceHigh = false;
}

void ToneAnalyzer::closeBurst() {
  if (!inTone) return;
  inTone = false;
  silenceMs = 0;
  if (current.kind != BurstKind::HighTone) {
    if (current.durationMs >= kShortestBurstMs) group.push_back(current);
    return;
  }
  const HighTally burst = std::exchange(burstHigh, HighTally{});
  if (isCodecEcho(current, burst)) {
    soundSinceHigh = true;
    return;
  }
  if (current.durationMs < kShortestBurstMs) {
    doubt = "Hochton-Bruchstück kürzer als ein Tonstoß";
  } else {
    if (highEnded && soundSinceHigh && current.startMs - highEndedMs < kShortestTrustedBreakMs)
      doubt = "Hochton mit Einbruch statt Pause";
    group.push_back(current);
  }
  groupHigh.logPower += burst.logPower;
  groupHigh.hz += burst.hz;
  groupHigh.blocks += burst.blocks;
  highEnded = true;
  highEndedMs = current.startMs + current.durationMs;
  soundSinceHigh = false;
}

void ToneAnalyzer::finishGroup() {
  closeBurst();
  endShadowRun(false);
  if (group.empty()) {
    silenceMs = 0;
    doubt = nullptr;
    forgetHighTone();
    return;
  }
  if (doubt == nullptr && strongestShadow > 0.0f && strongestShadow >= groupHigh.power() * kWeakestShadow)
    doubt = "Spur eines Hochtons ohne klaren Tonstoß";
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

#include "tone/high_tone_evidence.h"

#include <algorithm>
#include <cmath>

namespace qav {

namespace {

// Mobile codecs with discontinuous transmission follow a tone with comfort
// noise shaped like it, mostly 13 dB and more under it, and now and then a
// tonal echo of it off its pitch. The QAV sounds every burst of an answer
// at one level and pitch, which the codecs keep to within a few hertz over a
// burst; a short echo may come closer to it.
constexpr float kSteadyBlock = 0.25f;     // -6 dB: weaker blocks are a burst's decay
constexpr float kEchoWeaker = 0.5f;       // -3 dB
constexpr float kEchoOffPitchHz = 30.0f;
constexpr std::uint32_t kLongestShortEchoMs = 80;
constexpr float kShortEchoOffPitchHz = 15.0f;
// Three blocks in a row within 10 dB of the group's weakest burst and within
// 12 Hz of its pitch could be a burst of the QAV that the line hid, within
// 13 dB if they hold a pure tone, as a burst that a decoder's concealment of
// lost frames faded would. Comfort noise and codec echoes come weaker, less
// pure or off the pitch; AMR at 12.2 kbit/s leaves a copy 12 dB under a burst
// at its pitch, with a share under 0.8. The weakest burst is the measure,
// since after a pause AMR may sound a burst 13 to 20 dB too loud. The
// strongest three blocks count, so that comfort noise trailing a hidden burst
// does not water it down.
constexpr std::uint32_t kTraceBlocks = 3;
constexpr float kWeakestTrace = 0.1f;      // -10 dB
constexpr float kPureTraceShare = 0.8f;
constexpr float kPureTraceBonus = 2.0f;    // -13 dB for a pure tone
constexpr float kTraceOffPitchHz = 12.0f;

double logOf(float power) { return std::log(static_cast<double>(std::max(power, 1e-30f))); }

}  // namespace

float HighToneEvidence::Tally::power() const {
  return blocks == 0 ? 0.0f : static_cast<float>(std::exp(logPower / blocks));
}

float HighToneEvidence::Tally::pitchHz() const {
  return blocks == 0 ? 0.0f : static_cast<float>(hz / blocks);
}

float HighToneEvidence::level() const {
  Tally all = group;
  all.logPower += burst.logPower;
  all.blocks += burst.blocks;
  return all.power();
}

void HighToneEvidence::burstBlock(const ToneShare& high) {
  if (high.power <= 0.0f || high.power < level() * kSteadyBlock) return;
  burst.logPower += logOf(high.power);
  burst.hz += high.hz;
  ++burst.blocks;
}

bool HighToneEvidence::closeBurst(std::uint32_t durationMs) {
  const Tally closed = burst;
  burst = Tally{};
  if (group.blocks > 0 && closed.blocks > 0 && closed.power() < group.power() * kEchoWeaker) {
    const float offPitch = std::abs(closed.pitchHz() - group.pitchHz());
    if (offPitch > kEchoOffPitchHz || (durationMs < kLongestShortEchoMs && offPitch > kShortEchoOffPitchHz))
      return false;
  }
  group.logPower += closed.logPower;
  group.hz += closed.hz;
  group.blocks += closed.blocks;
  if (closed.blocks > 0) weakestBurst = weakestBurst == 0.0f ? closed.power() : std::min(weakestBurst, closed.power());
  return true;
}

void HighToneEvidence::traceBlock(const ToneShare& high) {
  const float weight = high.share >= kPureTraceShare ? kPureTraceBonus : 1.0f;
  traceLogPower[traceBlocks % kTraceBlocks] = logOf(high.power * weight);
  tracePitchHz[traceBlocks % kTraceBlocks] = high.hz;
  ++traceBlocks;
  if (traceBlocks < kTraceBlocks) return;
  const float pitch = (tracePitchHz[0] + tracePitchHz[1] + tracePitchHz[2]) / 3.0f;
  if (group.blocks > 0 && std::abs(pitch - group.pitchHz()) > kTraceOffPitchHz) return;
  const double mean = (traceLogPower[0] + traceLogPower[1] + traceLogPower[2]) / kTraceBlocks;
  strongestInTrace = std::max(strongestInTrace, static_cast<float>(std::exp(mean)));
}

void HighToneEvidence::endTrace(bool intoBurst) {
  if (!intoBurst) strongestTrace = std::max(strongestTrace, strongestInTrace);
  strongestInTrace = 0.0f;
  traceBlocks = 0;
}

bool HighToneEvidence::mayHideBurst(const ToneShare& high) const {
  return high.power * kPureTraceBonus >= (weakestBurst > 0.0f ? weakestBurst : level()) * kWeakestTrace;
}

bool HighToneEvidence::hiddenBurst() const {
  return strongestTrace > 0.0f && strongestTrace >= weakestBurst * kWeakestTrace;
}

}  // namespace qav

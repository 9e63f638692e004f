// What the high tone of one tone group sounded like on the line: the level
// and pitch of its counted bursts, and traces of it that formed no burst.
#pragma once

#include <cstdint>

#include "tone/tone_bins.h"

namespace qav {

// Plain state of the analyzer, used under its lock.
class HighToneEvidence {
 public:
  // The group's high tone, the open burst included: the geometric mean of
  // the power of its steady blocks, which a codec's single loud or weak block
  // moves little; 0 before any.
  float level() const;

  // A clear block of the open high burst.
  void burstBlock(const ToneShare& high);
  // Closes the open burst's account. False when the burst was a codec's echo
  // of the tone rather than the QAV's: it is then left out of the group.
  bool closeBurst(std::uint32_t durationMs);

  // A block that holds a share of the high tone without being a burst's.
  void traceBlock(const ToneShare& high);
  // A trace that ran into a burst was that burst's onset.
  void endTrace(bool intoBurst);
  // A trace strong enough, and at the group's pitch, to be a burst the line
  // hid.
  bool hiddenBurst() const;
  // A block strong enough to be part of such a burst.
  bool mayHideBurst(const ToneShare& high) const;
  bool anyTrace() const { return strongestTrace > 0.0f; }

  void forget() { *this = HighToneEvidence{}; }

 private:
  struct Tally {
    double logPower = 0.0;
    double hz = 0.0;
    std::uint32_t blocks = 0;
    float power() const;
    float pitchHz() const;
  };

  Tally group;
  Tally burst;
  double traceLogPower[3] = {0.0, 0.0, 0.0};
  float tracePitchHz[3] = {0.0f, 0.0f, 0.0f};
  std::uint32_t traceBlocks = 0;
  float strongestInTrace = 0.0f;
  float strongestTrace = 0.0f;
  float weakestBurst = 0.0f;  // level of the weakest counted burst
};

}  // namespace qav

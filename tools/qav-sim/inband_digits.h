// DTMF tone pairs heard in the received call audio, as key presses: librem's
// decoder names the key, and the key is released when it stops hearing it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "qav-sim/received_digit.h"

struct dtmf_dec;

namespace qav::sim {

// librem's decoder reports a key once, when two of its 12.75 ms blocks in a
// row agree, and never says when the tone is gone. So every half block the
// decoder is asked afresh about the last two blocks: the key is present
// while it keeps confirming it. A short dropout inside a key (a lost packet
// on the line) is bridged; a real pause between two keys ends the first.
class InbandDigits {
 public:
  InbandDigits();
  ~InbandDigits();
  InbandDigits(const InbandDigits&) = delete;
  InbandDigits& operator=(const InbandDigits&) = delete;

  // 8 kHz samples in arrival order; `at` is when the last of them arrived.
  std::vector<ReceivedDigit> process(const std::int16_t* samples, std::size_t count, DeviceTime at);

  static constexpr std::size_t blockSamples = 102;
  static constexpr std::size_t probeStepSamples = blockSamples / 2;

 private:
  char probeWindow();
  void judge(char heard, DeviceTime probeEnd, std::vector<ReceivedDigit>& released);

  struct dtmf_dec* decoder_ = nullptr;
  std::array<std::int16_t, 2 * blockSamples> window_{};
  std::size_t filled_ = 0;
  char heard_ = 0;  // set by the decoder's handler during a probe
  char key_ = 0;    // the key being held, 0 when none
  DeviceTime keyFrom_{};
  DeviceTime keyLastHeard_{};
  DeviceTime firstMiss_{};
  std::size_t misses_ = 0;  // probes in a row without the held key
};

}  // namespace qav::sim

#include "qav-sim/inband_digits.h"

#include <re.h>
#include <rem.h>

#include <algorithm>
#include <stdexcept>

namespace qav::sim {

namespace {

constexpr unsigned kSampleRate = 8000;

// How many probes in a row may miss the held key before it counts as
// released. A silence of S ms keeps every window that overlaps it from
// confirming the key, so the key goes unheard for S + 19 to 25 ms (measured
// for all twelve keys, both G.711 laws and every position of the silence on
// the probe grid). One lost 20 ms packet, played as silence or repeated by
// the jitter buffer with a phase jump at either end, hides the key for at
// most 7 probes (45 ms). The sender's gap can be set to nothing, and then
// equal keys run together on any receiver; the pause that must still part
// them is as long as the shortest tone the sender plays, 40 ms, and hides
// the key for at least 9 probes (57 ms). Releasing at the 8th bridges a
// dropout of 20 ms and ends the key at every pause of 35 ms or more. Two
// packets lost in a row are 40 ms of silence, the same as that pause, and
// end the key.
constexpr std::size_t kReleaseAfterMisses = 8;

std::chrono::microseconds samplesTime(std::size_t samples) {
  return std::chrono::microseconds(samples * 1'000'000 / kSampleRate);
}

}  // namespace

InbandDigits::InbandDigits() {
  const int err = dtmf_dec_alloc(
      &decoder_, kSampleRate, 1, [](char digit, void* arg) { static_cast<InbandDigits*>(arg)->heard_ = digit; },
      this);
  if (err) throw std::runtime_error("DTMF-Decoder kann nicht eingerichtet werden");
}

InbandDigits::~InbandDigits() { mem_deref(decoder_); }

std::vector<ReceivedDigit> InbandDigits::process(const std::int16_t* samples, std::size_t count,
                                                 DeviceTime at) {
  std::vector<ReceivedDigit> released;
  for (std::size_t i = 0; i < count;) {
    const std::size_t take = std::min(count - i, window_.size() - filled_);
    std::copy_n(samples + i, take, window_.begin() + static_cast<std::ptrdiff_t>(filled_));
    filled_ += take;
    i += take;
    if (filled_ < window_.size()) continue;
    const DeviceTime probeEnd = at - samplesTime(count - i);
    judge(probeWindow(), probeEnd, released);
    std::copy(window_.begin() + probeStepSamples, window_.end(), window_.begin());
    filled_ = window_.size() - probeStepSamples;
  }
  return released;
}

char InbandDigits::probeWindow() {
  dtmf_dec_reset(decoder_, kSampleRate, 1);
  heard_ = 0;
  dtmf_dec_probe(decoder_, window_.data(), window_.size());
  return heard_;
}

void InbandDigits::judge(char heard, DeviceTime probeEnd, std::vector<ReceivedDigit>& released) {
  const DeviceTime windowStart = probeEnd - samplesTime(window_.size());
  auto release = [&](DeviceTime at) {
    const auto held = std::chrono::duration_cast<milliseconds>(keyLastHeard_ - keyFrom_);
    released.push_back({key_, static_cast<std::uint32_t>(held.count()), at});
    key_ = 0;
    misses_ = 0;
  };
  if (heard && heard == key_) {
    keyLastHeard_ = probeEnd;
    misses_ = 0;
    return;
  }
  if (heard) {
    // A different key, with no pause between them or within a dropout.
    if (key_) release(misses_ ? firstMiss_ : probeEnd);
    key_ = heard;
    keyFrom_ = windowStart;
    keyLastHeard_ = probeEnd;
    return;
  }
  if (!key_) return;
  if (misses_++ == 0) firstMiss_ = probeEnd;
  if (misses_ == kReleaseAfterMisses) release(firstMiss_);
}

}  // namespace qav::sim

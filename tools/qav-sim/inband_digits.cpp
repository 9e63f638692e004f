#include "qav-sim/inband_digits.h"

#include <re.h>
#include <rem.h>

#include <algorithm>
#include <stdexcept>

namespace qav::sim {

namespace {

constexpr unsigned kSampleRate = 8000;

std::chrono::microseconds samplesTime(std::size_t samples) {
  return std::chrono::microseconds(samples * 1'000'000 / kSampleRate);
}

}  // namespace

InbandDigits::InbandDigits() {
  const int err = dtmf_dec_alloc(
      &decoder_, kSampleRate, 1, [](char digit, void* arg) { static_cast<InbandDigits*>(arg)->heard_ = digit; },
      this);
  if (err) throw std::runtime_error("cannot set up the DTMF decoder");
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
    const DeviceTime blockEnd = at - samplesTime(count - i);
    judge(probeWindow(), blockEnd, released);
    // The newer block stays as the older half of the next window.
    std::copy(window_.begin() + blockSamples, window_.end(), window_.begin());
    filled_ = blockSamples;
  }
  return released;
}

char InbandDigits::probeWindow() {
  dtmf_dec_reset(decoder_, kSampleRate, 1);
  heard_ = 0;
  dtmf_dec_probe(decoder_, window_.data(), window_.size());
  return heard_;
}

void InbandDigits::judge(char heard, DeviceTime blockEnd, std::vector<ReceivedDigit>& released) {
  const DeviceTime windowStart = blockEnd - samplesTime(window_.size());
  auto release = [&](DeviceTime at) {
    const auto held = std::chrono::duration_cast<milliseconds>(keyLastHeard_ - keyFrom_);
    released.push_back({key_, static_cast<std::uint32_t>(held.count()), at});
    key_ = 0;
    missed_ = false;
  };
  if (heard && heard == key_) {
    keyLastHeard_ = blockEnd;
    missed_ = false;
    return;
  }
  if (heard) {
    // A different key without a pause between them.
    if (key_) release(blockEnd);
    key_ = heard;
    keyFrom_ = windowStart;
    keyLastHeard_ = blockEnd;
    return;
  }
  if (!key_) return;
  if (!missed_) {
    missed_ = true;
    firstMiss_ = blockEnd;
    return;
  }
  release(firstMiss_);
}

}  // namespace qav::sim

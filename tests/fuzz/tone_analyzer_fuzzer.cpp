// The tone analyzer fed with arbitrary PCM at a sample rate and block sizes
// taken from the input, mixed with the QAV's own tones so that bursts and
// groups form. At most one signal may come from one block, and none while
// the analyzer is off or before a burst and the group's pause fit in.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "fuzz_check.h"
#include "tone/tone_analyzer.h"

namespace {

using qav::fuzz::check;

// Shortest burst that is kept plus the pause that ends a group.
constexpr std::uint64_t kShortestSignalMs = 40 + 520;
constexpr double kTones[] = {2109, 1939, 2279, 719, 602, 836, 925, 1054, 1183, 434};

std::uint64_t blockMs(std::size_t count, std::uint32_t rate) {
  const std::uint64_t ms = static_cast<std::uint64_t>(count) * 1000 / rate;
  return ms < 2 ? 1 : std::min<std::uint64_t>(ms, std::numeric_limits<std::uint32_t>::max());
}

std::uint32_t sampleRate(FuzzedDataProvider& input) {
  constexpr std::uint32_t kRates[] = {8000, 8000, 8000, 16000, 48000, 11025, 1000, 1, 0};
  const std::size_t pick = input.ConsumeIntegralInRange<std::size_t>(0, std::size(kRates));
  return pick < std::size(kRates) ? kRates[pick] : input.ConsumeIntegral<std::uint32_t>();
}

std::vector<std::int16_t> rawBlock(FuzzedDataProvider& input) {
  const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 2048);
  std::vector<std::int16_t> samples(count);
  for (auto& sample : samples) sample = input.ConsumeIntegral<std::int16_t>();
  return samples;
}

// Up to three of the tones the analyzer listens for, summed.
std::vector<std::int16_t> toneBlock(FuzzedDataProvider& input, std::uint32_t rate, std::size_t count) {
  const int tones = input.ConsumeIntegralInRange<int>(1, 3);
  std::vector<double> mix(count, 0.0);
  for (int t = 0; t < tones; ++t) {
    const double frequency = kTones[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kTones) - 1)];
    const double amplitude = input.ConsumeIntegralInRange<int>(0, 12000);
    for (std::size_t i = 0; i < count; ++i)
      mix[i] += amplitude * std::sin(6.283185307179586 * frequency * static_cast<double>(i) / rate);
  }
  std::vector<std::int16_t> samples(count);
  for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::int16_t>(std::lround(mix[i]));
  return samples;
}

class Run {
 public:
  explicit Run(std::uint32_t rate) : rate_(rate), analyzer_(rate) {
    analyzer_.setCallback([this](qav::Signal signal) { onSignal(signal); });
  }

  void feed(const std::vector<std::int16_t>& samples, int times = 1) {
    for (int i = 0; i < times; ++i) {
      deliveredNow_ = 0;
      currentMs_ = samples.empty() || rate_ == 0 ? 0 : blockMs(samples.size(), rate_);
      analyzer_.process(samples.data(), samples.size());
      if (on_) sinceReset_ += currentMs_;
      check(deliveredNow_ <= 1, "more than one signal from one block");
      if (!on_ || currentMs_ == 0) {
        check(deliveredNow_ == 0, "signal from a block that is not analysed");
        continue;
      }
    }
  }
  void enable(bool on) {
    analyzer_.setEnabled(on);
    if (!on) sinceReset_ = 0;
    on_ = on;
  }
  void reset() {
    analyzer_.reset();
    sinceReset_ = 0;
  }

 private:
  void onSignal(qav::Signal signal) {
    const int value = static_cast<int>(signal);
    check(value >= 0 && value <= 4, "signal outside the five answers");
    check(on_, "signal while the analyzer is off");
    check(rate_ != 0, "signal from audio that cannot be measured");
    // The block being processed counts too: it is the one ending the group.
    check(sinceReset_ + currentMs_ >= kShortestSignalMs, "signal before a burst and a group pause fit");
    ++deliveredNow_;
  }
  std::uint32_t rate_;
  qav::ToneAnalyzer analyzer_;
  bool on_ = true;
  std::uint64_t sinceReset_ = 0;
  std::uint64_t currentMs_ = 0;
  int deliveredNow_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::uint32_t rate = sampleRate(input);
  Run run(rate);
  const std::size_t frame = rate >= 50 && rate <= 48000 ? rate / 50 : 160;
  while (input.remaining_bytes() > 0) {
    switch (input.ConsumeIntegralInRange<int>(0, 5)) {
      case 0:
        run.feed(rawBlock(input));
        break;
      case 1: {
        const auto block = toneBlock(input, rate == 0 ? 8000 : rate, frame);
        run.feed(block, input.ConsumeIntegralInRange<int>(1, 20));
        break;
      }
      case 2:
        run.feed(std::vector<std::int16_t>(frame, 0), input.ConsumeIntegralInRange<int>(1, 40));
        break;
      case 3:
        run.enable(input.ConsumeBool());
        break;
      case 4:
        run.reset();
        break;
      default:
        run.feed(rawBlock(input), input.ConsumeIntegralInRange<int>(1, 4));
        break;
    }
  }
  return 0;
}

// The tone analyzer fed with arbitrary PCM at a sample rate and block sizes
// taken from the input, mixed with the QAV's own tones so that bursts and
// groups form. Block by block, the signals it delivers must be those of a
// model of the burst and group rules fed with the same block kinds; and a
// signal must never arrive while it is off or before a burst and the
// group's pause fit in.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "fuzz_check.h"
#include "tone/block_classification.h"
#include "tone/tone_analyzer.h"

namespace {

using qav::fuzz::check;

// Shortest burst that is kept plus the pause that ends a group.
constexpr std::uint64_t kShortestSignalMs = 12 + 520;
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

std::uint32_t saturatingAdd(std::uint32_t a, std::uint64_t b) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(a + b, std::numeric_limits<std::uint32_t>::max()));
}

// The burst and group rules on block kinds alone: a tone block extends or
// opens a burst, silence beyond the dropout limit closes it, 520 ms of
// silence after the last burst end the group, and the group's counts decide.
class Model {
 public:
  std::optional<qav::Signal> block(const qav::BlockClass& block, std::uint32_t ms) {
    blockMs_ = ms;
    if (block.kind != qav::BurstKind::None) {
      silenceMs_ = 0;
      if (inTone_ && current_.kind == block.kind) {
        current_.durationMs = saturatingAdd(current_.durationMs, ms);
        current_.trioMask |= block.trioMask;
        return std::nullopt;
      }
      closeBurst();
      inTone_ = true;
      current_ = {block.kind, ms, block.trioMask};
      return std::nullopt;
    }
    if (inTone_) {
      silenceMs_ = saturatingAdd(silenceMs_, ms);
      if (silenceMs_ >= (current_.kind == qav::BurstKind::HighTone ? blockMs_ : 60)) closeBurst();
    } else if (!group_.empty()) {
      silenceMs_ = saturatingAdd(silenceMs_, ms);
      if (silenceMs_ >= 520) return finishGroup();
    }
    return std::nullopt;
  }
  void discard() {
    inTone_ = false;
    group_.clear();
    silenceMs_ = 0;
  }

 private:
  void closeBurst() {
    if (!inTone_) return;
    if (current_.durationMs >= 12) group_.push_back(current_);
    inTone_ = false;
    silenceMs_ = 0;
  }
  std::optional<qav::Signal> finishGroup() {
    int high = 0, middle = 0, fullTrio = 0;
    for (const qav::ToneBurst& burst : group_) {
      high += burst.kind == qav::BurstKind::HighTone;
      middle += burst.kind == qav::BurstKind::MiddleTone;
      fullTrio += burst.kind == qav::BurstKind::TrioTone && burst.trioMask == 7;
    }
    discard();
    if (middle >= 2) return qav::Signal::AlternatingDisconnect;
    if (fullTrio >= 2) return qav::Signal::MultiDevicePrompt;
    if (high >= 3) return qav::Signal::ParameterError;
    if (high == 1) return qav::Signal::SingleConfirmation;
    if (high == 2) return qav::Signal::DoubleConfirmation;
    return std::nullopt;
  }

  std::vector<qav::ToneBurst> group_;
  qav::ToneBurst current_;
  bool inTone_ = false;
  std::uint32_t silenceMs_ = 0;
  std::uint32_t blockMs_ = 20;
};

class Run {
 public:
  explicit Run(std::uint32_t rate) : rate_(rate), analyzer_(rate) {
    analyzer_.setCallback([this](qav::Signal signal) { onSignal(signal); });
  }

  void feed(const std::vector<std::int16_t>& samples, int times = 1) {
    for (int i = 0; i < times; ++i) {
      deliveredNow_ = 0;
      lastSignal_.reset();
      currentMs_ = samples.empty() || rate_ == 0 ? 0 : blockMs(samples.size(), rate_);
      analyzer_.process(samples.data(), samples.size());
      if (on_) sinceReset_ += currentMs_;
      check(deliveredNow_ <= 1, "more than one signal from one block");
      if (!on_ || currentMs_ == 0) {
        check(deliveredNow_ == 0, "signal from a block that is not analysed");
        continue;
      }
      const auto expected = model_.block(qav::classifyBlock(qav::measureBands(rate_, samples.data(), samples.size())),
                                         static_cast<std::uint32_t>(currentMs_));
      check(lastSignal_ == expected, "signal differs from the burst and group rules");
    }
  }
  void enable(bool on) {
    analyzer_.setEnabled(on);
    if (!on) {
      sinceReset_ = 0;
      model_.discard();
    }
    on_ = on;
  }
  void reset() {
    analyzer_.reset();
    model_.discard();
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
    lastSignal_ = signal;
  }
  std::uint32_t rate_;
  qav::ToneAnalyzer analyzer_;
  bool on_ = true;
  std::uint64_t sinceReset_ = 0;
  std::uint64_t currentMs_ = 0;
  int deliveredNow_ = 0;
  std::optional<qav::Signal> lastSignal_;
  Model model_;
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

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tone/tone_analyzer.h"
#include "tonesynth/answer_patterns.h"
#include "tonesynth/pcm_render.h"

namespace qav {
namespace {

// The media clock thread feeds blocks while the caller's thread switches the
// analyzer off and on, resets it and replaces the callback, as sendDigits and
// placeCall do. Each discard may cut a double confirmation in two, but no
// group may ever be built from stale state.
TEST(ToneAnalyzerThreads, FeedingWhileSwitchingAndResetting) {
  ToneAnalyzer analyzer(kLineSampleRate);
  std::atomic<int> confirmations{0};
  std::atomic<int> others{0};
  auto count = [&](Signal signal) {
    const bool confirmation =
        signal == Signal::SingleConfirmation || signal == Signal::DoubleConfirmation;
    ++(confirmation ? confirmations : others);
  };
  analyzer.setCallback(count);
  const std::vector<std::int16_t> pcm =
      render(answerPattern(Signal::DoubleConfirmation).add(pause(700)), {});

  std::atomic<bool> done{false};
  std::thread media([&] {
    // Paced like a (much faster) media clock, so that switches land between
    // and during analysed blocks rather than on a burst of skipped ones.
    for (int round = 0; round < 40; ++round) {
      for (std::size_t at = 0; at + 160 <= pcm.size(); at += 160) {
        analyzer.process(&pcm[at], 160);
        std::this_thread::sleep_for(std::chrono::microseconds(20));
      }
    }
    done = true;
  });
  for (int i = 0; !done; ++i) {
    analyzer.setEnabled(false);
    std::this_thread::yield();
    analyzer.setEnabled(true);
    if (i % 3 == 0) analyzer.reset();
    if (i % 50 == 0) analyzer.setCallback(count);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  media.join();
  EXPECT_EQ(others, 0);

  // Afterwards the analyzer works as if new.
  confirmations = 0;
  analyzer.reset();
  for (std::size_t at = 0; at + 160 <= pcm.size(); at += 160) analyzer.process(&pcm[at], 160);
  EXPECT_EQ(confirmations, 1);
}

}  // namespace
}  // namespace qav

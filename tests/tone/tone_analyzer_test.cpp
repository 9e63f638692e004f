#include "tone/tone_analyzer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "analyzer_probe.h"
#include "tonesynth/answer_patterns.h"

namespace qav {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const double kHigh = kHighToneHz;
const double kMiddle = kMiddleToneHz;
const double kT1 = kTrioToneHz[0];
const double kT2 = kTrioToneHz[1];
const double kT3 = kTrioToneHz[2];

ToneTrack beeps(double frequency, int count, std::uint32_t burstMs, std::uint32_t gapMs) {
  ToneTrack track;
  for (int i = 0; i < count; ++i) {
    if (i > 0) track.add(pause(gapMs));
    track.add(tone({frequency}, burstMs));
  }
  return track;
}

std::vector<Signal> heardAfter(ToneTrack track) {
  AnalyzerProbe probe;
  probe.feed(track.add(pause(700)));
  return probe.signals();
}

TEST(ToneAnalyzer, SilenceNeverSignals) {
  AnalyzerProbe probe;
  probe.feedSilentBlocks(500);
  EXPECT_THAT(probe.heard, IsEmpty());
}

TEST(ToneAnalyzer, HighBeepsCountedWithinOneGroup) {
  EXPECT_THAT(heardAfter(beeps(kHigh, 1, 100, 0)), ElementsAre(Signal::SingleConfirmation));
  EXPECT_THAT(heardAfter(beeps(kHigh, 2, 100, 200)), ElementsAre(Signal::DoubleConfirmation));
  EXPECT_THAT(heardAfter(beeps(kHigh, 3, 100, 200)), ElementsAre(Signal::ParameterError));
  EXPECT_THAT(heardAfter(beeps(kHigh, 5, 100, 200)), ElementsAre(Signal::ParameterError));
  EXPECT_THAT(heardAfter(beeps(kHigh, 2, 100, 600)),
              ElementsAre(Signal::SingleConfirmation, Signal::SingleConfirmation));
}

TEST(ToneAnalyzer, OneSilentBlockEndsHighBurstButMiddleNeedsThree) {
  EXPECT_THAT(heardAfter(beeps(kHigh, 2, 100, 20)), ElementsAre(Signal::DoubleConfirmation));
  EXPECT_THAT(heardAfter(beeps(kMiddle, 2, 200, 40)), IsEmpty());  // one burst with a dropout
  EXPECT_THAT(heardAfter(beeps(kMiddle, 2, 200, 60)), ElementsAre(Signal::AlternatingDisconnect));
}

TEST(ToneAnalyzer, MiddleToneBurstsOutrankEverythingInTheGroup) {
  ToneTrack mixed = beeps(kHigh, 3, 100, 200);
  mixed.add(pause(200)).add(beeps(kMiddle, 2, 200, 200));
  EXPECT_THAT(heardAfter(mixed), ElementsAre(Signal::AlternatingDisconnect));

  ToneTrack oneEach = beeps(kHigh, 1, 100, 0);
  oneEach.add(pause(200)).add(tone({kMiddle}, 200));
  EXPECT_THAT(heardAfter(oneEach), ElementsAre(Signal::SingleConfirmation));
  EXPECT_THAT(heardAfter(beeps(kMiddle, 1, 400, 0)), IsEmpty());
}

TEST(ToneAnalyzer, PromptNeedsAllThreeTrioTonesInTwoBursts) {
  const ToneTrack chord{{tone({kT1, kT2, kT3}, 200)}};
  const ToneTrack sweep{{tone({kT1}, 60), tone({kT2}, 60), tone({kT3}, 60)}};
  const ToneTrack pairChord{{tone({kT1, kT3}, 200)}};
  const ToneTrack pairSweep{{tone({kT2}, 100), tone({kT3}, 100)}};
  auto twice = [](const ToneTrack& burst, const ToneTrack& second) {
    return ToneTrack(burst).add(pause(200)).add(second);
  };
  EXPECT_THAT(heardAfter(twice(chord, chord)), ElementsAre(Signal::MultiDevicePrompt));
  EXPECT_THAT(heardAfter(twice(sweep, sweep)), ElementsAre(Signal::MultiDevicePrompt));
  EXPECT_THAT(heardAfter(twice(pairChord, pairChord)), IsEmpty());
  EXPECT_THAT(heardAfter(twice(pairSweep, pairSweep).add(pause(200)).add(pairChord)), IsEmpty());
  EXPECT_THAT(heardAfter(twice(chord, pairChord)), IsEmpty());

  ToneTrack withHighs = twice(chord, chord);
  withHighs.add(pause(200)).add(beeps(kHigh, 3, 100, 200));
  EXPECT_THAT(heardAfter(withHighs), ElementsAre(Signal::MultiDevicePrompt));
}

TEST(ToneAnalyzer, TrioToneHeardAcrossToleratedDropoutCompletesTheBurst) {
  auto brokenBurst = [](std::uint32_t dropoutMs) {
    return ToneTrack{{tone({kT1}, 80), pause(dropoutMs), tone({kT2, kT3}, 80)}};
  };
  auto prompt = [&](std::uint32_t dropoutMs) {
    return ToneTrack(brokenBurst(dropoutMs)).add(pause(200)).add(brokenBurst(dropoutMs));
  };
  EXPECT_THAT(heardAfter(prompt(40)), ElementsAre(Signal::MultiDevicePrompt));
  EXPECT_THAT(heardAfter(prompt(60)), IsEmpty());
}

TEST(ToneAnalyzer, ContinuousToneSignalsOnlyOnceItEnds) {
  AnalyzerProbe probe;
  probe.feed(beeps(kHigh, 1, 10000, 0));
  EXPECT_THAT(probe.heard, IsEmpty());
  probe.feedSilentBlocks(30);
  EXPECT_THAT(probe.signals(), ElementsAre(Signal::SingleConfirmation));
}

// The signal arrives with the silent block that completes 520 ms after the
// burst closed: a high burst closes at its first silent block, the others at
// their third.
TEST(ToneAnalyzer, SignalArrivesWithExactSilentBlock) {
  struct Case {
    ToneTrack track;
    Signal signal;
    std::size_t silentBlock;
  };
  const Case cases[] = {
      {beeps(kHigh, 1, 100, 0), Signal::SingleConfirmation, 27},
      {beeps(kHigh, 2, 100, 200), Signal::DoubleConfirmation, 27},
      {beeps(kMiddle, 2, 200, 200), Signal::AlternatingDisconnect, 29},
      {answerPattern(Signal::MultiDevicePrompt), Signal::MultiDevicePrompt, 29},
  };
  for (const Case& c : cases) {
    AnalyzerProbe probe;
    probe.feed(c.track);
    const std::size_t toneBlocks = probe.blocks;
    probe.feedSilentBlocks(c.silentBlock - 1);
    EXPECT_THAT(probe.heard, IsEmpty()) << signalName(c.signal);
    probe.feedSilentBlocks(1);
    ASSERT_EQ(probe.heard.size(), 1u) << signalName(c.signal);
    EXPECT_EQ(probe.heard[0].signal, c.signal);
    EXPECT_EQ(probe.heard[0].block - toneBlocks, c.silentBlock);
  }
}

TEST(ToneAnalyzer, LongestPauseThatKeepsBurstsInOneGroup) {
  EXPECT_THAT(heardAfter(beeps(kHigh, 2, 100, 26 * 20)), ElementsAre(Signal::DoubleConfirmation));
  EXPECT_THAT(heardAfter(beeps(kHigh, 2, 100, 27 * 20)),
              ElementsAre(Signal::SingleConfirmation, Signal::SingleConfirmation));
  EXPECT_THAT(heardAfter(beeps(kMiddle, 2, 200, 28 * 20)),
              ElementsAre(Signal::AlternatingDisconnect));
  EXPECT_THAT(heardAfter(beeps(kMiddle, 2, 200, 29 * 20)), IsEmpty());
}

TEST(ToneAnalyzer, SwitchOffOrResetLosesThePartialGroup) {
  for (bool viaReset : {false, true}) {
    AnalyzerProbe probe;
    probe.feed(beeps(kHigh, 1, 100, 0).add(pause(200)));
    if (viaReset) {
      probe.analyzer.reset();
    } else {
      probe.analyzer.setEnabled(false);
      probe.feed(beeps(kHigh, 1, 100, 0));  // ignored while off
      probe.analyzer.setEnabled(true);
    }
    probe.feed(beeps(kHigh, 1, 100, 0).add(pause(700)));
    EXPECT_THAT(probe.signals(), ElementsAre(Signal::SingleConfirmation)) << viaReset;
  }
}

TEST(ToneAnalyzer, SevenSampleBlocksCountOneMillisecondEach) {
  struct Case {
    double frequency;
    std::size_t silentBlocks;  // dropout limit plus 520 ms, 1 ms per block
  };
  for (const Case& c : {Case{kHigh, 1 + 520}, Case{kMiddle, 60 + 520}}) {
    AnalyzerProbe probe;
    probe.feed(beeps(c.frequency, 2, 200, 100));
    const std::size_t toneBlocks = probe.blocks;
    probe.feedSilentBlocks(c.silentBlocks - 1, 7);
    EXPECT_THAT(probe.heard, IsEmpty());
    probe.feedSilentBlocks(1, 7);
    ASSERT_EQ(probe.heard.size(), 1u);
    EXPECT_EQ(probe.heard[0].block - toneBlocks, c.silentBlocks);
  }
}

}  // namespace
}  // namespace qav

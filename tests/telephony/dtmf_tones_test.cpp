#include "audio/dtmf_tones.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace qav {
namespace {

// Power of one frequency in the samples, by correlation.
double powerAt(const std::deque<std::int16_t>& samples, double frequency) {
  double re = 0;
  double im = 0;
  for (std::size_t n = 0; n < samples.size(); ++n) {
    const double phase = 6.283185307179586 * frequency * static_cast<double>(n) / 8000.0;
    re += samples[n] * std::cos(phase);
    im += samples[n] * std::sin(phase);
  }
  return (re * re + im * im) / static_cast<double>(samples.size() * samples.size());
}

TEST(InbandDtmfTest, ToneHasTheQ23PairAtAQuarterScaleEach) {
  std::deque<std::int16_t> fifo;
  appendDtmfTone(fifo, *dtmfTonePair('1'), 500);
  ASSERT_EQ(fifo.size(), 4000u);
  EXPECT_EQ(fifo.front(), 0);
  const double low = powerAt(fifo, 697);
  const double high = powerAt(fifo, 1209);
  // A sine of amplitude a correlates to a power of (a/2)^2.
  const double expected = std::pow(0.25 * 32767 / 2, 2);
  EXPECT_NEAR(low, expected, expected * 0.02);
  EXPECT_NEAR(high, expected, expected * 0.02);
  EXPECT_LT(powerAt(fifo, 770), expected * 0.01);
  EXPECT_LT(powerAt(fifo, 1336), expected * 0.01);
}

TEST(InbandDtmfTest, PairsOfTheTwelveKeysAndNoFourthColumn) {
  EXPECT_EQ(dtmfTonePair('5'), std::make_pair(770.0, 1336.0));
  EXPECT_EQ(dtmfTonePair('*'), std::make_pair(941.0, 1209.0));
  EXPECT_EQ(dtmfTonePair('0'), std::make_pair(941.0, 1336.0));
  EXPECT_EQ(dtmfTonePair('#'), std::make_pair(941.0, 1477.0));
  EXPECT_FALSE(dtmfTonePair('A').has_value());
  EXPECT_FALSE(dtmfTonePair('D').has_value());
}

TEST(InbandDtmfTest, LengthsOfTonesAndGaps) {
  std::deque<std::int16_t> fifo;
  appendDtmfTone(fifo, *dtmfTonePair('9'), 0);
  EXPECT_TRUE(fifo.empty());
  appendDtmfTone(fifo, *dtmfTonePair('9'), 1);
  EXPECT_EQ(fifo.size(), 8u);
  appendSilence(fifo, 110);
  EXPECT_EQ(fifo.size(), 8u + 880u);
  EXPECT_TRUE(std::all_of(fifo.begin() + 8, fifo.end(), [](std::int16_t s) { return s == 0; }));
}

}  // namespace
}  // namespace qav

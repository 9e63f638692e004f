#include <gtest/gtest.h>

#include <vector>

#include "qav-sim/answer_audio.h"
#include "tone/tone_analyzer.h"

namespace qav::sim {
namespace {

// What the programming side's analyzer makes of a rendered answer, with
// enough silence after it to close the tone group.
std::vector<Signal> heardAs(std::vector<std::int16_t> pcm) {
  pcm.resize(pcm.size() + 8000, 0);
  std::vector<Signal> signals;
  ToneAnalyzer analyzer(8000);
  analyzer.setCallback([&signals](Signal signal) { signals.push_back(signal); });
  for (std::size_t at = 0; at + 160 <= pcm.size(); at += 160) analyzer.process(&pcm[at], 160);
  return signals;
}

TEST(AnswerAudio, EveryPatternIsHeardAsItselfOnAGoodAndAPoorLine) {
  const LineConditions poor{-30, -50, 1.0};
  for (const LineConditions& line : {LineConditions{}, poor})
    for (Signal pattern : {Signal::SingleConfirmation, Signal::DoubleConfirmation,
                           Signal::MultiDevicePrompt, Signal::AlternatingDisconnect,
                           Signal::ParameterError}) {
      SCOPED_TRACE(signalName(pattern));
      const std::vector<std::int16_t> pcm = renderAnswer(pattern, line);
      EXPECT_EQ(pcm.size(), static_cast<std::size_t>(answerDuration(pattern).count() * 8));
      EXPECT_EQ(heardAs(pcm), std::vector<Signal>{pattern});
    }
}

TEST(AnswerAudio, LineConditionsReachTheRenderedTones) {
  EXPECT_TRUE(heardAs(renderAnswer(Signal::SingleConfirmation, {-60, {}, 0})).empty());
  EXPECT_TRUE(heardAs(renderAnswer(Signal::SingleConfirmation, {-12, {}, 15})).empty());
  // Noise fills the pause between the two bursts, differently per seed.
  const LineConditions noisy{-12, -40, 0};
  const auto first = renderAnswer(Signal::DoubleConfirmation, noisy, 1);
  const auto second = renderAnswer(Signal::DoubleConfirmation, noisy, 2);
  const auto pause = [](const std::vector<std::int16_t>& pcm) {
    return std::vector<std::int16_t>(pcm.begin() + 1300, pcm.begin() + 1400);
  };
  EXPECT_NE(pause(first), std::vector<std::int16_t>(100, 0));
  EXPECT_NE(pause(first), pause(second));
}

}  // namespace
}  // namespace qav::sim

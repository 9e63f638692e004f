#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "analyzer_probe.h"
#include "tonesynth/answer_patterns.h"
#include "tonesynth/g711_line.h"

namespace qav {
namespace {

using ::testing::ElementsAre;

struct Pattern {
  Signal signal;
  bool trioTogether;
  // The largest relative offset that keeps every tone of the pattern inside
  // its band: high 170 Hz of 2109, middle 117 of 719, trio 33 of 1183.
  double bandOffsetPercent;
};

const Pattern kPatterns[] = {
    {Signal::SingleConfirmation, false, 8.0}, {Signal::DoubleConfirmation, false, 8.0},
    {Signal::ParameterError, false, 8.0},     {Signal::AlternatingDisconnect, false, 16.0},
    {Signal::MultiDevicePrompt, false, 2.7},  {Signal::MultiDevicePrompt, true, 2.7},
};

std::vector<std::int16_t> line(const Pattern& pattern, double levelDbfs, double offsetPercent,
                               std::optional<G711Law> law) {
  PatternShape shape = defaultShape(pattern.signal);
  shape.trioTogether = pattern.trioTogether;
  RenderOptions options;
  options.levelDbfs = levelDbfs;
  options.frequencyOffsetPercent = offsetPercent;
  const auto pcm = render(answerPattern(pattern.signal, shape).add(pause(700)), options);
  return law ? g711RoundTrip(pcm, *law) : pcm;
}

TEST(LineConditions, CodecLevelAndOffsetDoNotChangeClassification) {
  const std::optional<G711Law> laws[] = {std::nullopt, G711Law::MuLaw, G711Law::ALaw};
  for (const Pattern& pattern : kPatterns) {
    for (const auto& law : laws) {
      for (double level : {-30.0, -20.0, -10.0, -3.0}) {
        for (double sign : {-1.0, 0.0, 1.0}) {
          const double offset = sign * pattern.bandOffsetPercent;
          AnalyzerProbe probe;
          probe.feed(line(pattern, level, offset, law));
          EXPECT_THAT(probe.signals(), ElementsAre(pattern.signal))
              << signalName(pattern.signal) << (pattern.trioTogether ? " chord" : "") << " law "
              << (law ? static_cast<int>(*law) : -1) << " level " << level << " offset " << offset;
        }
      }
    }
  }
}

}  // namespace
}  // namespace qav

// The answers through mobile and fixed-line codecs, seeded: a few cases of
// the benchmark matrix (bench/tone_lines.cpp) that must never go wrong.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "analyzer_probe.h"
#include "linemodel/line_model.h"
#include "tonesynth/answer_patterns.h"

namespace qav {
namespace {

std::vector<Signal> heardThrough(const std::string& codecs, Signal signal, double levelDbfs,
                                 std::optional<double> noiseDbfs, std::uint32_t seed) {
  line::LineSpec spec = *line::lineNamed(codecs);
  if (noiseDbfs) spec.noise = line::NoiseSpec{line::NoiseColour::White, *noiseDbfs, seed};
  line::LineModel model(spec);
  RenderOptions options;
  options.levelDbfs = levelDbfs;
  AnalyzerProbe probe;
  probe.feed(model.passAll(render(ToneTrack{{pause(200)}}.add(answerPattern(signal)).add(pause(1500)), options)));
  return probe.signals();
}

// A missed answer is asked for again; a wrong one can program a refused
// value as accepted, above all an error tone read as a confirmation.
TEST(CodecLines, AnswersAreRightOrMissedButNeverWrong) {
  const char* const codecs[] = {"ulaw", "gsm", "amr475-dtx", "amr122-dtx", "amrwb-dtx", "amr475-dtx+alaw"};
  const Signal signals[] = {Signal::SingleConfirmation, Signal::DoubleConfirmation, Signal::ParameterError,
                            Signal::AlternatingDisconnect, Signal::MultiDevicePrompt};
  int right = 0;
  int cases = 0;
  for (const char* codec : codecs) {
    for (Signal signal : signals) {
      for (double level : {-20.0, -35.0}) {
        for (std::uint32_t seed : {1u, 2u}) {
          const auto heard = heardThrough(codec, signal, level, level - 20, seed);
          ++cases;
          if (heard.empty()) continue;
          EXPECT_THAT(heard, ::testing::ElementsAre(signal))
              << codec << " " << signalName(signal) << " " << level << " dBFS seed " << seed;
          ++right;
        }
      }
    }
  }
  EXPECT_GE(right, cases * 9 / 10);
}

// An error tone one of whose bursts the line weakened, or mixed with another
// tone as loud (an echo of the digits), the first one before any reference
// level or a later one: the group is heard as what it is or not at all,
// never as a confirmation. Weakened by 0 dB stands for the mixed burst.
TEST(CodecLines, ErrorToneWithAWeakenedBurstIsNeverAConfirmation) {
  const PatternShape shape = defaultShape(Signal::ParameterError);
  const ToneTrack burst{{tone({kHighToneHz}, shape.burstMs)}};
  for (int weakened : {0, 1}) {
    for (double weakenedBy : {0.0, 3.0, 7.0, 10.0, 12.0}) {
      for (bool noisy : {false, true}) {
        std::vector<std::int16_t> pcm;
        for (int i = 0; i < 3; ++i) {
          RenderOptions options;
          options.levelDbfs = i == weakened ? -20 - weakenedBy : -20;
          if (noisy) options.noiseDbfs = -45;
          options.noiseSeed = static_cast<std::uint32_t>(i + 1);
          const bool mixed = i == weakened && weakenedBy == 0.0;
          const ToneTrack sounded = mixed ? ToneTrack{{tone({kHighToneHz, 770}, shape.burstMs)}} : burst;
          const auto part = render(ToneTrack(sounded).add(pause(i == 2 ? 800 : shape.pauseMs)), options);
          pcm.insert(pcm.end(), part.begin(), part.end());
        }
        AnalyzerProbe probe;
        probe.feed(pcm);
        for (Signal heard : probe.signals())
          EXPECT_EQ(heard, Signal::ParameterError)
              << "burst " << weakened << (weakenedBy == 0.0 ? " mixed" : " weaker by " + std::to_string(weakenedBy))
              << ", noise " << noisy;
      }
    }
  }
}

TEST(CodecLines, NoiseAloneGivesNoAnswer) {
  for (const char* codecs : {"linear", "amr475-dtx", "gsm"}) {
    for (line::NoiseColour colour : {line::NoiseColour::White, line::NoiseColour::Pink, line::NoiseColour::Speech}) {
      line::LineSpec spec = *line::lineNamed(codecs);
      spec.noise = line::NoiseSpec{colour, -30.0, 5};
      line::LineModel model(spec);
      AnalyzerProbe probe;
      probe.feed(model.passAll(std::vector<std::int16_t>(20 * 8000, 0)));
      EXPECT_THAT(probe.signals(), ::testing::IsEmpty()) << codecs << " " << line::noiseColourName(colour);
    }
  }
}

}  // namespace
}  // namespace qav

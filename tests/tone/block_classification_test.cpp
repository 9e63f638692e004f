#include "tone/block_classification.h"

#include <gtest/gtest.h>

#include "tonesynth/answer_patterns.h"
#include "tonesynth/pcm_render.h"

namespace qav {
namespace {

BandLevels levels(double rms, float high, float middle, float t1, float t2, float t3) {
  BandLevels l;
  l.rms = rms;
  l.high.share = high;
  l.middle.share = middle;
  l.trio[0].share = t1;
  l.trio[1].share = t2;
  l.trio[2].share = t3;
  return l;
}

// Each threshold is probed on both sides, since a > written as >= moves a
// whole class of blocks.
TEST(ClassifyBlock, ShareThresholdsAndTrioMask) {
  struct Case {
    const char* what;
    BandLevels levels;
    BurstKind kind;
    std::uint32_t mask;
  };
  const Case cases[] = {
      {"quiet block", levels(0.0039, 1, 0, 0, 0, 0), BurstKind::None, 0},
      {"just loud enough", levels(0.004, 1, 0, 0, 0, 0), BurstKind::HighTone, 0},
      {"high at threshold", levels(0.1, 0.7f, 0, 0, 0, 0), BurstKind::HighTone, 0},
      {"high under threshold", levels(0.1, 0.69f, 0, 0, 0, 0), BurstKind::None, 0},
      {"middle at threshold", levels(0.1, 0, 0.7f, 0, 0, 0), BurstKind::MiddleTone, 0},
      {"chord of three", levels(0.1, 0, 0, 0.3f, 0.3f, 0.3f), BurstKind::TrioTone, 7},
      {"trio tone alone", levels(0.1, 0, 0, 0, 0.9f, 0.05f), BurstKind::TrioTone, 2},
      {"trio spread too thin", levels(0.1, 0, 0, 0.23f, 0.23f, 0.23f), BurstKind::None, 0},
      {"weak third tone", levels(0.1, 0, 0, 0.4f, 0.4f, 0.11f), BurstKind::TrioTone, 3},
  };
  for (const Case& c : cases) {
    const BlockClass block = classifyBlock(c.levels);
    EXPECT_EQ(block.kind, c.kind) << c.what;
    EXPECT_EQ(block.trioMask, c.mask) << c.what;
  }
}

// A tone anywhere in its band keeps at least 0.81 of the block in its pair of
// bins; white noise keeps a few hundredths.
TEST(MeasureBands, ToneShareAcrossTheBandAndInNoise) {
  ToneBins bins(kLineSampleRate);
  for (double hz = 1940; hz <= 2278; hz += 7) {
    const auto pcm = render(ToneTrack{{tone({hz}, 20)}}, {});
    const BandLevels l = measureBands(bins, pcm.data(), pcm.size());
    EXPECT_GE(l.high.share, 0.8f) << hz;
    EXPECT_LT(l.middle.share, 0.05f) << hz;
  }
  RenderOptions noisy;
  noisy.noiseDbfs = -20;
  const auto noise = render(ToneTrack{{pause(20)}}, noisy);
  const BandLevels n = measureBands(bins, noise.data(), noise.size());
  EXPECT_LT(n.high.share, 0.3f);
  EXPECT_GT(n.rms, 0.05);
}

}  // namespace
}  // namespace qav

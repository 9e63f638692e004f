#include "tone/goertzel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tonesynth/pcm_render.h"

namespace qav {
namespace {

std::vector<std::int16_t> block(std::initializer_list<double> frequencies, double dbfs) {
  RenderOptions options;
  options.levelDbfs = dbfs;
  return render(ToneTrack{{tone(frequencies, 20)}}, options);
}

double level(const std::vector<std::int16_t>& pcm, double frequency) {
  return toneLevel(8000, pcm.data(), pcm.size(), frequency);
}

TEST(ToneLevel, EmptyOrSilentBlockMeasuresZero) {
  const std::vector<std::int16_t> zeros(160, 0);
  EXPECT_EQ(toneLevel(8000, zeros.data(), 0, 1000), 0.0);
  EXPECT_EQ(toneLevel(8000, zeros.data(), zeros.size(), 1000), 0.0);
  EXPECT_EQ(bandLevel(8000, zeros.data(), 0, 1000, 10, 5), 0.0);
  EXPECT_EQ(toneLevel(0, block({1000}, -6).data(), 160, 1000), 0.0);
}

TEST(ToneLevel, PureSineMeasuresRootTwoWhateverItsLoudness) {
  for (double dbfs : {-40.0, -20.0, -3.0}) {
    const auto pcm = block({1000}, dbfs);
    EXPECT_NEAR(level(pcm, 1000), std::sqrt(2.0), 0.01) << dbfs;
    EXPECT_LT(level(pcm, 2109), 0.05) << dbfs;
  }
}

TEST(ToneLevel, EachOfTwoEqualSinesMeasuresAboutOne) {
  const auto pcm = block({925, 1054}, -10);
  EXPECT_NEAR(level(pcm, 925), 1.0, 0.05);
  EXPECT_NEAR(level(pcm, 1054), 1.0, 0.05);
}

// A tone just outside the band is strongest at the nearest grid edge, so the
// band level equals exactly that edge probe: lo and hi are on the grid and
// nothing beyond them is probed.
TEST(BandLevel, ProbesTheGridFromLoToHiInclusive) {
  const auto below = block({370}, -10);
  EXPECT_DOUBLE_EQ(bandLevel(8000, below.data(), 160, 434, 55, 11), level(below, 379));
  const auto above = block({497}, -10);
  EXPECT_DOUBLE_EQ(bandLevel(8000, above.data(), 160, 434, 55, 11), level(above, 489));
  const auto offGrid = block({2290}, -10);  // 1939 + 17 * 20 = 2279 is the last probe
  EXPECT_DOUBLE_EQ(bandLevel(8000, offGrid.data(), 160, 2109, 170, 20), level(offGrid, 2279));
}

TEST(BandLevel, NegativeHalfWidthOrStuckStepIsSafe) {
  const auto pcm = block({434}, -10);
  EXPECT_EQ(bandLevel(8000, pcm.data(), 160, 434, -1, 11), 0.0);
  EXPECT_DOUBLE_EQ(bandLevel(8000, pcm.data(), 160, 434, 55, 0), level(pcm, 379));
  EXPECT_DOUBLE_EQ(bandLevel(8000, pcm.data(), 160, 434, 55, -11), level(pcm, 379));
  EXPECT_DOUBLE_EQ(bandLevel(8000, pcm.data(), 160, 434, 55, 1e-20), level(pcm, 379));
}

}  // namespace
}  // namespace qav

#include "tone/block_classification.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

BandLevels levels(double rms, double low, double high, double middle, double t1, double t2,
                  double t3) {
  return BandLevels{rms, low, high, middle, {t1, t2, t3}};
}

struct Case {
  const char* what;
  BandLevels levels;
  BurstKind kind;
  std::uint32_t mask;
};

// Each threshold is probed on both sides, since a > written as >= (or a
// factor on the wrong side) moves a whole class of blocks.
TEST(ClassifyBlock, ThresholdsAndPriorities) {
  const Case cases[] = {
      {"quiet block", levels(0.0039, 0, 1.4, 0, 0, 0, 0), BurstKind::None, 0},
      {"just loud enough", levels(0.004, 0, 1.4, 0, 0, 0, 0), BurstKind::HighTone, 0},
      {"low band veto", levels(0.1, 0.46, 1.4, 0, 0, 0, 0), BurstKind::None, 0},
      {"low band below veto", levels(0.1, 0.4599, 1.4, 0, 0, 0, 0), BurstKind::HighTone, 0},
      {"veto lifted by two trio", levels(0.1, 0.9, 0, 0, 0.34, 0, 0.34), BurstKind::TrioTone, 5},
      {"high at threshold", levels(0.1, 0, 0.48, 0, 0, 0, 0), BurstKind::HighTone, 0},
      {"high under threshold", levels(0.1, 0, 0.4799, 0, 0, 0, 0), BurstKind::None, 0},
      {"high yields to trio", levels(0.1, 0, 0.95, 0, 0, 1.0, 0), BurstKind::TrioTone, 2},
      {"high beats trio", levels(0.1, 0, 0.9501, 0, 0, 1.0, 0), BurstKind::HighTone, 2},
      {"high vs middle", levels(0.1, 0, 0.95, 1.0, 0, 0, 0), BurstKind::MiddleTone, 0},
      {"middle at threshold", levels(0.1, 0, 0, 0.52, 0, 0, 0), BurstKind::MiddleTone, 0},
      {"middle under threshold", levels(0.1, 0, 0, 0.5199, 0, 0, 0), BurstKind::None, 0},
      {"middle beats trio", levels(0.1, 0, 0, 1.09, 1.0, 0, 0), BurstKind::MiddleTone, 1},
      {"middle yields to trio", levels(0.1, 0, 0, 1.08, 1.0, 0, 0), BurstKind::TrioTone, 1},
      {"one trio at threshold", levels(0.1, 0, 0, 0, 0, 0, 0.48), BurstKind::TrioTone, 4},
      {"one trio under", levels(0.1, 0, 0, 0, 0, 0.4799, 0), BurstKind::None, 2},
      {"two weak trio", levels(0.1, 0, 0, 0, 0.34, 0.34, 0.3399), BurstKind::TrioTone, 3},
  };
  for (const Case& c : cases) {
    const BlockClass block = classifyBlock(c.levels);
    EXPECT_EQ(block.kind, c.kind) << c.what;
    EXPECT_EQ(block.trioMask, c.mask) << c.what;
  }
}

}  // namespace
}  // namespace qav

#include "audio/g711.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace qav {
namespace {

// Full-scale negative samples come from clipped tones; both laws must encode
// them like the next value up, which has a positive counterpart in 16 bits.
TEST(G711Codec, TheMostNegativeSampleEncodesLikeTheNextValueUp) {
  for (const G711Law law : {G711Law::MuLaw, G711Law::ALaw}) {
    const std::vector<std::int16_t> samples{INT16_MIN, INT16_MIN + 1, INT16_MAX, 0};
    std::vector<std::uint8_t> coded(samples.size());
    g711Encode(law, samples.data(), samples.size(), coded.data());
    EXPECT_EQ(coded[0], coded[1]);
    std::vector<std::int16_t> decoded(samples.size());
    g711Decode(law, coded.data(), coded.size(), decoded.data());
    EXPECT_LT(decoded[0], -30000);
    EXPECT_GT(decoded[2], 30000);
    EXPECT_LE(std::abs(decoded[3]), 8);
  }
}

// Every sample comes back within half a step of its segment (a step is 1/16
// of the segment, whose size doubles from one to the next), with the sign
// kept; silence has the codes the line carries for it.
TEST(G711Codec, EverySampleComesBackWithinHalfAStep) {
  EXPECT_EQ(g711Encode(G711Law::MuLaw, std::int16_t{0}), 0xFF);
  EXPECT_EQ(g711Encode(G711Law::ALaw, std::int16_t{0}), 0xD5);
  for (const G711Law law : {G711Law::MuLaw, G711Law::ALaw}) {
    for (int sample = INT16_MIN + 1; sample <= INT16_MAX; ++sample) {
      const int back = g711Decode(law, g711Encode(law, static_cast<std::int16_t>(sample)));
      const int magnitude = std::abs(sample);
      const int bound = std::max(law == G711Law::MuLaw ? 4 : 8, magnitude / 32 + 8);
      ASSERT_LE(std::abs(back - sample), bound) << "sample " << sample << (law == G711Law::MuLaw ? " mu" : " A");
      if (magnitude > 64) {
        ASSERT_EQ(back < 0, sample < 0) << "sample " << sample;
      }
    }
  }
}

}  // namespace
}  // namespace qav

#include "telephony/g711_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace qav {
namespace {

// Full-scale negative samples come from clipped tones; both laws must encode
// them like the next value up, without reading outside librem's tables (the
// address sanitizer build catches that read).
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

}  // namespace
}  // namespace qav

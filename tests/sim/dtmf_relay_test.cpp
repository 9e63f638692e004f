#include <gtest/gtest.h>

#include "qav-sim/dtmf_relay.h"

namespace qav::sim {
namespace {

TEST(DtmfRelay, BodiesAsSendersWriteThem) {
  const auto plain = parseDtmfRelay("Signal=5\r\nDuration=500\r\n");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->digit, '5');
  EXPECT_EQ(plain->durationMs, 500u);

  const auto loose = parseDtmfRelay("signal = #\nDURATION= 160\n");
  ASSERT_TRUE(loose);
  EXPECT_EQ(loose->digit, '#');
  EXPECT_EQ(loose->durationMs, 160u);

  const auto lowerLetter = parseDtmfRelay("Signal=a\r\n");
  ASSERT_TRUE(lowerLetter);
  EXPECT_EQ(lowerLetter->digit, 'A');
  EXPECT_FALSE(lowerLetter->durationMs) << "no duration given: released on arrival";
}

TEST(DtmfRelay, RefusesWhatIsNoSingleKeyOrNoDuration) {
  for (const char* body : {"", "Duration=500\r\n", "Signal=\r\n", "Signal=10\r\n", "Signal=E\r\n",
                           "Signal=5\r\nDuration=5OO\r\n", "Signal=5\r\nDuration=-1\r\n",
                           "Signal=5\r\nDuration=99999999999\r\n", "Signal=5\r\nDuration=600000\r\n"})
    EXPECT_FALSE(parseDtmfRelay(body)) << body;
}

}  // namespace
}  // namespace qav::sim

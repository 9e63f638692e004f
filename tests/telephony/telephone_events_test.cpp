#include "telephony/telephone_events.h"

#include <gtest/gtest.h>

#include <vector>

namespace qav {
namespace {

struct Sent {
  int code;
  bool end;
  int duration;
  bool marker;
  bool operator==(const Sent&) const = default;
};

std::vector<Sent> drain(TelephoneEventPacer& pacer) {
  std::vector<Sent> sent;
  while (auto packet = pacer.poll()) {
    const auto& p = packet->payload;
    EXPECT_EQ(p[1] & 0x3f, 10) << "volume";
    sent.push_back({p[0], (p[1] & 0x80) != 0, (p[2] << 8) | p[3], packet->marker});
    if (sent.size() > 200) break;
  }
  return sent;
}

TEST(TelephoneEventPacerTest, ShortToneEndsOnTimeWithThreeEndPackets) {
  TelephoneEventPacer pacer;
  pacer.queue(5, 50);
  EXPECT_EQ(drain(pacer), (std::vector<Sent>{{5, false, 160, true},
                                             {5, false, 320, false},
                                             {5, true, 400, false},
                                             {5, true, 400, false},
                                             {5, true, 400, false}}));
  EXPECT_TRUE(pacer.idle());
}

TEST(TelephoneEventPacerTest, LongToneGrowsEveryPacketTimeUpToItsLength) {
  TelephoneEventPacer pacer;
  pacer.queue(11, 500);
  const std::vector<Sent> sent = drain(pacer);
  ASSERT_EQ(sent.size(), 25u + 3u);
  for (std::size_t i = 0; i < 25; ++i) {
    EXPECT_EQ(sent[i], (Sent{11, false, static_cast<int>(160 * (i + 1)), i == 0})) << i;
  }
  for (std::size_t i = 25; i < 28; ++i) EXPECT_EQ(sent[i], (Sent{11, true, 4000, false}));
}

TEST(TelephoneEventPacerTest, QueuedDigitsFollowEachOtherEachWithItsMarker) {
  TelephoneEventPacer pacer;
  pacer.queue(1, 40);
  pacer.queue(2, 200);
  const std::vector<Sent> sent = drain(pacer);
  std::vector<int> markers;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    if (sent[i].marker) markers.push_back(sent[i].code);
  }
  EXPECT_EQ(markers, (std::vector<int>{1, 2}));
  EXPECT_EQ(sent.back(), (Sent{2, true, 1600, false}));
  EXPECT_EQ(sent.size(), (2u + 2u) + (10u + 3u));
}

TEST(TelephoneEventPacerTest, ClearDropsWhatIsQueued) {
  TelephoneEventPacer pacer;
  pacer.queue(1, 500);
  ASSERT_TRUE(pacer.poll().has_value());
  pacer.clear();
  EXPECT_FALSE(pacer.poll().has_value());
  pacer.queue(3, 40);
  const std::vector<Sent> sent = drain(pacer);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.front(), (Sent{3, false, 160, true}));
}

TEST(TelephoneEventPacerTest, EventCodes) {
  EXPECT_EQ(telephoneEventCode('0'), 0);
  EXPECT_EQ(telephoneEventCode('9'), 9);
  EXPECT_EQ(telephoneEventCode('*'), 10);
  EXPECT_EQ(telephoneEventCode('#'), 11);
  EXPECT_EQ(telephoneEventCode('x'), -1);
}

}  // namespace
}  // namespace qav

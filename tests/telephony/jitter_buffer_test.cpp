#include "telephony/jitter_buffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace qav {
namespace {

constexpr std::size_t frame = 160;

// A frame whose every sample is value, so that the played order is visible.
std::vector<std::int16_t> frameOf(std::int16_t value) { return std::vector<std::int16_t>(frame, value); }

void put(JitterBuffer& buffer, std::uint32_t timestamp, std::int16_t value) {
  const auto samples = frameOf(value);
  buffer.put(timestamp, samples.data(), samples.size());
}

// The first sample of each of count frames taken; -1 for a frame of which
// nothing was received.
std::vector<int> play(JitterBuffer& buffer, int count) {
  std::vector<int> played;
  for (int i = 0; i < count; ++i) {
    std::vector<std::int16_t> out(frame, 99);
    played.push_back(buffer.take(out.data(), frame) ? out[0] : -1);
  }
  return played;
}

TEST(JitterBufferTest, WaitsForThePrefetchThenPlaysInTimestampOrder) {
  JitterBuffer buffer(2 * frame, 10 * frame);
  put(buffer, 1000, 1);
  EXPECT_EQ(play(buffer, 1), (std::vector<int>{-1}));
  put(buffer, 1000 + 2 * frame, 3);
  put(buffer, 1000 + frame, 2);
  put(buffer, 1000 + frame, 7);  // duplicate: the first copy stays
  EXPECT_EQ(play(buffer, 4), (std::vector<int>{1, 2, 3, -1}));
}

TEST(JitterBufferTest, LostPacketsPlayAsSilenceAndLatePacketsAreDropped) {
  JitterBuffer buffer(2 * frame, 10 * frame);
  put(buffer, 0, 1);
  put(buffer, 3 * frame, 4);
  put(buffer, 4 * frame, 5);
  // Two frames lost: neither is made up, not even the one right before 4.
  EXPECT_EQ(play(buffer, 3), (std::vector<int>{1, -1, -1}));
  put(buffer, frame, 2);  // its time has passed
  EXPECT_EQ(play(buffer, 2), (std::vector<int>{4, 5}));
}

TEST(JitterBufferTest, OneLostFrameBetweenReceivedOnesRepeatsTheFrameBefore) {
  JitterBuffer buffer(2 * frame, 10 * frame);
  put(buffer, 0, 1);
  put(buffer, 2 * frame, 3);
  put(buffer, 3 * frame, 4);
  EXPECT_EQ(play(buffer, 4), (std::vector<int>{1, 1, 3, 4}));
  // The end of the stream is not stretched.
  EXPECT_EQ(play(buffer, 1), (std::vector<int>{-1}));
}

TEST(JitterBufferTest, APartlyLostFrameIsCompletedFromTheFrameBefore) {
  JitterBuffer buffer(2 * frame, 10 * frame);
  put(buffer, 0, 1);
  const std::vector<std::int16_t> half(frame / 2, 2);
  buffer.put(frame + frame / 2, half.data(), half.size());
  put(buffer, 2 * frame, 3);
  std::vector<std::int16_t> out(frame);
  ASSERT_TRUE(buffer.take(out.data(), frame));
  ASSERT_TRUE(buffer.take(out.data(), frame));
  EXPECT_EQ(out.front(), 1);
  EXPECT_EQ(out.back(), 2);
  ASSERT_TRUE(buffer.take(out.data(), frame));
  EXPECT_EQ(out.front(), 3);
}

TEST(JitterBufferTest, SilentFramesAreZeroWhenNothingArrives) {
  JitterBuffer buffer(2 * frame, 10 * frame);
  std::vector<std::int16_t> out(frame, 99);
  EXPECT_FALSE(buffer.take(out.data(), frame));
  EXPECT_EQ(out, std::vector<std::int16_t>(frame, 0));
}

TEST(JitterBufferTest, SurvivesTimestampWrapAndResynchronisesAfterAJump) {
  JitterBuffer buffer(2 * frame, 10 * frame);
  const std::uint32_t nearWrap = 0xFFFFFFFFu - frame + 1;
  put(buffer, nearWrap - frame, 1);
  put(buffer, nearWrap, 2);
  put(buffer, static_cast<std::uint32_t>(nearWrap + frame), 3);  // wraps to 0
  EXPECT_EQ(play(buffer, 3), (std::vector<int>{1, 2, 3}));
  // The sender restarts far away: the buffer follows after a new prefetch.
  put(buffer, 5'000'000, 5);
  put(buffer, 5'000'000 + frame, 6);
  EXPECT_EQ(play(buffer, 2), (std::vector<int>{5, 6}));
}

TEST(JitterBufferTest, PacketsOfOtherSizesAreJoinedIntoFrames) {
  JitterBuffer buffer(2 * frame, 10 * frame);
  // 30 ms packets of 240 samples, played out as 20 ms frames.
  const std::vector<std::int16_t> first(240, 1), second(240, 2);
  buffer.put(0, first.data(), first.size());
  buffer.put(240, second.data(), second.size());
  std::vector<std::int16_t> out(frame);
  ASSERT_TRUE(buffer.take(out.data(), frame));
  EXPECT_EQ(out[159], 1);
  ASSERT_TRUE(buffer.take(out.data(), frame));
  EXPECT_EQ(out[79], 1);
  EXPECT_EQ(out[80], 2);
}

TEST(JitterBufferTest, AFastSenderCannotGrowTheDelayBeyondCapacity) {
  JitterBuffer buffer(2 * frame, 4 * frame);
  for (int i = 0; i < 3; ++i) put(buffer, static_cast<std::uint32_t>(i * frame), static_cast<std::int16_t>(i));
  play(buffer, 1);
  for (int i = 3; i < 12; ++i) put(buffer, static_cast<std::uint32_t>(i * frame), static_cast<std::int16_t>(i));
  // Only the newest frames, at most capacity behind the newest, remain.
  const std::vector<int> played = play(buffer, 2);
  EXPECT_GE(played[0], 8);
  EXPECT_EQ(played[1], played[0] + 1);
}

}  // namespace
}  // namespace qav

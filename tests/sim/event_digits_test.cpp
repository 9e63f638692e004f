#include <gtest/gtest.h>

#include <array>

#include "qav-sim/event_digits.h"

namespace qav::sim {
namespace {

using namespace std::chrono_literals;

std::array<std::uint8_t, 4> payload(std::uint8_t code, bool end, std::uint32_t durationMs) {
  const std::uint32_t samples = durationMs * 8;
  return {code, static_cast<std::uint8_t>((end ? 0x80 : 0) | 10), static_cast<std::uint8_t>(samples >> 8),
          static_cast<std::uint8_t>(samples & 0xff)};
}

class EventDigitsTest : public ::testing::Test {
 protected:
  std::vector<ReceivedDigit> packet(std::uint32_t ts, std::uint8_t code, bool end, std::uint32_t ms) {
    const auto p = payload(code, end, ms);
    now += 20ms;
    return events.onPacket(ts, p.data(), p.size(), now);
  }

  // An event paced as RFC 4733 senders do: every 20 ms a growing duration,
  // then the end packet three times. What it released, in order.
  std::vector<ReceivedDigit> event(std::uint32_t ts, std::uint8_t code, std::uint32_t ms) {
    std::vector<ReceivedDigit> released;
    auto keep = [&](const std::vector<ReceivedDigit>& more) {
      released.insert(released.end(), more.begin(), more.end());
    };
    for (std::uint32_t grown = 20; grown < ms; grown += 20) keep(packet(ts, code, false, grown));
    for (int i = 0; i < 3; ++i) keep(packet(ts, code, true, ms));
    return released;
  }

  EventDigits events;
  DeviceTime now{};
};

TEST_F(EventDigitsTest, EachEventCountsOnceAtItsFirstEndPacket) {
  const DeviceTime started = now;
  const auto first = event(1000, 5, 500);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].digit, '5');
  EXPECT_EQ(first[0].durationMs, 500u);
  EXPECT_EQ(first[0].endedAt, started + 25 * 20ms) << "24 growing packets, then the first end";
  // The same key again is a new event with its own timestamp.
  const auto again = event(6000, 5, 500);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].digit, '5');
  const auto star = event(9000, 10, 80);
  ASSERT_EQ(star.size(), 1u);
  EXPECT_EQ(star[0].digit, '*');
}

TEST_F(EventDigitsTest, LostEndPacketsStillReleaseTheKeyOnce) {
  packet(1000, 1, false, 20);
  const DeviceTime lastOfFirst = now;
  packet(1000, 1, false, 40);
  // The next event begins: the first is over as of its last packet.
  auto released = packet(2000, 2, false, 20);
  ASSERT_EQ(released.size(), 1u);
  EXPECT_EQ(released[0].digit, '1');
  EXPECT_EQ(released[0].durationMs, 40u);
  EXPECT_EQ(released[0].endedAt, lastOfFirst + 20ms);
  // And when the packets just stop, after the loss limit.
  EXPECT_FALSE(events.poll(now + EventDigits::lostAfter - 1ms));
  const auto stopped = events.poll(now + EventDigits::lostAfter);
  ASSERT_TRUE(stopped);
  EXPECT_EQ(stopped->digit, '2');
  EXPECT_EQ(stopped->endedAt, now);
  EXPECT_FALSE(events.poll(now + 10s)) << "released once only";
  EXPECT_TRUE(packet(2000, 2, true, 60).empty()) << "a late end of a released event";
}

TEST_F(EventDigitsTest, ReorderedStragglersAndOtherEventsAreIgnored) {
  // The end overtakes the growing packets.
  ASSERT_EQ(packet(1000, 3, true, 100).size(), 1u);
  EXPECT_TRUE(packet(1000, 3, false, 40).empty());
  EXPECT_TRUE(packet(3000, 16, true, 100).empty()) << "event 16 is a line signal, not a key";
  const std::uint8_t shortPayload[3] = {4, 0x80, 0};
  EXPECT_TRUE(events.onPacket(4000, shortPayload, sizeof shortPayload, now).empty());
  EXPECT_FALSE(events.poll(now + 10s));
}

}  // namespace
}  // namespace qav::sim

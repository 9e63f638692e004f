// RFC 4733 telephone events into the simulator's EventDigits, which turns
// them into key presses. Two kinds of input: raw payload sequences with
// arbitrary timestamps and arrival times, and digits sent by our own pacer
// over a lossy line, which must arrive as sent unless every packet of a
// digit was lost.
#include <fuzzer/FuzzedDataProvider.h>
#include <re.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "qav-sim/event_digits.h"
#include "telephony/telephone_events.h"

namespace {

using namespace std::chrono_literals;
using qav::fuzz::check;
using qav::sim::DeviceTime;
using qav::sim::ReceivedDigit;

constexpr char kDigits[] = "0123456789*#ABCD";

bool isKey(char digit) { return digit != 0 && std::string_view(kDigits).find(digit) != std::string_view::npos; }

void checkReleased(const std::vector<ReceivedDigit>& released, DeviceTime now) {
  check(released.size() <= 2, "one packet released more than the old and the new event");
  for (const ReceivedDigit& digit : released) {
    check(isKey(digit.digit), "released something that is not a key");
    check(digit.durationMs <= 0xffff / 8, "duration beyond what 16 bits of samples hold");
    check(digit.endedAt <= now, "key released in the future");
  }
}

void rawPackets(FuzzedDataProvider& input) {
  qav::sim::EventDigits events;
  DeviceTime now{};
  std::vector<std::uint32_t> recent{0};
  while (input.remaining_bytes() > 0) {
    now += std::chrono::milliseconds(input.ConsumeIntegralInRange<int>(0, 300));
    if (input.ConsumeIntegralInRange<int>(0, 7) == 0) {
      if (const auto digit = events.poll(now)) checkReleased({*digit}, now);
      continue;
    }
    // Mostly a timestamp seen before, so that events continue and repeat.
    std::uint32_t timestamp;
    if (input.ConsumeBool()) {
      timestamp = recent[input.ConsumeIntegralInRange<std::size_t>(0, recent.size() - 1)];
    } else {
      timestamp = input.ConsumeIntegral<std::uint32_t>();
      recent.push_back(timestamp);
    }
    const std::vector<std::uint8_t> payload =
        input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 8));
    checkReleased(events.onPacket(timestamp, payload.data(), payload.size(), now), now);
  }
}

// The sender's side as AudioStream::sendTick stamps it: one tick every
// 20 ms, the timestamp advancing by 160 samples, every packet of one event
// carrying the timestamp of its first.
void pacedDigits(FuzzedDataProvider& input) {
  qav::TelephoneEventPacer pacer;
  qav::sim::EventDigits events;
  DeviceTime now{};
  std::uint32_t timestamp = input.ConsumeIntegral<std::uint32_t>();
  std::uint32_t eventTimestamp = 0;
  bool playing = false;
  std::string sent;
  std::vector<std::uint32_t> sentMs;
  std::vector<ReceivedDigit> received;
  const auto keep = [&](const std::vector<ReceivedDigit>& more) {
    checkReleased(more, now);
    received.insert(received.end(), more.begin(), more.end());
  };
  std::string expected;
  std::vector<std::uint32_t> expectedMs;
  while (input.remaining_bytes() > 0 && sent.size() < 20) {
    const char digit = kDigits[input.ConsumeIntegralInRange<std::size_t>(0, 15)];
    const std::uint32_t ms = input.ConsumeIntegralInRange<std::uint32_t>(1, 2000);
    const int gapTicks = input.ConsumeIntegralInRange<int>(0, 20);
    pacer.queue(qav::telephoneEventCode(digit), ms);
    bool arrived = false;
    while (const auto packet = pacer.poll()) {
      if (packet->marker || !playing) eventTimestamp = timestamp;
      playing = true;
      now += 20ms;
      timestamp += 160;
      // Loss: an input bit per packet, about one in eight lost.
      if (input.ConsumeIntegralInRange<int>(0, 7) == 0) continue;
      arrived = true;
      keep(events.onPacket(eventTimestamp, packet->payload.data(), packet->payload.size(), now));
    }
    sent += digit;
    sentMs.push_back(ms);
    if (arrived) {
      expected += digit;
      expectedMs.push_back(ms);
    }
    for (int i = 0; i < gapTicks; ++i) {
      playing = false;
      now += 20ms;
      timestamp += 160;
      if (const auto late = events.poll(now)) keep({*late});
    }
  }
  now += 1s;
  if (const auto last = events.poll(now)) keep({*last});

  std::string got;
  for (const ReceivedDigit& digit : received) got += digit.digit;
  check(got == expected, "sent " + sent + ", expected " + expected + ", received " + got);
  for (std::size_t i = 0; i < received.size(); ++i)
    check(received[i].durationMs <= ((expectedMs[i] + 19) / 20) * 20,
          "key held longer than it was sent: " + std::to_string(received[i].durationMs) + " ms for " +
              std::to_string(expectedMs[i]));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  check(libre_init() == 0, "libre_init failed");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  if (input.ConsumeBool()) {
    pacedDigits(input);
  } else {
    rawPackets(input);
  }
  return 0;
}

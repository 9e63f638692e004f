#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "qav-sim/answer_audio.h"
#include "qav-sim/inband_digits.h"
#include "telephony/g711_codec.h"
#include "telephony/inband_dtmf.h"

namespace qav::sim {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kFrame = 160;

// Tone pairs as the calling side synthesises them, over a G.711 line, in
// 20 ms frames; times relative to the first sample.
struct Heard {
  std::vector<ReceivedDigit> digits;
  DeviceTime start{};
};

Heard listen(std::deque<std::int16_t> audio, G711Law law = G711Law::ALaw) {
  appendSilence(audio, 200);
  InbandDigits detector;
  Heard heard;
  DeviceTime now = heard.start;
  while (audio.size() >= kFrame) {
    std::int16_t frame[kFrame];
    std::copy_n(audio.begin(), kFrame, frame);
    audio.erase(audio.begin(), audio.begin() + kFrame);
    std::uint8_t line[kFrame];
    g711Encode(law, frame, kFrame, line);
    g711Decode(law, line, kFrame, frame);
    now += 20ms;
    for (const ReceivedDigit& digit : detector.process(frame, kFrame, now)) heard.digits.push_back(digit);
  }
  return heard;
}

std::deque<std::int16_t> keys(const std::string& digits, std::uint32_t toneMs, std::uint32_t gapMs) {
  std::deque<std::int16_t> audio;
  for (char digit : digits) {
    appendDtmfTone(audio, *dtmfTonePair(digit), toneMs);
    appendSilence(audio, gapMs);
  }
  return audio;
}

std::string digitsOf(const Heard& heard) {
  std::string text;
  for (const ReceivedDigit& digit : heard.digits) text += digit.digit;
  return text;
}

TEST(InbandDigits, KeysAtTheDefaultPaceWithTheirLengthAndRelease) {
  std::deque<std::int16_t> audio;
  appendSilence(audio, 30);  // off the frame grid
  const std::deque<std::int16_t> pin = keys("5831", 500, 110);
  audio.insert(audio.end(), pin.begin(), pin.end());
  const Heard heard = listen(audio, G711Law::MuLaw);
  ASSERT_EQ(digitsOf(heard), "5831");
  for (std::size_t i = 0; i < heard.digits.size(); ++i) {
    const auto toneEnd = heard.start + 30ms + milliseconds(610 * i + 500);
    EXPECT_NEAR(heard.digits[i].durationMs, 500, 20) << i;
    EXPECT_LE(heard.digits[i].endedAt - toneEnd, 30ms) << i;
    EXPECT_GE(heard.digits[i].endedAt - toneEnd, -5ms) << "released before the tone ended, key " << i;
  }
}

TEST(InbandDigits, FastestKeysWithoutGapsStaySeparate) {
  EXPECT_EQ(digitsOf(listen(keys("1234567890*#", 40, 0))), "1234567890*#");
  EXPECT_EQ(digitsOf(listen(keys("0707", 80, 80))), "0707");
}

TEST(InbandDigits, TheDevicesOwnTonesAndSilenceAreNoKeys) {
  std::deque<std::int16_t> audio;
  appendSilence(audio, 1000);
  for (Signal answer : {Signal::SingleConfirmation, Signal::DoubleConfirmation, Signal::MultiDevicePrompt,
                        Signal::AlternatingDisconnect, Signal::ParameterError}) {
    LineConditions noisy;
    noisy.noiseDbfs = -45.0;
    const std::vector<std::int16_t> tone = renderAnswer(answer, noisy);
    audio.insert(audio.end(), tone.begin(), tone.end());
    appendSilence(audio, 300);
  }
  EXPECT_EQ(digitsOf(listen(audio)), "");
}

}  // namespace
}  // namespace qav::sim

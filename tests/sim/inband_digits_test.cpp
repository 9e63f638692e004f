#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <vector>

#include "qav-sim/answer_audio.h"
#include "qav-sim/inband_digits.h"
#include "audio/g711.h"
#include "audio/dtmf_tones.h"
#include "telephony/jitter_buffer.h"

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

// Takes the next frame off the audio as it arrives after G.711 coding.
void nextFrameOverTheLine(std::deque<std::int16_t>& audio, G711Law law, std::int16_t* frame) {
  std::copy_n(audio.begin(), kFrame, frame);
  audio.erase(audio.begin(), audio.begin() + kFrame);
  std::uint8_t line[kFrame];
  g711Encode(law, frame, kFrame, line);
  g711Decode(law, line, kFrame, frame);
}

Heard listen(std::deque<std::int16_t> audio, G711Law law = G711Law::ALaw) {
  appendSilence(audio, 200);
  InbandDigits detector;
  Heard heard;
  DeviceTime now = heard.start;
  while (audio.size() >= kFrame) {
    std::int16_t frame[kFrame];
    nextFrameOverTheLine(audio, law, frame);
    now += 20ms;
    for (const ReceivedDigit& digit : detector.process(frame, kFrame, now)) heard.digits.push_back(digit);
  }
  return heard;
}

// The same audio as RTP packets of one frame each, the `lost` ones never
// arriving, through the jitter buffer the simulator plays them out with.
std::string digitsOverRtp(std::deque<std::int16_t> audio, const std::set<std::size_t>& lost,
                          G711Law law = G711Law::ALaw) {
  appendSilence(audio, 300);
  JitterBuffer buffer(5 * kFrame, 10 * kFrame);
  InbandDigits detector;
  DeviceTime now{};
  std::string heard;
  for (std::size_t packet = 0; audio.size() >= kFrame; ++packet) {
    std::int16_t frame[kFrame];
    nextFrameOverTheLine(audio, law, frame);
    if (!lost.contains(packet)) buffer.put(static_cast<std::uint32_t>(packet * kFrame), frame, kFrame);
    buffer.take(frame, kFrame);
    now += 20ms;
    for (const ReceivedDigit& digit : detector.process(frame, kFrame, now)) heard += digit.digit;
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

// The Z208 ID is a variable-length entry: a key lost or heard twice is
// stored as another ID.
TEST(InbandDigits, OneLostPacketNeitherLosesNorSplitsAKey) {
  const std::deque<std::int16_t> fast = keys("00000042", 80, 80);
  for (std::size_t packet = 0; packet < fast.size() / kFrame; ++packet) {
    EXPECT_EQ(digitsOverRtp(fast, {packet}), "00000042") << "packet " << packet << " lost, 80 ms keys";
  }
  std::deque<std::int16_t> slow;
  appendSilence(slow, 30);  // off the frame grid
  const std::deque<std::int16_t> pin = keys("0011", 500, 110);
  slow.insert(slow.end(), pin.begin(), pin.end());
  for (std::size_t packet = 0; packet < slow.size() / kFrame; ++packet) {
    EXPECT_EQ(digitsOverRtp(slow, {packet}, G711Law::MuLaw), "0011") << "packet " << packet << " lost, 500 ms keys";
  }
}

// A packet lost where the jitter buffer cannot repeat the one before it
// plays as 20 ms of silence, wherever it falls on the receiver's blocks.
TEST(InbandDigits, TwentyMillisecondsOfSilenceInsideAKeyAreBridged) {
  for (char key : std::string("0123456789*#")) {
    for (std::size_t shift = 0; shift < InbandDigits::blockSamples; shift += 3) {
      std::deque<std::int16_t> audio = keys(std::string(1, key), 200, 0);
      std::fill_n(audio.begin() + static_cast<std::ptrdiff_t>(640 + shift), kFrame, std::int16_t{0});
      EXPECT_EQ(digitsOf(listen(audio, shift % 2 ? G711Law::MuLaw : G711Law::ALaw)), std::string(1, key))
          << "key " << key << ", silence from sample " << 640 + shift;
    }
  }
}

// The bridge must stay shorter than a real pause: the shortest tones with
// as long a pause between them are two presses of the key, not one.
TEST(InbandDigits, EqualKeysApartByTheShortestPauseStayTwo) {
  for (char key : std::string("0123456789*#")) {
    for (std::size_t lead = 0; lead < InbandDigits::blockSamples; lead += 3) {
      std::deque<std::int16_t> audio(lead, 0);
      const std::deque<std::int16_t> twice = keys(std::string(2, key), 40, 40);
      audio.insert(audio.end(), twice.begin(), twice.end());
      EXPECT_EQ(digitsOf(listen(audio, lead % 2 ? G711Law::MuLaw : G711Law::ALaw)), std::string(2, key))
          << "key " << key << ", " << lead << " samples ahead";
    }
  }
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

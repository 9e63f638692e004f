#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <sstream>
#include <stdexcept>

#include "qav-sim/device_line.h"
#include "audio/g711.h"
#include "audio/dtmf_tones.h"
#include "telephony/telephone_events.h"
#include "tone/tone_analyzer.h"

// The device on a call without the network: keys as the calling side's own
// event pacer and tone synthesiser produce them, answers heard by the
// calling side's tone analyzer in the frames the line sends.

namespace qav::sim {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kFrame = 160;

class LineDriver {
  // First, so that they exist before the line that writes to them.
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* out_;
  EventLog log_;

 public:
  explicit LineDriver(FaultPlan faults = {}, StateSaver saver = [](const DeviceState&) {})
      : out_(open_memstream(&buffer_, &size_)),
        log_(true, out_),
        line(DeviceState{}, DialogueTiming{}, faults, log_, std::move(saver)),
        analyzer_(8000) {
    analyzer_.setCallback([this](Signal signal) { heard.push_back(signal); });
  }
  ~LineDriver() {
    std::fclose(out_);
    std::free(buffer_);
  }

  void run(milliseconds duration) {
    for (milliseconds t{0}; t < duration; t += 20ms) tick();
  }

  void pressByEvents(const std::string& keys, std::uint32_t toneMs = 500, std::uint32_t gapMs = 110) {
    for (char key : keys) {
      pacer_.queue(telephoneEventCode(key), toneMs);
      run(milliseconds(toneMs + gapMs));
    }
  }

  void pressInBand(const std::string& keys, std::uint32_t toneMs = 500, std::uint32_t gapMs = 110) {
    for (char key : keys) {
      appendDtmfTone(incoming_, *dtmfTonePair(key), toneMs);
      appendSilence(incoming_, gapMs);
    }
    while (!incoming_.empty()) tick();
  }

  std::vector<std::string> lines(const std::string& prefix) {
    std::fflush(out_);
    std::istringstream all(std::string(buffer_, size_));
    std::vector<std::string> found;
    for (std::string line; std::getline(all, line);)
      if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
  }

  DeviceTime now{DeviceClock::now()};
  DeviceLine line;
  std::vector<Signal> heard;

 private:
  void tick() {
    std::int16_t in[kFrame] = {};
    const std::size_t audio = std::min(kFrame, incoming_.size());
    std::copy_n(incoming_.begin(), audio, in);
    incoming_.erase(incoming_.begin(), incoming_.begin() + static_cast<std::ptrdiff_t>(audio));
    std::uint8_t coded[kFrame];
    g711Encode(G711Law::MuLaw, in, kFrame, coded);
    g711Decode(G711Law::MuLaw, coded, kFrame, in);
    if (const std::optional<EventPacket> packet = pacer_.poll()) {
      if (packet->marker) timestamp_ += 8000;
      line.telephoneEvent(timestamp_, packet->payload.data(), packet->payload.size(), now);
    }
    std::int16_t sent[kFrame];
    line.tick(in, sent, kFrame, now);
    analyzer_.process(sent, kFrame);
    now += 20ms;
  }

  ToneAnalyzer analyzer_;
  TelephoneEventPacer pacer_;
  std::uint32_t timestamp_ = 0xfffff000;  // wraps during the call
  std::deque<std::int16_t> incoming_;
};

using Answers = std::vector<Signal>;
constexpr Signal kSingle = Signal::SingleConfirmation;
constexpr Signal kDouble = Signal::DoubleConfirmation;

TEST(DeviceLine, PinByTelephoneEventsCountsEachKeyOnce) {
  LineDriver d;
  d.line.answer(d.now);
  d.run(1500ms);
  d.pressByEvents("5831");
  d.run(1500ms);
  EXPECT_EQ(d.heard, (Answers{kSingle, kSingle}));
  EXPECT_EQ(d.lines("digit "), (std::vector<std::string>{"digit 5 rfc4733 500", "digit 8 rfc4733 500",
                                                          "digit 3 rfc4733 500", "digit 1 rfc4733 500"}));
}

TEST(DeviceLine, PinInBandOverTheLine) {
  LineDriver d;
  d.line.answer(d.now);
  d.run(1500ms);
  d.pressInBand("5831", 80, 80);
  d.run(1500ms);
  EXPECT_EQ(d.heard, (Answers{kSingle, kSingle}));
  const std::vector<std::string> digits = d.lines("digit ");
  ASSERT_EQ(digits.size(), 4u);
  EXPECT_EQ(digits[1].substr(0, 15), "digit 8 inband ");
}

TEST(DeviceLine, RelayedKeysCountWhenReleasedAndOnlyOnceTheCallIsAnswered) {
  LineDriver d;
  for (char key : std::string("5831")) d.line.relayedDigit({key, 0}, d.now);
  d.run(100ms);
  EXPECT_EQ(d.lines("digit ").size(), 4u) << "heard on the line";
  d.line.answer(d.now);
  d.run(1500ms);
  EXPECT_EQ(d.heard, (Answers{kSingle})) << "keys pressed while it rang reached the PIN";

  d.line.relayedDigit({'5', 500}, d.now);
  d.run(480ms);
  EXPECT_EQ(d.lines("digit ").size(), 4u) << "released before its duration had passed";
  d.run(40ms);
  EXPECT_EQ(d.lines("digit ").back(), "digit 5 sip-info 500");
}

TEST(DeviceLine, HangsUpOnlyOnceTheDisconnectSequenceHasPlayed) {
  for (const bool stays : {false, true}) {
    FaultPlan faults;
    faults.noHangUpAfterZero = stays;
    LineDriver d(faults);
    d.line.answer(d.now);
    d.run(1500ms);
    d.pressByEvents("5831", 80, 80);
    d.run(1500ms);
    d.pressByEvents("0", 80, 80);
    while (d.lines("answer ").size() < 3) d.run(20ms);
    EXPECT_EQ(d.lines("answer ").back(), "answer alternating-disconnect");
    EXPECT_FALSE(d.line.wantsHangUp()) << "hung up while the sequence still sounds";
    d.run(3000ms);
    EXPECT_EQ(d.line.wantsHangUp(), !stays);
    EXPECT_EQ(d.heard.back(), Signal::AlternatingDisconnect);
  }
}

TEST(DeviceLine, CommittedValuesAreSavedAndAFailedSaveKeepsTheCallGoing) {
  std::vector<DeviceState> saved;
  LineDriver keeps({}, [&](const DeviceState& state) { saved.push_back(state); });
  LineDriver fails({}, [](const DeviceState&) { throw std::runtime_error("disk full"); });
  for (LineDriver* d : {&keeps, &fails}) {
    d->line.answer(d->now);
    d->run(1500ms);
    d->pressByEvents("5831", 80, 80);
    d->run(1500ms);
    d->pressByEvents("#*01", 80, 80);
    d->run(1500ms);
    d->pressByEvents("2", 80, 80);
    d->run(1500ms);
    EXPECT_EQ(d->heard, (Answers{kSingle, kSingle, kSingle, kDouble}));
  }
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].dialMode, "2");
  EXPECT_EQ(keeps.lines("state-saved").size(), 1u);
  EXPECT_TRUE(fails.lines("state-saved").empty()) << "reported a save that failed";
}

}  // namespace
}  // namespace qav::sim

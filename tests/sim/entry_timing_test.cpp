#include <gtest/gtest.h>

#include <array>
#include <string>

#include "qav-sim/answer_audio.h"
#include "simulated_sender.h"

namespace qav::sim {
namespace {

// Where an entry ends: a pause after the digits of a variable-length entry,
// a first digit that does not come for one that may be empty.

TEST(EntryTiming, VariableLengthEntryEndsAfterThePause) {
  for (const SenderTiming timing : {SenderTiming{}, kFastSender, SenderTiming{700ms, 700ms}}) {
    SCOPED_TRACE(timing.tone.count());
    DeviceDialogue device{DeviceState{}};
    SimulatedSender sender(device, timing);
    sender.answerCall();
    sender.exchange("5831");  // a fixed-length entry also waits out a slow spacing
    sender.exchange("#*22");
    sender.sendDigits("0301234567*#");
    const DeviceTime lastDigit = sender.now();
    EXPECT_EQ(sender.exchange(""), Signal::SingleConfirmation);
    EXPECT_EQ(sender.heard().back().at - lastDigit, 1500ms + 200ms);
    EXPECT_EQ(sender.exchange("5"), Signal::DoubleConfirmation);
    EXPECT_EQ(device.state().serviceNumber, "0301234567*#");
  }
}

TEST(EntryTiming, DigitsFurtherApartThanThePauseSplitTheEntry) {
  DeviceDialogue device{DeviceState{}};
  SimulatedSender sender(device);
  sender.answerCall();
  sender.exchange("5831");
  sender.exchange("#*22");
  const std::size_t before = sender.heard().size();
  sender.setTiming({1000ms, 700ms, 500ms});
  sender.sendDigits("0301");
  sender.wait(2s);
  // "0" is the number; the "3" falls into its answer and is not heard; the
  // next "0" is no routine target, and the "1" an opening code cut short.
  std::vector<Signal> answers;
  for (std::size_t i = before; i < sender.heard().size(); ++i)
    answers.push_back(sender.heard()[i].answer.pattern);
  EXPECT_EQ(answers, (std::vector<Signal>{Signal::SingleConfirmation, Signal::ParameterError,
                                          Signal::ParameterError}));
  EXPECT_EQ(device.state().serviceNumber, "");
}

TEST(EntryTiming, EmergencyNumberIsEmptyWhenNoDigitComesWithinTheWait) {
  // A settle delay of 1800 ms makes the first tone end 2880 ms after the
  // previous answer: still a number.
  DeviceDialogue device{DeviceState{}};
  SimulatedSender sender(device, {500ms, 110ms, 1800ms});
  sender.answerCall();
  sender.exchange("5831");
  sender.exchange("#*00");
  for (const char* number : {"112", "", "19222", ""}) {
    const HeardAnswer previous = sender.heard().back();
    EXPECT_TRUE(sender.exchange(number));
    if (*number == '\0') {
      EXPECT_EQ(sender.heard().back().at - previous.at - answerDuration(previous.answer.pattern),
                3000ms + 200ms);
    }
  }
  EXPECT_EQ(sender.heard().back().answer.pattern, Signal::DoubleConfirmation);
  EXPECT_EQ(device.state().emergencyNumbers, (std::array<std::string, 4>{"112", "", "19222", ""}));
}

}  // namespace
}  // namespace qav::sim

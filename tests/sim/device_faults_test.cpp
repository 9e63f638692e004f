#include <gtest/gtest.h>

#include "simulated_sender.h"

namespace qav::sim {
namespace {

// Steps of these calls: 1 start signal, 2 PIN, 3 "#*20", 4 time, 5 date.

struct Call {
  explicit Call(const FaultPlan& faults) : device{DeviceState{}, {}, faults}, sender{device} {
    greeting = sender.answerCall();
  }
  bool clock() {
    return sender.exchange("#*20") == Signal::SingleConfirmation &&
           sender.exchange("0941") == Signal::SingleConfirmation &&
           sender.exchange("07122026") == Signal::DoubleConfirmation;
  }
  DeviceDialogue device;
  SimulatedSender sender;
  std::optional<Signal> greeting;
};

FaultPlan at(std::optional<std::uint32_t> FaultPlan::*fault, std::uint32_t step) {
  FaultPlan faults;
  faults.*fault = step;
  return faults;
}

TEST(DeviceFaults, WrongToneReplacesTheAnswerOnly) {
  FaultPlan faults;
  faults.wrongTone = StepTone{3, Signal::DoubleConfirmation};
  Call call(faults);
  call.sender.exchange("5831");
  EXPECT_EQ(call.sender.exchange("#*20"), Signal::DoubleConfirmation);
  EXPECT_EQ(call.sender.exchange("0941"), Signal::SingleConfirmation);
  EXPECT_EQ(call.sender.exchange("07122026"), Signal::DoubleConfirmation);
  EXPECT_EQ(call.device.state().clockTime, "0941");
}

TEST(DeviceFaults, ParameterErrorOnceAbortsAndTheRepetitionSucceeds) {
  Call call(at(&FaultPlan::parameterErrorAt, 4));
  call.sender.exchange("5831");
  EXPECT_EQ(call.sender.exchange("#*20"), Signal::SingleConfirmation);
  EXPECT_EQ(call.sender.exchange("0941"), Signal::ParameterError);
  call.sender.wait(700ms);
  EXPECT_TRUE(call.clock());
}

TEST(DeviceFaults, SilencedStepIsNotHeardAndTheRepetitionAfterTheTimeLimitSucceeds) {
  Call entry(at(&FaultPlan::silenceAt, 4));
  entry.sender.exchange("5831");
  EXPECT_EQ(entry.sender.exchange("#*20"), Signal::SingleConfirmation);
  EXPECT_EQ(entry.sender.exchange("0941"), std::nullopt);  // after the full 10 s
  entry.sender.wait(700ms);
  EXPECT_TRUE(entry.clock());

  Call pin(at(&FaultPlan::silenceAt, 2));
  EXPECT_EQ(pin.sender.exchange("5831"), std::nullopt);
  EXPECT_EQ(pin.sender.exchange("5831"), Signal::SingleConfirmation);

  Call greeting(at(&FaultPlan::silenceAt, 1));
  EXPECT_EQ(greeting.greeting, std::nullopt);
  EXPECT_EQ(greeting.sender.exchange("5831"), Signal::SingleConfirmation);
}

TEST(DeviceFaults, HangUpAfterAStepOrStayingOnTheLineAfterZero) {
  Call call(at(&FaultPlan::hangUpAfter, 3));
  call.sender.exchange("5831");
  EXPECT_EQ(call.sender.exchange("#*20"), Signal::SingleConfirmation);
  EXPECT_TRUE(call.sender.heard().back().answer.hangUpAfter);
  EXPECT_EQ(call.sender.exchange("0941"), std::nullopt);

  FaultPlan faults;
  faults.noHangUpAfterZero = true;
  Call stays(faults);
  stays.sender.exchange("5831");
  EXPECT_EQ(stays.sender.exchange("0"), Signal::AlternatingDisconnect);
  EXPECT_FALSE(stays.sender.heard().back().answer.hangUpAfter);
}

}  // namespace
}  // namespace qav::sim

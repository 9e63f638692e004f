#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simulated_sender.h"

namespace qav::sim {
namespace {

// The command level: what makes the device refuse an entry, what it does
// not hear, the shared line and the end of the call. Steps: 1 start signal,
// 2 PIN, 3 the first opening code.

struct LoggedIn {
  explicit LoggedIn(DeviceState state = {}, FaultPlan faults = {})
      : device{std::move(state), {}, std::move(faults)}, sender{device, kFastSender} {
    sender.answerCall();
    sender.exchange("5831");
  }
  DeviceDialogue device;
  SimulatedSender sender;
};

TEST(DeviceDialogue, FormatViolationAbortsTheCommandAndKeepsTheState) {
  // Every step is accepted but the last.
  const std::vector<std::vector<std::string>> violations = {
      {"#*20", "2400"}, {"#*20", "1260"}, {"#*20", "0941", "30022026"},
      {"#*20", "0941", "29022027"}, {"#*20", "0941", "01132026"},
      {"#*21", "0730", "3"}, {"#*21", "0730", "4", "00"},
      {"#*22", std::string(26, '1')}, {"#*22", "0301234", "4"},
      {"#*00", "112", std::string(26, '2')}, {"#*72", "5", "5", "1"},
      {"#*05", "411"}, {"#*05", "101"}, {"#*05", "11*"},
      {"#*88", "12#4"}, {"#*88", "246"}, {"#*88", "2468", "2469"},
      {"#*01", "3"}, {"#*02", "13"}, {"#*02", "100"}, {"#*03", "*"}, {"#*04", "3"},
      {"#*08", "2"}, {"#*23", "2"}, {"#*30", "123456789"}, {"#*30", "1234#"},
      {"#*31", "6"}, {"#*91", "0"}, {"#*58", "4"}, {"#*98", "2"}, {"#*70", "#"},
      {"#*77"}, {"#020"}, {"#*2"},
  };
  for (const auto& steps : violations) {
    SCOPED_TRACE(steps[0] + " " + steps.back());
    LoggedIn call;
    for (std::size_t i = 0; i + 1 < steps.size(); ++i)
      EXPECT_EQ(call.sender.exchange(steps[i]), Signal::SingleConfirmation);
    EXPECT_EQ(call.sender.exchange(steps.back()), Signal::ParameterError);
    EXPECT_EQ(call.device.state(), DeviceState{});
    EXPECT_EQ(call.sender.exchange("#*01"), Signal::SingleConfirmation);
    EXPECT_EQ(call.sender.exchange("0"), Signal::DoubleConfirmation);  // "0" as a value
    EXPECT_EQ(call.device.state().dialMode, "0");
  }
}

TEST(DeviceDialogue, LeapDayAndLastMinuteAreValid) {
  LoggedIn call;
  for (const char* step : {"#*20", "2359"}) call.sender.exchange(step);
  EXPECT_EQ(call.sender.exchange("29022028"), Signal::DoubleConfirmation);
}

TEST(DeviceDialogue, WhatTheDeviceDoesNotHear) {
  LoggedIn call;
  // Keys while an answer sounds: the answer starts 200 ms after the code.
  call.sender.sendDigits("#*01");
  call.sender.wait(250ms);
  call.sender.sendDigits("2");
  call.sender.wait(1s);
  EXPECT_EQ(call.device.state().dialMode, "1");
  EXPECT_EQ(call.sender.exchange("2"), Signal::DoubleConfirmation);

  // Keys while the line is measured; the answer comes when it is done.
  call.sender.sendDigits("#*99");
  const DeviceTime sent = call.sender.now();
  call.sender.wait(1s);
  call.sender.sendDigits("#*01");
  EXPECT_EQ(call.sender.exchange("", 30s), Signal::DoubleConfirmation);
  EXPECT_EQ(call.sender.heard().back().at - sent, 4s);
  EXPECT_TRUE(call.device.state().calibrated);
  EXPECT_EQ(call.sender.exchange("2"), Signal::ParameterError);
}

TEST(DeviceDialogue, CommandWithoutFurtherEntryIsDroppedSilently) {
  LoggedIn call;
  call.sender.exchange("#*20");
  call.sender.wait(7s);
  EXPECT_EQ(call.sender.exchange("0941"), Signal::SingleConfirmation);
  EXPECT_EQ(call.sender.exchange("", 9s), std::nullopt);
  EXPECT_EQ(call.sender.exchange("#*01"), Signal::SingleConfirmation);
  EXPECT_EQ(call.device.state().clockTime, "");
}

TEST(DeviceDialogue, ZeroEndsTheCallAndNewPinAndBusAddressHoldFromTheNextCall) {
  LoggedIn call;
  for (const char* step : {"#*88", "2468", "2468", "#*70", "4"}) call.sender.exchange(step);
  EXPECT_EQ(call.sender.exchange("0"), Signal::AlternatingDisconnect);
  EXPECT_TRUE(call.sender.heard().back().answer.hangUpAfter);
  EXPECT_TRUE(call.device.ended());
  EXPECT_EQ(call.sender.exchange("#*01"), std::nullopt);

  DeviceDialogue next{call.device.state()};
  SimulatedSender sender(next, kFastSender);
  EXPECT_EQ(sender.answerCall(), Signal::MultiDevicePrompt);
  EXPECT_EQ(sender.exchange("4"), Signal::SingleConfirmation);
  EXPECT_EQ(sender.exchange("5831"), Signal::ParameterError);
  EXPECT_EQ(sender.exchange("2468"), Signal::SingleConfirmation);
}

DeviceState onSharedLine() {
  DeviceState state;
  state.busAddress = "3";
  return state;
}

TEST(DeviceDialogue, SharedLineConfirmsOnlyTheOwnCabin) {
  for (const char* cabin : {"5", "0"}) {
    SCOPED_TRACE(cabin);
    DeviceDialogue device{onSharedLine()};
    SimulatedSender sender(device);
    EXPECT_EQ(sender.answerCall(), Signal::MultiDevicePrompt);
    EXPECT_EQ(sender.exchange(cabin), std::nullopt);
    // Another device was addressed: this one stays out of the call.
    EXPECT_EQ(sender.exchange("3"), std::nullopt);
    EXPECT_TRUE(device.ended());
  }
  FaultPlan secondDevice;
  secondDevice.secondDevice = true;
  for (const char* cabin : {"3", "5"}) {
    SCOPED_TRACE(cabin);
    DeviceDialogue device{onSharedLine(), {}, secondDevice};
    SimulatedSender sender(device, kFastSender);
    sender.answerCall();
    EXPECT_EQ(sender.exchange(cabin), Signal::SingleConfirmation);
    for (const char* step : {"5831", "#*01"})
      EXPECT_EQ(sender.exchange(step), Signal::SingleConfirmation);
    EXPECT_EQ(sender.exchange("2"), Signal::DoubleConfirmation);
    // Only the own cabin programs this device; cabin 5 was the other one.
    EXPECT_EQ(device.state().dialMode, cabin == std::string("3") ? "2" : "1");
    EXPECT_EQ(sender.stateChanged(), cabin == std::string("3"));
  }
}

}  // namespace
}  // namespace qav::sim

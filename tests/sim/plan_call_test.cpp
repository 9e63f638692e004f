#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>


#include <nlohmann/json.hpp>

#include "settings/action_catalogue.h"
#include "plan/plan_builder.h"
#include "qav-sim/device_state_file.h"
#include "simulated_sender.h"
#include "temporary_directory.h"

namespace qav::sim {
namespace {

// The programming side's own plans, sent as it sends them.

const auto kPlanTime = std::chrono::system_clock::from_time_t(1796636475);  // 7 Dec 2026

TEST(PlanCall, DefaultJobAfterAWrongPin) {
  const CommandPlan plan = buildCommandPlan(DeviceSettings{}, kPlanTime);
  DeviceDialogue device{DeviceState{}};
  SimulatedSender sender(device);
  const DeviceTime answered = sender.now();
  ASSERT_EQ(sender.answerCall(), Signal::SingleConfirmation);
  EXPECT_EQ(sender.heard().back().at - answered, 500ms);

  EXPECT_EQ(sender.exchange("1234"), Signal::ParameterError);
  EXPECT_EQ(sender.exchange("583"), Signal::ParameterError);  // cut short, ended by the pause
  const DeviceTime pinSent = sender.now();
  ASSERT_EQ(sender.exchange("5831"), Signal::SingleConfirmation);
  // Four tones of 500 ms, three gaps of 110 ms, the answer 200 ms later.
  EXPECT_EQ(sender.heard().back().at - pinSent, 4 * 500ms + 3 * 110ms + 200ms);

  EXPECT_EQ(runPlan(sender, plan), std::vector<std::string>{});
  EXPECT_EQ(sender.exchange("0"), Signal::AlternatingDisconnect);
  EXPECT_TRUE(sender.heard().back().answer.hangUpAfter);

  DeviceState expected;
  expected.clockTime = plan[0].segments[1].digits;
  expected.clockDate = plan[0].segments[2].digits;
  expected.routineTime = plan[1].segments[1].digits;
  expected.routineFrequency = "4";
  EXPECT_EQ(device.state(), expected);
  EXPECT_TRUE(sender.stateChanged());
}

DeviceSettings allActions() {
  DeviceSettings s;
  s.actions = knownActionNames();
  s.routineAt = "07:30";
  s.routineDays = 12;
  s.serviceNumber = "0301234567*#";
  s.emergencyNumbers = {"112", "", "08001234", "*31#"};
  s.newPin = "2468";
  s.dialMode = "2";
  s.dialAttempts = "0";
  s.callDuration = "5";
  s.inputMode = "2";
  s.callProtection = "on";
  s.routineFault = "1";
  s.z208Id = "42";
  s.outputMode = "4";
  s.alarmLatency = "7";
  s.alarmHorn = "2";
  s.lineImpedance = "0";
  s.busAddress = "3";
  s.emergencyTrigger1 = "132";
  s.emergencyTrigger2 = "213";
  s.emergencyTrigger3 = "321";
  return s;
}

TEST(PlanCall, AllActionsInOneCallWithDefaultAndFastDigits) {
  const CommandPlan plan = buildCommandPlan(allActions(), kPlanTime);
  ASSERT_EQ(plan.at(3).name, "clock");
  const nlohmann::json expected = {
      {"clock-time", plan[3].segments[1].digits}, {"clock-date", plan[3].segments[2].digits},
      {"routine-time", "0730"}, {"routine-frequency", "4"}, {"routine-days", "12"},
      {"service-number", "0301234567*#"}, {"routine-target", "5"},
      {"emergency-numbers", {"112", "", "08001234", "*31#"}},
      {"emergency-targets", {"5", "5", "5", "5"}},
      {"emergency-triggers",
       {{{"trigger", "1"}, {"loudspeaker", "3"}, {"microphone", "2"}},
        {{"trigger", "2"}, {"loudspeaker", "1"}, {"microphone", "3"}},
        {{"trigger", "3"}, {"loudspeaker", "2"}, {"microphone", "1"}}}},
      {"dial-mode", "2"}, {"dial-attempts", "0"}, {"call-duration", "5"}, {"input-mode", "2"},
      {"call-protection", "1"}, {"routine-fault", "1"}, {"z208", "00000042"},
      {"output-mode", "4"}, {"alarm-latency", "7"}, {"alarm-horn", "2"},
      {"line-impedance", "0"}, {"bus-address", "3"}, {"pin", "2468"}, {"calibrated", true}};

  const qav::testing::TemporaryDirectory scratch;
  const std::string file = scratch.path("all-actions.json");
  for (const SenderTiming timing : {SenderTiming{}, kFastSender}) {
    SCOPED_TRACE(timing.tone.count());
    DeviceDialogue device{DeviceState{}};
    SimulatedSender sender(device, timing);
    sender.answerCall();
    ASSERT_EQ(sender.exchange("5831"), Signal::SingleConfirmation);
    EXPECT_EQ(runPlan(sender, plan), std::vector<std::string>{});

    saveDeviceState(file, device.state());
    const nlohmann::json actual = nlohmann::json::parse(std::ifstream(file));
    EXPECT_EQ(actual.size(), expected.size());
    for (const auto& [key, value] : expected.items()) EXPECT_EQ(actual.at(key), value) << key;
  }
}

}  // namespace
}  // namespace qav::sim

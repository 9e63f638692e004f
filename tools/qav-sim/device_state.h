// What the simulated QAV keeps across calls: every value the "#*" commands
// set, stored as the digit text the device received.
#pragma once

#include <array>
#include <string>

namespace qav::sim {

// One emergency trigger's assignment, the three digits of a "#*05" entry.
struct TriggerAssignment {
  std::string trigger;
  std::string loudspeaker;
  std::string microphone;

  bool operator==(const TriggerAssignment&) const = default;
};

// Default-constructed, it is the device as it leaves the factory. Values
// that only a command can give (the clock, the numbers) start empty.
struct DeviceState {
  std::string clockTime;  // HHMM
  std::string clockDate;  // DDMMYYYY
  std::string routineTime;
  std::string routineFrequency;
  std::string routineDays = "03";
  std::string serviceNumber;
  std::string routineTarget;
  std::array<std::string, 4> emergencyNumbers;
  std::array<std::string, 4> emergencyTargets;
  std::array<TriggerAssignment, 3> triggers{{{"1", "1", "1"}, {"2", "2", "2"}, {"3", "3", "3"}}};

  std::string dialMode = "1";
  std::string dialAttempts = "12";
  std::string callDuration = "6";
  std::string inputMode = "1";
  std::string callProtection = "0";
  std::string routineFault = "0";
  std::string z208Id;
  std::string outputMode = "0";
  std::string alarmLatency = "3";
  std::string alarmHorn = "0";
  std::string lineImpedance = "1";
  std::string busAddress = "0";

  std::string pin = "5831";
  bool calibrated = false;

  bool operator==(const DeviceState&) const = default;
};

}  // namespace qav::sim

#include "qav-sim/device_commands.h"

#include <algorithm>
#include <utility>

namespace qav::sim {

namespace {

using Entries = std::vector<std::string>;

// The twelve parameters that one entry sets.
DeviceCommand single(std::string code, EntryFormat format, std::string DeviceState::*member) {
  return {std::move(code),
          {std::move(format)},
          [member](DeviceState& state, const Entries& entries) {
            state.*member = entries[0];
            return true;
          }};
}

bool setClock(DeviceState& state, const Entries& entries) {
  state.clockTime = entries[0];
  state.clockDate = entries[1];
  return true;
}

bool setRoutine(DeviceState& state, const Entries& entries) {
  state.routineTime = entries[0];
  state.routineFrequency = entries[1];
  state.routineDays = entries[2];
  return true;
}

bool setService(DeviceState& state, const Entries& entries) {
  state.serviceNumber = entries[0];
  state.routineTarget = entries[1];
  return true;
}

bool setEmergencyNumbers(DeviceState& state, const Entries& entries) {
  std::copy(entries.begin(), entries.end(), state.emergencyNumbers.begin());
  return true;
}

bool setEmergencyTargets(DeviceState& state, const Entries& entries) {
  std::copy(entries.begin(), entries.end(), state.emergencyTargets.begin());
  return true;
}

// The first digit names the trigger whose assignment the entry replaces.
bool assignTrigger(DeviceState& state, const Entries& entries) {
  const std::string& value = entries[0];
  state.triggers[static_cast<std::size_t>(value[0] - '1')] = {value.substr(0, 1),
                                                              value.substr(1, 1),
                                                              value.substr(2, 1)};
  return true;
}

bool changePin(DeviceState& state, const Entries& entries) {
  if (entries[0] != entries[1]) return false;
  state.pin = entries[0];
  return true;
}

// Only the free day interval (4) is known, with its days as the next entry;
// the other frequencies would take other entries, so the device refuses
// them rather than guess. Z208 (5) is the only known target.
std::vector<DeviceCommand> makeCommands() {
  const EntryFormat target = digitEntry('5', '5');
  return {
      {"20", {clockTimeEntry(), calendarDateEntry()}, setClock},
      {"21", {clockTimeEntry(), digitEntry('4', '4'), intervalDaysEntry()}, setRoutine},
      {"22", {dialNumberEntry(1), target}, setService},
      {"00", std::vector<EntryFormat>(4, dialNumberEntry(0)), setEmergencyNumbers},
      {"72", std::vector<EntryFormat>(4, target), setEmergencyTargets},
      {"05", {triggerEntry()}, assignTrigger},
      {"88", {pinEntry(), pinEntry()}, changePin},
      {"99", {}, nullptr, true},
      single("01", digitEntry('0', '2'), &DeviceState::dialMode),
      single("02", dialAttemptsEntry(), &DeviceState::dialAttempts),
      single("03", digitEntry('0', '9'), &DeviceState::callDuration),
      single("04", digitEntry('0', '2'), &DeviceState::inputMode),
      single("08", digitEntry('0', '1'), &DeviceState::callProtection),
      single("23", digitEntry('0', '1'), &DeviceState::routineFault),
      single("30", z208IdEntry(), &DeviceState::z208Id),
      single("31", digitEntry('0', '5'), &DeviceState::outputMode),
      single("91", digitEntry('1', '9'), &DeviceState::alarmLatency),
      single("58", digitEntry('0', '3'), &DeviceState::alarmHorn),
      single("98", digitEntry('0', '1'), &DeviceState::lineImpedance),
      single("70", digitEntry('0', '9'), &DeviceState::busAddress),
  };
}

}  // namespace

const DeviceCommand* findCommand(const std::string& code) {
  static const std::vector<DeviceCommand> commands = makeCommands();
  const auto found =
      std::find_if(commands.begin(), commands.end(),
                   [&code](const DeviceCommand& command) { return command.code == code; });
  return found == commands.end() ? nullptr : &*found;
}

}  // namespace qav::sim

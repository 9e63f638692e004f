#include "qav-sim/device_state_file.h"

#include <unistd.h>

#include <array>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>

#include <nlohmann/json.hpp>

namespace qav::sim {

namespace {

using nlohmann::json;

// The single text values, under the names the settings of the programming
// program use where it has one, so that a test can compare them key by key.
struct TextField {
  const char* key;
  std::string DeviceState::*member;
};

const std::array<TextField, 20> kTextFields{{
    {"clock-time", &DeviceState::clockTime},
    {"clock-date", &DeviceState::clockDate},
    {"routine-time", &DeviceState::routineTime},
    {"routine-frequency", &DeviceState::routineFrequency},
    {"routine-days", &DeviceState::routineDays},
    {"service-number", &DeviceState::serviceNumber},
    {"routine-target", &DeviceState::routineTarget},
    {"dial-mode", &DeviceState::dialMode},
    {"dial-attempts", &DeviceState::dialAttempts},
    {"call-duration", &DeviceState::callDuration},
    {"input-mode", &DeviceState::inputMode},
    {"call-protection", &DeviceState::callProtection},
    {"routine-fault", &DeviceState::routineFault},
    {"z208", &DeviceState::z208Id},
    {"output-mode", &DeviceState::outputMode},
    {"alarm-latency", &DeviceState::alarmLatency},
    {"alarm-horn", &DeviceState::alarmHorn},
    {"line-impedance", &DeviceState::lineImpedance},
    {"bus-address", &DeviceState::busAddress},
    {"pin", &DeviceState::pin},
}};

constexpr const char* kNumbersKey = "emergency-numbers";
constexpr const char* kTargetsKey = "emergency-targets";
constexpr const char* kTriggersKey = "emergency-triggers";
constexpr const char* kCalibratedKey = "calibrated";

json triggerJson(const TriggerAssignment& assignment) {
  return {{"trigger", assignment.trigger},
          {"loudspeaker", assignment.loudspeaker},
          {"microphone", assignment.microphone}};
}

TriggerAssignment triggerFromJson(const json& value) {
  return {value.at("trigger").get<std::string>(), value.at("loudspeaker").get<std::string>(),
          value.at("microphone").get<std::string>()};
}

json stateJson(const DeviceState& state) {
  json document = json::object();
  for (const TextField& field : kTextFields)
    document[field.key] = state.*field.member;
  document[kNumbersKey] = state.emergencyNumbers;
  document[kTargetsKey] = state.emergencyTargets;
  json triggers = json::array();
  for (const TriggerAssignment& assignment : state.triggers)
    triggers.push_back(triggerJson(assignment));
  document[kTriggersKey] = triggers;
  document[kCalibratedKey] = state.calibrated;
  return document;
}

template <std::size_t N>
void readList(const json& value, const char* key, std::array<std::string, N>& list) {
  if (!value.is_array() || value.size() != N)
    throw std::runtime_error(std::string(key) + " braucht genau " + std::to_string(N) +
                             " Einträge");
  for (std::size_t i = 0; i < N; ++i) list[i] = value[i].get<std::string>();
}

void readTriggers(const json& value, DeviceState& state) {
  if (!value.is_array() || value.size() != state.triggers.size())
    throw std::runtime_error(std::string(kTriggersKey) + " braucht genau drei Einträge");
  for (std::size_t i = 0; i < state.triggers.size(); ++i)
    state.triggers[i] = triggerFromJson(value[i]);
}

void readKey(const std::string& key, const json& value, DeviceState& state) {
  for (const TextField& field : kTextFields)
    if (key == field.key) {
      state.*field.member = value.get<std::string>();
      return;
    }
  if (key == kNumbersKey) return readList(value, kNumbersKey, state.emergencyNumbers);
  if (key == kTargetsKey) return readList(value, kTargetsKey, state.emergencyTargets);
  if (key == kTriggersKey) return readTriggers(value, state);
  if (key == kCalibratedKey) {
    state.calibrated = value.get<bool>();
    return;
  }
  throw std::runtime_error("unbekannter Schlüssel " + key);
}

DeviceState stateFromJson(const json& document) {
  if (!document.is_object()) throw std::runtime_error("kein JSON-Objekt");
  DeviceState state;
  for (const auto& [key, value] : document.items()) {
    try {
      readKey(key, value, state);
    } catch (const json::exception&) {
      // A value of the wrong type, or a trigger without one of its keys.
      throw std::runtime_error("ungültiger Wert für " + key);
    }
  }
  return state;
}

std::string readWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("nicht lesbar");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

DeviceState loadDeviceState(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    if (error)
      throw std::runtime_error("QAV-Zustandsdatei " + path.string() + ": " + error.message());
    return DeviceState{};
  }
  try {
    return stateFromJson(json::parse(readWholeFile(path)));
  } catch (const json::parse_error& failure) {
    throw std::runtime_error("QAV-Zustandsdatei " + path.string() + ": kein gültiges JSON (Byte " +
                             std::to_string(failure.byte) + ")");
  } catch (const std::exception& failure) {
    throw std::runtime_error("QAV-Zustandsdatei " + path.string() + ": " + failure.what());
  }
}

void saveDeviceState(const std::filesystem::path& path, const DeviceState& state) {
  // The process id keeps two simulators that share a directory from
  // writing into each other's temporary file.
  std::filesystem::path temporary = path;
  temporary += ".tmp-" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << stateJson(state).dump(2) << '\n';
    out.close();
    if (!out)
      throw std::runtime_error("QAV-Zustandsdatei " + temporary.string() +
                               " kann nicht geschrieben werden");
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    const std::string reason = error.message();
    std::filesystem::remove(temporary, error);
    throw std::runtime_error("QAV-Zustandsdatei " + path.string() +
                             " kann nicht ersetzt werden: " + reason);
  }
}

}  // namespace qav::sim

#include "plan/parameter_actions.h"

#include <array>
#include <stdexcept>
#include <string_view>

#include "plan/action_catalogue.h"
#include "plan/parameter_encodings.h"

namespace qav {

namespace {

struct ParameterActionSpec {
  const char* actionName;
  const char* openingCode;
  const char* title;
  const char* parameterName;
  std::string DeviceSettings::*setting;
};

const std::array<ParameterActionSpec, 12> kParameterActions{{
    {"dial-mode", "#*01", "Wahlverfahren", "Wahlverfahren", &DeviceSettings::dialMode},
    {"dial-attempts", "#*02", "Anwahlversuche", "maximale Anwahlversuche",
     &DeviceSettings::dialAttempts},
    {"call-duration", "#*03", "Sprechdauer", "maximale Sprechdauer",
     &DeviceSettings::callDuration},
    {"input-mode", "#*04", "Notruffilter und Eingang", "Eingangsmodus",
     &DeviceSettings::inputMode},
    {"call-protection", "#*08", "Anrufschutz", "Anrufschutz", &DeviceSettings::callProtection},
    {"routine-fault", "#*23", "Routineruf-Störungsanzeige", "Störungsanzeige",
     &DeviceSettings::routineFault},
    {"z208", "#*30", "Z208-ID", "Z208-ID", &DeviceSettings::z208Id},
    {"output-mode", "#*31", "Ausgang", "Ausgangsmodus", &DeviceSettings::outputMode},
    {"alarm-latency", "#*91", "Alarm-Latenz", "Mindestbetätigung",
     &DeviceSettings::alarmLatency},
    {"alarm-horn", "#*58", "Notrufhupe", "akustisches Signal", &DeviceSettings::alarmHorn},
    {"line-impedance", "#*98", "Leitungsimpedanz", "Leitungsimpedanz",
     &DeviceSettings::lineImpedance},
    {"bus-address", "#*70", "Einzel-/Mehrgerätebetrieb", "Betriebsart",
     &DeviceSettings::busAddress},
}};

const std::array<const char*, 6> kOutputModes{
    "aus",          "Bereit (NC)",      "Störung (NO)",
    "Störung (NC)", "Schachthupe (NO)", "Notruftastertest (NO)",
};

const std::array<const char*, 4> kAlarmHorns{
    "aus", "alternierender Ton", "Sirene", "Intervallton",
};

// The value names of output-mode and alarm-horn are indexed by the first
// digit; anything past the table is a value the QAV does not have.
template <std::size_t N>
std::string namedByFirstDigit(const std::array<const char*, N>& names, const std::string& digits,
                              const char* parameterName) {
  if (digits.empty() || digits[0] < '0' || static_cast<std::size_t>(digits[0] - '0') >= N)
    throw std::out_of_range(std::string("Unbekannter Wert für ") + parameterName + ": " + digits);
  return names[static_cast<std::size_t>(digits[0] - '0')];
}

std::string parameterDigits(const ParameterActionSpec& spec, const DeviceSettings& settings) {
  const std::string& value = settings.*spec.setting;
  const std::string_view name = spec.actionName;
  if (name == "call-protection") return callProtectionDigit(value);
  if (name == "z208") return padZ208Id(value);
  return value;
}

PlanAction parameterAction(const ParameterActionSpec& spec, const DeviceSettings& settings) {
  const std::string digits = parameterDigits(spec, settings);
  const std::string title = spec.title;
  PlanAction action{spec.actionName, title, {}};
  action.segments.push_back(
      {spec.openingCode, Signal::SingleConfirmation, "Einstellung " + title + " initialisieren"});
  action.segments.push_back({digits, Signal::DoubleConfirmation,
                             std::string("Parameter ") + spec.parameterName + " auf " +
                                 parameterValueText(spec.actionName, digits) + " setzen"});
  return action;
}

}  // namespace

void addParameterActions(const DeviceSettings& settings, CommandPlan& plan) {
  for (const ParameterActionSpec& spec : kParameterActions)
    if (isSelected(settings.actions, spec.actionName))
      plan.push_back(parameterAction(spec, settings));
}

std::string parameterValueText(const std::string& actionName, const std::string& digits) {
  const auto is = [&digits](const char* value) { return digits == value; };
  if (actionName == "dial-mode")
    return is("1") ? "Tonwahl" : is("0") ? "Impulswahl" : "Standleitung";
  // On the QAV, dial attempts 0 stands for no limit and call duration 0 for
  // 30 minutes; both are still sent as the digit 0.
  if (actionName == "dial-attempts") return is("0") ? "unbegrenzt" : digits;
  if (actionName == "call-duration") return is("0") ? "30 Minuten" : digits + " Minuten";
  if (actionName == "input-mode")
    return is("1") ? "Missbrauchsfilter" : is("0") ? "inaktiv" : "Notruftest für EAW";
  if (actionName == "call-protection" || actionName == "routine-fault")
    return is("0") ? "aus" : "ein";
  if (actionName == "z208") return digits;
  if (actionName == "output-mode") return namedByFirstDigit(kOutputModes, digits, "output-mode");
  if (actionName == "alarm-latency") return digits + " Sekunden";
  if (actionName == "alarm-horn") return namedByFirstDigit(kAlarmHorns, digits, "alarm-horn");
  if (actionName == "line-impedance")
    return is("0") ? "600 Ohm (kurze Leitung/GSM)" : "1000 Ohm (lange Leitung/Hauptanschluss)";
  if (actionName == "bus-address")
    return is("0") ? "Einzelgerät" : "Mehrgerätebetrieb, Bus-Adresse " + digits;
  throw std::invalid_argument("Keine Einzelparameter-Aktion: " + actionName);
}

}  // namespace qav

#include "plan/plan_builder.h"

#include <cstdint>
#include <ctime>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "settings/action_catalogue.h"
#include "plan/parameter_actions.h"
#include "plan/parameter_encodings.h"

namespace qav {

namespace {

// Line calibration measures the line before the QAV answers; every other
// step is answered within seconds.
constexpr std::int64_t kCalibrationTimeoutMs = 30000;

// The "#*" code of the catalogue opens every sequence.
PlanAction openAction(ActionKind kind, const std::string& openingLabel) {
  const CatalogueEntry& entry = catalogueEntry(kind);
  return {entry.name, entry.title, {{entry.openingCode, Signal::SingleConfirmation, openingLabel}}};
}

void addStep(PlanAction& action, std::string digits, std::string label) {
  action.segments.push_back({std::move(digits), Signal::SingleConfirmation, std::move(label)});
}

// The QAV closes a sequence with its double tone after the last entry.
void closeAction(PlanAction& action) {
  action.segments.back().expected = Signal::DoubleConfirmation;
}

std::string settingLabel(const std::string& parameter, const std::string& value) {
  return "Parameter " + parameter + " auf " + value + " setzen";
}

PlanAction clockAction(const std::tm& clockTime) {
  PlanAction action =
      openAction(ActionKind::Clock, "Einstellung Uhrzeit und Datum initialisieren");
  const std::string time = formatLocalTime(clockTime, "%H%M");
  const std::string date = formatLocalTime(clockTime, "%d%m%Y");
  addStep(action, time, settingLabel("Uhrzeit", clockTimeText(time)));
  addStep(action, date, settingLabel("Datum", calendarDateText(date)));
  closeAction(action);
  return action;
}

PlanAction routineAction(const DeviceSettings& settings, const std::string& routineTime) {
  PlanAction action = openAction(ActionKind::Routine, "Einstellung Routineruf initialisieren");
  const std::uint32_t days = settings.routineDays;
  addStep(action, routineTime, settingLabel("Routinezeit", clockTimeText(routineTime)));
  // Frequency 4 is the QAV's free day interval; the days follow as the next entry.
  addStep(action, "4", settingLabel("Frequenz", "„freies Tagesintervall“"));
  addStep(action, routineDaysDigits(days),
          "Parameter freies Intervall auf " + std::to_string(days) +
              (days == 1 ? " Tag setzen" : " Tage setzen"));
  closeAction(action);
  return action;
}

PlanAction serviceAction(const DeviceSettings& settings) {
  PlanAction action = openAction(ActionKind::Service, "Einstellung Serviceruf initialisieren");
  addStep(action, settings.serviceNumber,
          settingLabel("Servicerufnummer", settings.serviceNumber));
  // 5 selects the Z208 transmission as target.
  addStep(action, "5", "Parameter Routinerufziel auf Z208 setzen");
  closeAction(action);
  return action;
}

// All four numbers are programmed every time, in list order; an empty one is
// a step that sends no digits and still waits for the QAV's answer.
PlanAction emergencyNumbersAction(const DeviceSettings& settings) {
  const std::vector<std::string>& numbers = settings.emergencyNumbers;
  if (numbers.size() < 4)
    throw std::out_of_range("emergency-numbers braucht vier Einträge, nicht " +
                            std::to_string(numbers.size()));
  PlanAction action =
      openAction(ActionKind::EmergencyNumbers, "Einstellung Notrufnummern initialisieren");
  for (std::size_t i = 0; i < 4; ++i) {
    const std::string& number = numbers[i];
    addStep(action, number,
            settingLabel("Notrufnummer " + std::to_string(i + 1), number.empty() ? "leer" : number));
  }
  closeAction(action);
  return action;
}

PlanAction emergencyTargetsAction() {
  PlanAction action =
      openAction(ActionKind::EmergencyTargets, "Einstellung Notrufziele initialisieren");
  for (int k = 1; k <= 4; ++k)
    addStep(action, "5", "Parameter Notrufziel " + std::to_string(k) + " auf Z208 setzen");
  closeAction(action);
  return action;
}

PlanAction lineCalibrationAction() {
  PlanAction action =
      openAction(ActionKind::LineCalibration, "Automatischen Leitungsabgleich durchführen");
  action.segments.back().timeoutMs = kCalibrationTimeoutMs;
  closeAction(action);
  return action;
}

// The QAV asks for the new PIN twice; the current PIN was already given at
// log-in and is not part of the plan.
PlanAction securityPinAction(const DeviceSettings& settings) {
  PlanAction action = openAction(ActionKind::SecurityPin, "Änderung der QAV-PIN initialisieren");
  addStep(action, settings.newPin, "Neue QAV-PIN eingeben");
  addStep(action, settings.newPin, "Neue QAV-PIN bestätigen");
  closeAction(action);
  return action;
}

const std::string& triggerSetting(const DeviceSettings& settings, int triggerNumber) {
  if (triggerNumber == 1) return settings.emergencyTrigger1;
  if (triggerNumber == 2) return settings.emergencyTrigger2;
  return settings.emergencyTrigger3;
}

ActionKind triggerKind(int triggerNumber) {
  if (triggerNumber == 1) return ActionKind::EmergencyTrigger1;
  if (triggerNumber == 2) return ActionKind::EmergencyTrigger2;
  if (triggerNumber == 3) return ActionKind::EmergencyTrigger3;
  throw std::out_of_range("Notrufauslöser " + std::to_string(triggerNumber) + " gibt es nicht");
}

}  // namespace

void addTriggerAction(const DeviceSettings& /*settings*/, CommandPlan& plan, int triggerNumber,
                      const std::string& value) {
  const ActionKind kind = triggerKind(triggerNumber);
  if (value.size() < 3)
    throw std::out_of_range(actionName(kind) + " braucht drei Ziffern: " + value);
  PlanAction action = openAction(kind, "Zuordnung des Notrufauslösers initialisieren");
  // The trigger number in the label is the action's own, not the first digit.
  addStep(action, value,
          "Auslöser " + std::to_string(triggerNumber) + " Lautsprecher " + value.substr(1, 1) +
              " und Mikrofon " + value.substr(2, 1) + " zuordnen");
  closeAction(action);
  plan.push_back(std::move(action));
}

PlanAction actionAt(const DeviceSettings& settings, const PlanAction& action,
                    std::chrono::system_clock::time_point timePoint) {
  if (action.name == catalogueEntry(ActionKind::Clock).name)
    return clockAction(localCalendarTime(timePoint));
  if (action.name == catalogueEntry(ActionKind::Routine).name && settings.routineAt == "auto")
    return routineAction(settings, resolveRoutineTime(settings.routineAt, timePoint));
  return action;
}

CommandPlan buildCommandPlan(const DeviceSettings& settings,
                             std::chrono::system_clock::time_point timePoint) {
  // Time and date come from one broken-down time so that they never
  // disagree across midnight.
  const std::tm clockTime = localCalendarTime(timePoint);
  const std::string routineTime = resolveRoutineTime(settings.routineAt, timePoint);
  const auto selected = [&settings](ActionKind kind) {
    return isSelected(settings.actions, catalogueEntry(kind).name);
  };

  CommandPlan plan;
  for (int n = 1; n <= 3; ++n)
    if (selected(triggerKind(n))) addTriggerAction(settings, plan, n, triggerSetting(settings, n));
  if (selected(ActionKind::Clock)) plan.push_back(clockAction(clockTime));
  if (selected(ActionKind::Routine)) plan.push_back(routineAction(settings, routineTime));
  if (selected(ActionKind::Service)) plan.push_back(serviceAction(settings));
  if (selected(ActionKind::EmergencyNumbers)) plan.push_back(emergencyNumbersAction(settings));
  if (selected(ActionKind::EmergencyTargets)) plan.push_back(emergencyTargetsAction());
  addParameterActions(settings, plan);
  if (selected(ActionKind::LineCalibration)) plan.push_back(lineCalibrationAction());
  if (selected(ActionKind::SecurityPin)) plan.push_back(securityPinAction(settings));
  return plan;
}

}  // namespace qav

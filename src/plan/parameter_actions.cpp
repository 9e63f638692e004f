#include "plan/parameter_actions.h"

#include <stdexcept>

#include "plan/parameter_encodings.h"
#include "settings/action_catalogue.h"
#include "settings/setting_table.h"

namespace qav {

namespace {

// The digits sent are the setting's value, except for call protection (one
// digit for on/off) and the Z208 ID (padded to eight digits).
std::string parameterDigits(const std::string& actionName, const std::string& value) {
  if (actionName == "call-protection") return callProtectionDigit(value);
  if (actionName == "z208") return padZ208Id(value);
  return value;
}

bool isParameterAction(const SettingRow& row) { return !row.parameterName.empty(); }

const SettingRow& parameterRow(const std::string& actionName) {
  for (const SettingRow& row : settingTable())
    if (isParameterAction(row) && row.action == actionName) return row;
  throw std::invalid_argument("Keine Einzelparameter-Aktion: " + actionName);
}

// A listed value is named by its meaning; any other by the row's pattern,
// "{}" standing for the digits.
std::string valueText(const SettingRow& row, const std::string& digits) {
  for (const ValueMeaning& value : row.values)
    if (parameterDigits(row.action, value.value) == digits) return value.meaning;
  if (row.otherValues.empty())
    throw std::out_of_range("Unbekannter Wert für " + row.key + ": " + digits);
  std::string text = row.otherValues;
  const std::size_t slot = text.find("{}");
  if (slot != std::string::npos) text.replace(slot, 2, digits);
  return text;
}

PlanAction parameterAction(const SettingRow& row, const DeviceSettings& device) {
  Settings settings;
  settings.device = device;
  const std::string digits = parameterDigits(row.action, row.access.format(settings));
  const CatalogueEntry& entry = catalogueEntry(*actionKindFromName(row.action));
  const std::string title = entry.title;
  PlanAction action{row.action, title, {}};
  action.segments.push_back(
      {entry.openingCode, Signal::SingleConfirmation, "Einstellung " + title + " initialisieren"});
  action.segments.push_back({digits, Signal::DoubleConfirmation,
                             "Parameter " + row.parameterName + " auf " + valueText(row, digits) +
                                 " setzen"});
  return action;
}

}  // namespace

// The twelve rows come in plan order in the setting table.
void addParameterActions(const DeviceSettings& settings, CommandPlan& plan) {
  for (const SettingRow& row : settingTable())
    if (isParameterAction(row) && isSelected(settings.actions, row.action))
      plan.push_back(parameterAction(row, settings));
}

std::string parameterValueText(const std::string& actionName, const std::string& digits) {
  return valueText(parameterRow(actionName), digits);
}

}  // namespace qav

#include "settings/action_catalogue.h"

#include <algorithm>

namespace qav {

const std::vector<CatalogueEntry>& actionCatalogue() {
  static const std::vector<CatalogueEntry> catalogue{
      {ActionKind::Clock, "clock", "#*20", "Uhrzeit und Datum", 4},
      {ActionKind::Routine, "routine", "#*21", "Routineruf", 5},
      {ActionKind::Service, "service", "#*22", "Serviceruf", 6},
      {ActionKind::EmergencyNumbers, "emergency-numbers", "#*00", "Notrufnummern", 7},
      {ActionKind::EmergencyTargets, "emergency-targets", "#*72", "Notrufziele", 8},
      {ActionKind::EmergencyTrigger1, "emergency-trigger-1", "#*05", "Notrufauslöser 1", 1},
      {ActionKind::EmergencyTrigger2, "emergency-trigger-2", "#*05", "Notrufauslöser 2", 2},
      {ActionKind::EmergencyTrigger3, "emergency-trigger-3", "#*05", "Notrufauslöser 3", 3},
      {ActionKind::SecurityPin, "security-pin", "#*88", "QAV-PIN ändern", 22},
      {ActionKind::LineCalibration, "line-calibration", "#*99", "Automatischer Leitungsabgleich", 21},
      {ActionKind::DialMode, "dial-mode", "#*01", "Wahlverfahren", 9},
      {ActionKind::CallDuration, "call-duration", "#*03", "Sprechdauer", 11},
      {ActionKind::InputMode, "input-mode", "#*04", "Notruffilter und Eingang", 12},
      {ActionKind::CallProtection, "call-protection", "#*08", "Anrufschutz", 13},
      {ActionKind::AlarmLatency, "alarm-latency", "#*91", "Alarm-Latenz", 17},
      {ActionKind::LineImpedance, "line-impedance", "#*98", "Leitungsimpedanz", 19},
      {ActionKind::DialAttempts, "dial-attempts", "#*02", "Anwahlversuche", 10},
      {ActionKind::RoutineFault, "routine-fault", "#*23", "Routineruf-Störungsanzeige", 14},
      {ActionKind::Z208Id, "z208", "#*30", "Z208-ID", 15},
      {ActionKind::OutputMode, "output-mode", "#*31", "Ausgang", 16},
      {ActionKind::AlarmHorn, "alarm-horn", "#*58", "Notrufhupe", 18},
      {ActionKind::BusAddress, "bus-address", "#*70", "Einzel-/Mehrgerätebetrieb", 20},
  };
  return catalogue;
}

std::vector<std::string> knownActionNames() {
  std::vector<std::string> names;
  for (const CatalogueEntry& entry : actionCatalogue()) names.emplace_back(entry.name);
  return names;
}

const CatalogueEntry& catalogueEntry(ActionKind kind) {
  return actionCatalogue().at(static_cast<std::size_t>(kind));
}

std::string actionName(ActionKind kind) { return catalogueEntry(kind).name; }

std::optional<ActionKind> actionKindFromName(const std::string& name) {
  for (const CatalogueEntry& entry : actionCatalogue())
    if (name == entry.name) return entry.kind;
  return std::nullopt;
}

bool isSelected(const std::vector<std::string>& actions, std::string_view name) {
  return std::find(actions.begin(), actions.end(), name) != actions.end();
}

}  // namespace qav

// The 22 programmable QAV actions: name, "#*" opening code, German title and
// position in the command plan.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

// Declared in catalogue order.
enum class ActionKind {
  Clock,
  Routine,
  Service,
  EmergencyNumbers,
  EmergencyTargets,
  EmergencyTrigger1,
  EmergencyTrigger2,
  EmergencyTrigger3,
  SecurityPin,
  LineCalibration,
  DialMode,
  CallDuration,
  InputMode,
  CallProtection,
  AlarmLatency,
  LineImpedance,
  DialAttempts,
  RoutineFault,
  Z208Id,
  OutputMode,
  AlarmHorn,
  BusAddress,
};

struct CatalogueEntry {
  ActionKind kind;
  const char* name;
  const char* openingCode;
  const char* title;
  int planPosition;  // 1-based position in the plan order
};

// All 22 entries in catalogue order.
const std::vector<CatalogueEntry>& actionCatalogue();

const CatalogueEntry& catalogueEntry(ActionKind kind);

// The 22 names in catalogue order.
std::vector<std::string> knownActionNames();

std::string actionName(ActionKind kind);
std::optional<ActionKind> actionKindFromName(const std::string& name);

// Whether `name` occurs in the selected action list. Names match byte for
// byte: no case folding, no aliases; a name listed twice is still one action.
bool isSelected(const std::vector<std::string>& actions, std::string_view name);

}  // namespace qav

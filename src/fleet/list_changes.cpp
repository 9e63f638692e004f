#include "fleet/list_changes.h"

#include <map>
#include <utility>

#include "fleet/call_values.h"

namespace qav::fleet {

namespace {

using LiftKey = std::pair<std::string, std::uint32_t>;

std::string described(std::size_t line, const std::string& name) {
  return "Zeile " + std::to_string(line) + " (" + name + ")";
}

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

}  // namespace

std::vector<std::string> listChanges(const SettingMap& base, const std::vector<StoredLift>& stored,
                                     const std::vector<FleetLift>& lifts) {
  std::map<LiftKey, const StoredLift*> before;
  for (const StoredLift& lift : stored) before[{lift.target, lift.cabin}] = &lift;
  std::map<LiftKey, const FleetLift*> now;
  for (const FleetLift& lift : lifts) now[{lift.settings.device.target, lift.settings.device.cabin}] = &lift;

  std::vector<std::string> changes;
  std::vector<LiftKey> keptBefore;
  for (const StoredLift& lift : stored) {
    if (now.contains({lift.target, lift.cabin})) {
      keptBefore.push_back({lift.target, lift.cabin});
    } else {
      changes.push_back(lift.name() + " (bisher Zeile " + std::to_string(lift.line) + ") fehlt.");
    }
  }
  std::vector<LiftKey> keptNow;
  for (const FleetLift& lift : lifts) {
    const LiftKey key{lift.settings.device.target, lift.settings.device.cabin};
    const auto found = before.find(key);
    if (found == before.end()) {
      changes.push_back(described(lift.line, lift.name()) + " ist neu.");
      continue;
    }
    keptNow.push_back(key);
    const SettingMap difference = differenceFrom(base, callValues(lift.settings));
    if (difference == found->second->valueDifference) continue;
    const std::vector<std::string> differences =
        callValueChanges(withDifference(base, found->second->valueDifference), withDifference(base, difference));
    if (!differences.empty()) changes.push_back(described(lift.line, lift.name()) + ": " + joined(differences) + ".");
  }
  for (std::size_t i = 0; i < keptNow.size() && i < keptBefore.size(); ++i) {
    if (keptNow[i] == keptBefore[i]) continue;
    const FleetLift& moved = *now.at(keptNow[i]);
    changes.push_back("Reihenfolge geändert: " + described(moved.line, moved.name()) + " stand bisher in Zeile " +
                      std::to_string(before.at(keptNow[i])->line) + ".");
    break;
  }
  return changes;
}

}  // namespace qav::fleet

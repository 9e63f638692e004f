// Whether a list still asks for the calls a run was begun with: what a
// resumed run must refuse, in words a technician can act on.
#pragma once

#include <string>
#include <vector>

#include "fleet/fleet_lift.h"
#include "fleet/journal_records.h"

namespace qav::fleet {

// One German sentence per change that matters: a lift added, removed or
// moved, or a value of its call changed. A lift is known by its target and
// cabin; its id, remark and line may change freely. Empty: none.
// `base`: the stored run's base values.
std::vector<std::string> listChanges(const SettingMap& base, const std::vector<StoredLift>& stored,
                                     const std::vector<FleetLift>& lifts);

}  // namespace qav::fleet

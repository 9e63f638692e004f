// The dry run of a fleet: every lift's command plan, listed as qav-cli's own
// dry run lists it, each headed by the line of the list it came from.
#pragma once

#include <chrono>
#include <vector>

#include "fleet/csv_table.h"
#include "fleet/fleet_lift.h"
#include "report/reporter.h"

namespace qav::fleet {

// Returns the lifts whose plan could not be built; their listing is left out.
std::vector<LineFinding> listFleetPlans(const std::vector<FleetLift>& lifts,
                                        std::chrono::system_clock::time_point timePoint,
                                        Reporter& reporter);

}  // namespace qav::fleet

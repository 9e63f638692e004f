#include "fleet/plan_listing.h"

#include <exception>
#include <string>

#include "report/plan_listing.h"

namespace qav::fleet {

std::vector<LineFinding> listFleetPlans(const std::vector<FleetLift>& lifts,
                                        std::chrono::system_clock::time_point timePoint,
                                        Reporter& reporter) {
  std::vector<LineFinding> findings;
  for (const FleetLift& lift : lifts) {
    reporter.info("lift", "Zeile " + std::to_string(lift.line) + ": " + lift.name());
    try {
      listPlan(lift.settings.device, timePoint, reporter);
    } catch (const std::exception& error) {
      findings.push_back({lift.line, error.what()});
    }
  }
  return findings;
}

}  // namespace qav::fleet

#include "report/plan_listing.h"

#include "plan/plan_builder.h"
#include "tone/signal.h"

namespace qav {

void listPlan(const DeviceSettings& device, std::chrono::system_clock::time_point timePoint,
              Reporter& reporter) {
  // Built before the first line is written: a plan that cannot be built ends
  // the run with its error line alone, not after a listing that stops halfway.
  const CommandPlan plan = buildCommandPlan(device, timePoint);
  reporter.info("plan", "Befehlssatz: #* (Z208)");
  reporter.info("plan", "Ziel: " + device.target);
  for (const PlanAction& action : plan) {
    reporter.info("action", action.title + " [" + action.name + "]");
    for (const PlanSegment& segment : action.segments)
      reporter.info("segment", "  " + segment.label + ": " + segment.digits + " \u2192 " +
                                   signalName(segment.expected));
  }
}

}  // namespace qav

// The shape of the command plan as a dry run lists it: the actions in plan
// order with the number of segments of each, and the total.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "menu/cli_event.h"

namespace qav::menu {

struct OutlineAction {
  std::string name;
  std::size_t segments = 0;

  bool operator==(const OutlineAction&) const = default;
};

struct PlanOutline {
  std::vector<OutlineAction> actions;

  std::size_t totalSegments() const;
  // Nothing for an action the dry run did not list.
  std::optional<std::size_t> segmentsOf(const std::string& name) const;
};

// Collects the outline from the "action" lines ("Title [name]") and the
// "segment" lines after each; every other event is passed over.
class OutlineCollector {
 public:
  void observe(const CliEvent& event);
  const PlanOutline& outline() const { return collected; }

 private:
  PlanOutline collected;
};

}  // namespace qav::menu

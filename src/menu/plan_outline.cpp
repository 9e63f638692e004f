#include "menu/plan_outline.h"

namespace qav::menu {

namespace {

// The listing line ends in " [name]"; titles may hold brackets of their own,
// so the name is taken from the last opening bracket on.
std::string nameInListing(const std::string& message) {
  const std::size_t open = message.rfind('[');
  if (open == std::string::npos || message.empty() || message.back() != ']') return {};
  return message.substr(open + 1, message.size() - open - 2);
}

}  // namespace

std::size_t PlanOutline::totalSegments() const {
  std::size_t total = 0;
  for (const OutlineAction& action : actions) total += action.segments;
  return total;
}

std::optional<std::size_t> PlanOutline::segmentsOf(const std::string& name) const {
  for (const OutlineAction& action : actions)
    if (action.name == name) return action.segments;
  return std::nullopt;
}

void OutlineCollector::observe(const CliEvent& event) {
  if (event.level != "info") return;
  if (event.event == "action")
    collected.actions.push_back({nameInListing(event.message), 0});
  else if (event.event == "segment" && !collected.actions.empty())
    ++collected.actions.back().segments;
}

}  // namespace qav::menu

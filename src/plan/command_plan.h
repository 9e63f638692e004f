// The command plan: what will be sent to the QAV, step by step, and which
// answer each step must get. Plain value data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tone/signal.h"

namespace qav {

struct PlanSegment {
  std::string digits;  // may be empty: nothing is sent, the answer still awaited
  Signal expected = Signal::SingleConfirmation;
  std::string label;
  std::int64_t timeoutMs = 10000;

  bool operator==(const PlanSegment&) const = default;
};

struct PlanAction {
  std::string name;
  std::string title;
  std::vector<PlanSegment> segments;

  bool operator==(const PlanAction&) const = default;
};

using CommandPlan = std::vector<PlanAction>;

}  // namespace qav

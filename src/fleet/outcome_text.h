// The names of a lift's outcome: a fixed code for the journal and for
// supervising programs, and the German word for the technician.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "fleet/lift_outcome.h"

namespace qav::fleet {

// "done", "retry-later", "give-up", "interrupted"; never changes, the
// journal stores it.
std::string outcomeCode(LiftOutcome outcome);
std::optional<LiftOutcome> outcomeFromCode(std::string_view code);

// "erledigt", "später erneut", "aufgegeben", "unterbrochen".
std::string outcomeWord(LiftOutcome outcome);

}  // namespace qav::fleet

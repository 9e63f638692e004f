// Which answer signal a finished tone group stands for: the QAV's five
// answers told apart by the kinds and number of bursts in the group.
#pragma once

#include <optional>
#include <vector>

#include "tone/signal.h"
#include "tone/tone_burst.h"

namespace qav {

// Empty when the group matches none of the answers. Where it matches several,
// the disconnect wins over the prompt, the prompt over the error tone, and the
// error tone over the confirmations.
std::optional<Signal> classifyGroup(const std::vector<ToneBurst>& group);

}  // namespace qav

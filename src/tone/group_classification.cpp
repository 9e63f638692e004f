#include "tone/group_classification.h"

#include <cstddef>

namespace qav {

std::optional<Signal> classifyGroup(const std::vector<ToneBurst>& group) {
  std::size_t high = 0;
  std::size_t middle = 0;
  std::size_t fullTrio = 0;
  for (const ToneBurst& burst : group) {
    if (burst.kind == BurstKind::HighTone) ++high;
    if (burst.kind == BurstKind::MiddleTone) ++middle;
    if (burst.kind == BurstKind::TrioTone && burst.trioMask == kFullTrioMask) ++fullTrio;
  }
  if (middle >= 2) return Signal::AlternatingDisconnect;
  if (fullTrio >= 2) return Signal::MultiDevicePrompt;
  if (high >= 3) return Signal::ParameterError;
  if (high == 1) return Signal::SingleConfirmation;
  if (high == 2) return Signal::DoubleConfirmation;
  return std::nullopt;
}

}  // namespace qav

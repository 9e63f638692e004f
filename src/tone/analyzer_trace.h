// What the analyzer measured and decided, block by block and group by group,
// for the analysis tool; the media clock's analyzer runs without a trace.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tone/block_classification.h"
#include "tone/signal.h"
#include "tone/tone_burst.h"

namespace qav {

struct BlockTrace {
  std::uint64_t index = 0;    // blocks analysed since construction
  std::uint64_t startMs = 0;  // analysed time before this block
  std::uint32_t durationMs = 0;
  BandLevels levels;
  BlockClass block;
};

struct GroupTrace {
  std::uint64_t endMs = 0;  // analysed time when the group was finished
  std::vector<ToneBurst> bursts;
  std::optional<Signal> signal;
  // Why a group with bursts gave no signal; empty when it gave one.
  std::string reason;
};

// Called inside process, under the analyzer lock, after the block's own
// decision; either member may be empty.
struct AnalyzerTrace {
  std::function<void(const BlockTrace&)> block;
  std::function<void(const GroupTrace&)> group;
};

}  // namespace qav

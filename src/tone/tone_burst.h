// The kinds of tone the QAV answers with, and one finished burst of such a
// tone as the analyzer collects it into a tone group.
#pragma once

#include <cstdint>

namespace qav {

// HighTone: 1939 to 2279 Hz; MiddleTone: 602 to 836 Hz; TrioTone: any of the
// three neighbouring tones around 925, 1054 and 1183 Hz, alone or together.
enum class BurstKind : std::uint32_t { None = 0, HighTone = 1, MiddleTone = 2, TrioTone = 3 };

// trioMask bits 0, 1, 2: the 925, 1054 and 1183 Hz trio tone was heard in
// some block of the burst.
constexpr std::uint32_t kFullTrioMask = 7;

struct ToneBurst {
  BurstKind kind = BurstKind::None;
  std::uint32_t durationMs = 0;
  std::uint32_t trioMask = 0;
  std::uint64_t startMs = 0;  // analysed time when its first tone block began
};

}  // namespace qav

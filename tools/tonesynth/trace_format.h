// How the analyzer's measurements and decisions are written in the analysis
// tool's listings: German words for people, stable keys for programs. All
// band levels are written here and nowhere else.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "tone/block_classification.h"
#include "tone/signal.h"
#include "tone/tone_burst.h"

namespace qav {

// dBFS as the tone renderer counts them: 0 dBFS is the RMS of a full-scale
// sine. rms and peak are in full scale 1.0; no sound gives kSilenceDbfs.
constexpr double kSilenceDbfs = -120.0;
double rmsDbfs(double rms);
double peakDbfs(double peak);

// "1,230 s"
std::string secondsText(std::uint64_t ms);
// One decimal, with a decimal comma.
std::string decibelText(double dbfs);

// "Hochton", "Mittelton", "Trioton"; "-" for no tone.
std::string burstKindName(BurstKind kind);
// "high", "middle", "trio", "none".
std::string burstKindKey(BurstKind kind);
// "925+1183 Hz"; empty for no trio tone.
std::string trioText(std::uint32_t trioMask);

// "single-confirmation", "double-confirmation", "multi-device-prompt",
// "alternating-disconnect", "parameter-error": the names qav-sim's options
// use, and those of the expected signals beside a test recording.
std::string signalKey(Signal signal);

std::string levelsText(const BandLevels& levels);
nlohmann::json levelsJson(const BandLevels& levels);
std::string blockClassText(const BlockClass& block);
nlohmann::json blockClassJson(const BlockClass& block);

}  // namespace qav

#include "tonesynth/trace_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tonesynth/answer_patterns.h"

namespace qav {

namespace {

std::string decimal(double value, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  std::string result = text;
  std::replace(result.begin(), result.end(), '.', ',');
  return result;
}

double rounded(double value, double step) { return std::round(value / step) * step; }

}  // namespace

double rmsDbfs(double rms) {
  if (rms <= 0.0) return kSilenceDbfs;
  return std::max(kSilenceDbfs, 20.0 * std::log10(rms * std::sqrt(2.0)));
}

double peakDbfs(double peak) {
  if (peak <= 0.0) return kSilenceDbfs;
  return std::max(kSilenceDbfs, 20.0 * std::log10(peak));
}

std::string secondsText(std::uint64_t ms) {
  char text[48];
  std::snprintf(text, sizeof text, "%llu,%03llu s", static_cast<unsigned long long>(ms / 1000),
                static_cast<unsigned long long>(ms % 1000));
  return text;
}

std::string decibelText(double dbfs) { return decimal(dbfs, 1); }

std::string burstKindName(BurstKind kind) {
  switch (kind) {
    case BurstKind::HighTone: return "Hochton";
    case BurstKind::MiddleTone: return "Mittelton";
    case BurstKind::TrioTone: return "Trioton";
    case BurstKind::None: break;
  }
  return "-";
}

std::string burstKindKey(BurstKind kind) {
  switch (kind) {
    case BurstKind::HighTone: return "high";
    case BurstKind::MiddleTone: return "middle";
    case BurstKind::TrioTone: return "trio";
    case BurstKind::None: break;
  }
  return "none";
}

std::string trioText(std::uint32_t trioMask) {
  std::string text;
  for (int i = 0; i < 3; ++i) {
    if ((trioMask & (1u << i)) == 0) continue;
    if (!text.empty()) text += '+';
    text += std::to_string(static_cast<int>(kTrioToneHz[i]));
  }
  return text.empty() ? text : text + " Hz";
}

std::string signalKey(Signal signal) {
  switch (signal) {
    case Signal::SingleConfirmation: return "single-confirmation";
    case Signal::DoubleConfirmation: return "double-confirmation";
    case Signal::MultiDevicePrompt: return "multi-device-prompt";
    case Signal::AlternatingDisconnect: return "alternating-disconnect";
    case Signal::ParameterError: return "parameter-error";
  }
  return "unknown";
}

std::string levelsText(const BandLevels& levels) {
  return "tief " + decimal(levels.low, 2) + "  hoch " + decimal(levels.high, 2) + "  mittel " +
         decimal(levels.middle, 2) + "  trio " + decimal(levels.trio[0], 2) + " " +
         decimal(levels.trio[1], 2) + " " + decimal(levels.trio[2], 2);
}

nlohmann::json levelsJson(const BandLevels& levels) {
  return {{"rmsDbfs", rounded(rmsDbfs(levels.rms), 0.1)},
          {"low", rounded(levels.low, 0.001)},
          {"high", rounded(levels.high, 0.001)},
          {"middle", rounded(levels.middle, 0.001)},
          {"trio",
           {rounded(levels.trio[0], 0.001), rounded(levels.trio[1], 0.001), rounded(levels.trio[2], 0.001)}}};
}

std::string blockClassText(const BlockClass& block) {
  const std::string trio = trioText(block.trioMask);
  return burstKindName(block.kind) + (trio.empty() ? "" : " (Trio " + trio + ")");
}

nlohmann::json blockClassJson(const BlockClass& block) {
  return {{"kind", burstKindKey(block.kind)}, {"trioMask", block.trioMask}};
}

}  // namespace qav

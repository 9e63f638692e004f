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

// A tone's share of the block and its pitch, as far as two bins tell it.
std::string shareText(const ToneShare& tone) {
  if (tone.bin < 0) return "-";
  return decimal(tone.share, 2) + "@" + decimal(tone.hz, 0);
}

nlohmann::json shareJson(const ToneShare& tone) {
  return {{"share", rounded(tone.share, 0.001)},
          {"hz", rounded(tone.hz, 0.1)},
          {"dbfs", rounded(rmsDbfs(std::sqrt(tone.power)), 0.1)}};
}

std::string levelsText(const BandLevels& levels) {
  return "hoch " + shareText(levels.high) + " (" + decimal(rmsDbfs(std::sqrt(levels.high.power)), 1) +
         " dBFS)  mittel " + shareText(levels.middle) + "  trio " + decimal(levels.trio[0].share, 2) + " " +
         decimal(levels.trio[1].share, 2) + " " + decimal(levels.trio[2].share, 2);
}

nlohmann::json levelsJson(const BandLevels& levels) {
  return {{"rmsDbfs", rounded(rmsDbfs(levels.rms), 0.1)},
          {"high", shareJson(levels.high)},
          {"middle", shareJson(levels.middle)},
          {"trio", {shareJson(levels.trio[0]), shareJson(levels.trio[1]), shareJson(levels.trio[2])}}};
}

std::string blockClassText(const BlockClass& block) {
  const std::string trio = trioText(block.trioMask);
  return burstKindName(block.kind) + (trio.empty() ? "" : " (Trio " + trio + ")");
}

nlohmann::json blockClassJson(const BlockClass& block) {
  return {{"kind", burstKindKey(block.kind)}, {"trioMask", block.trioMask}};
}

}  // namespace qav

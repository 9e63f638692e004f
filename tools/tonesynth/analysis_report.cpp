#include "tonesynth/analysis_report.h"

#include <cmath>
#include <iomanip>
#include <nlohmann/json.hpp>

#include "tonesynth/trace_format.h"

namespace qav {

namespace {

// A path or reason need not be valid UTF-8; the line must stay valid JSON.
void writeLine(std::ostream& out, const nlohmann::json& line) {
  out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

nlohmann::json groupJson(const GroupTrace& group) {
  nlohmann::json bursts = nlohmann::json::array();
  for (const ToneBurst& burst : group.bursts) {
    bursts.push_back({{"startMs", burst.startMs},
                      {"durationMs", burst.durationMs},
                      {"kind", burstKindKey(burst.kind)},
                      {"trioMask", burst.trioMask}});
  }
  nlohmann::json line = {{"event", "group"}, {"endMs", group.endMs}, {"bursts", bursts}};
  if (group.signal) {
    line["signal"] = signalKey(*group.signal);
    line["signalName"] = signalName(*group.signal);
  } else {
    line["signal"] = nullptr;
    line["reason"] = group.reason;
  }
  return line;
}

}  // namespace

AnalysisReport::AnalysisReport(std::ostream& out, bool json) : out(out), json(json) {}

void AnalysisReport::file(const std::string& path, const WavFormat& format, const std::string& channelName) {
  if (json) {
    writeLine(out, {{"event", "file"},
                    {"path", path},
                    {"sampleRate", kRecordingSampleRate},
                    {"channels", format.channels},
                    {"channel", channelName},
                    {"encoding", format.encoding}});
    return;
  }
  out << "Datei: " << path << " (" << (format.channels == 2 ? "Stereo" : "Mono") << ", " << format.encoding
      << ", 8000 Hz), Kanal " << channelName << "\n";
}

void AnalysisReport::block(const BlockTrace& block) {
  if (json) {
    writeLine(out, {{"event", "block"},
                    {"index", block.index},
                    {"startMs", block.startMs},
                    {"durationMs", block.durationMs},
                    {"levels", levelsJson(block.levels)},
                    {"class", blockClassJson(block.block)}});
    return;
  }
  if (!blocksBegun) out << "\nBlöcke (Zeit, RMS in dBFS, Bandpegel, Tonart):\n";
  blocksBegun = true;
  out << std::setw(11) << secondsText(block.startMs) << std::setw(8) << decibelText(rmsDbfs(block.levels.rms))
      << "  " << levelsText(block.levels) << "  " << blockClassText(block.block) << "\n";
}

void AnalysisReport::summary(const RecordingAnalysis& analysis) {
  if (json) {
    for (const GroupTrace& group : analysis.groups) writeLine(out, groupJson(group));
    nlohmann::json signals = nlohmann::json::array();
    for (const GroupTrace& group : analysis.groups)
      if (group.signal) signals.push_back(signalKey(*group.signal));
    writeLine(out, {{"event", "summary"},
                    {"durationMs", analysis.durationMs},
                    {"samples", analysis.samples},
                    {"peakDbfs", std::round(peakDbfs(analysis.peak) * 10) / 10},
                    {"rmsDbfs", std::round(rmsDbfs(analysis.rms) * 10) / 10},
                    {"signals", signals}});
    return;
  }
  out << "\nTongruppen:\n";
  if (analysis.groups.empty()) out << "  keine Tonstöße gehört\n";
  for (std::size_t i = 0; i < analysis.groups.size(); ++i) textGroup(i + 1, analysis.groups[i]);
  out << "\nSignale:";
  bool any = false;
  for (const GroupTrace& group : analysis.groups) {
    if (!group.signal) continue;
    out << (any ? ";" : "") << " " << signalName(*group.signal) << " bei " << secondsText(group.endMs);
    any = true;
  }
  out << (any ? "\n" : " keine\n");
  out << "Länge " << secondsText(analysis.durationMs) << ", Spitze " << decibelText(peakDbfs(analysis.peak))
      << " dBFS, RMS " << decibelText(rmsDbfs(analysis.rms)) << " dBFS\n";
}

void AnalysisReport::textGroup(std::size_t number, const GroupTrace& group) {
  out << "  Gruppe " << number << ", entschieden bei " << secondsText(group.endMs) << ": ";
  if (group.signal) {
    out << signalName(*group.signal) << "\n";
  } else {
    out << "kein Signal (" << group.reason << ")\n";
  }
  for (const ToneBurst& burst : group.bursts) {
    const std::string trio = trioText(burst.trioMask);
    out << "    " << std::setw(11) << secondsText(burst.startMs) << "  " << std::left << std::setw(10)
        << burstKindName(burst.kind) << std::right << std::setw(5) << burst.durationMs << " ms"
        << (trio.empty() ? "" : "  Trio " + trio) << "\n";
  }
}

}  // namespace qav

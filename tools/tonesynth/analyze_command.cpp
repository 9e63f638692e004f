#include "tonesynth/analyze_command.h"

#include <map>
#include <optional>
#include <stdexcept>

#include "tonesynth/analysis_report.h"
#include "tonesynth/recording_analysis.h"
#include "tonesynth/wav_reader.h"

namespace qav {

const char* const kAnalyzeUsage =
    "       qav-tones analyze DATEI.wav [--channel links|rechts|1|2] [--blocks] [--json]\n";

namespace {

struct AnalyzeRequest {
  std::string path;
  int channel = 0;  // left: what came from the QAV in a recorded call
  bool blocks = false;
  bool json = false;
};

const std::map<std::string, int> kChannels = {{"links", 0}, {"1", 0}, {"rechts", 1}, {"2", 1}};

AnalyzeRequest parseAnalyze(const std::vector<std::string>& args) {
  AnalyzeRequest request;
  std::optional<std::string> path;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--blocks") {
      request.blocks = true;
    } else if (arg == "--json") {
      request.json = true;
    } else if (arg == "--channel") {
      if (i + 1 == args.size()) throw std::invalid_argument("--channel verlangt links, rechts, 1 oder 2");
      const auto it = kChannels.find(args[++i]);
      if (it == kChannels.end()) throw std::invalid_argument("unbekannter Kanal: " + args[i]);
      request.channel = it->second;
    } else if (arg.rfind("--", 0) == 0 || path) {
      throw std::invalid_argument("unerwartetes Argument: " + arg);
    } else {
      path = arg;
    }
  }
  if (!path) throw std::invalid_argument("keine WAV-Datei angegeben");
  request.path = *path;
  return request;
}

}  // namespace

int runAnalyze(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  AnalyzeRequest request;
  try {
    request = parseAnalyze(args);
  } catch (const std::invalid_argument& error) {
    err << "qav-tones: Fehler: " << error.what() << "\nAufruf:\n" << kAnalyzeUsage;
    return kAnalyzeBadCommandLine;
  }
  try {
    WavReader reader(request.path, request.channel);
    AnalysisReport report(out, request.json);
    const std::string channel = reader.format().channels == 1 ? "mono" : request.channel == 0 ? "links" : "rechts";
    report.file(request.path, reader.format(), channel);
    const RecordingAnalysis analysis = analyzeRecording(reader, [&](const BlockTrace& block) {
      if (request.blocks) report.block(block);
    });
    report.summary(analysis);
    out.flush();
    if (!out) throw std::runtime_error("Ausgabe konnte nicht geschrieben werden");
    return 0;
  } catch (const std::exception& error) {
    err << "qav-tones: Fehler: " << error.what() << "\n";
    return kAnalyzeFailed;
  }
}

}  // namespace qav

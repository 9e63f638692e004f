// qav-tones: writes a QAV answer pattern, start signal or DTMF string as a
// WAV file, or lists what the analyzer hears in a recording (analyze).

#include <cstdlib>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tonesynth/analyze_command.h"
#include "tonesynth/answer_patterns.h"
#include "tonesynth/dtmf_digits.h"
#include "tonesynth/pcm_render.h"
#include "tonesynth/wav_file.h"

namespace {

const std::string kUsage = std::string(
    "Aufruf: qav-tones MUSTER DATEI.wav [--level dBFS] [--offset PROZENT] [--noise dBFS]\n"
    "                 [--seed N] [--burst MS] [--pause MS] [--bursts N] [--tail MS]\n") +
    qav::kAnalyzeUsage +
    "MUSTER: single, double, prompt, prompt-chord, disconnect, error, dtmf:ZIFFERN\n";

const std::map<std::string, qav::Signal> kPatterns = {
    {"single", qav::Signal::SingleConfirmation},
    {"double", qav::Signal::DoubleConfirmation},
    {"prompt", qav::Signal::MultiDevicePrompt},
    {"prompt-chord", qav::Signal::MultiDevicePrompt},
    {"disconnect", qav::Signal::AlternatingDisconnect},
    {"error", qav::Signal::ParameterError},
};

struct Request {
  std::string pattern;
  std::string path;
  std::map<std::string, double> values;
};

Request parse(int argc, char** argv) {
  if (argc < 3 || (argc - 3) % 2 != 0) throw std::invalid_argument(kUsage);
  Request request{argv[1], argv[2], {}};
  for (int i = 3; i < argc; i += 2) {
    const std::string option = argv[i];
    if (option.rfind("--", 0) != 0) throw std::invalid_argument(kUsage);
    request.values[option.substr(2)] = std::stod(argv[i + 1]);
  }
  return request;
}

double valueOr(const Request& request, const std::string& key, double fallback) {
  const auto it = request.values.find(key);
  return it == request.values.end() ? fallback : it->second;
}

qav::ToneTrack track(const Request& request) {
  if (request.pattern.rfind("dtmf:", 0) == 0) {
    return qav::dtmfDigits(request.pattern.substr(5),
                           static_cast<std::uint32_t>(valueOr(request, "burst", 100)),
                           static_cast<std::uint32_t>(valueOr(request, "pause", 100)));
  }
  const auto it = kPatterns.find(request.pattern);
  if (it == kPatterns.end()) throw std::invalid_argument(kUsage);
  qav::PatternShape shape = qav::defaultShape(it->second);
  shape.burstMs = static_cast<std::uint32_t>(valueOr(request, "burst", shape.burstMs));
  shape.pauseMs = static_cast<std::uint32_t>(valueOr(request, "pause", shape.pauseMs));
  shape.bursts = static_cast<std::uint32_t>(valueOr(request, "bursts", shape.bursts));
  shape.trioTogether = request.pattern == "prompt-chord";
  return qav::answerPattern(it->second, shape);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--help") {
    std::cout << kUsage;
    return EXIT_SUCCESS;
  }
  if (first == "analyze") return qav::runAnalyze({argv + 2, argv + argc}, std::cout, std::cerr);
  try {
    const Request request = parse(argc, argv);
    qav::ToneTrack audio = track(request);
    audio.add(qav::pause(static_cast<std::uint32_t>(valueOr(request, "tail", 600))));
    qav::RenderOptions options;
    options.levelDbfs = valueOr(request, "level", options.levelDbfs);
    options.frequencyOffsetPercent = valueOr(request, "offset", 0.0);
    if (request.values.count("noise")) options.noiseDbfs = request.values.at("noise");
    options.noiseSeed = static_cast<std::uint32_t>(valueOr(request, "seed", 1));
    qav::writeWav(request.path, qav::render(audio, options), options.sampleRate);
    return EXIT_SUCCESS;
  } catch (const std::exception& error) {
    std::cerr << "qav-tones: Fehler: " << error.what() << "\n";
    return 3;
  }
}

// qav-tone-margins: how much line noise and generator frequency error the
// analyzer tolerates before it misreads the QAV's answers. Prints figures.

#include <array>
#include <cstdio>
#include <vector>

#include "tone/tone_analyzer.h"
#include "tonesynth/answer_patterns.h"
#include "tonesynth/pcm_render.h"

namespace {

using qav::Signal;

struct Pattern {
  const char* name;
  Signal signal;
  bool trioTogether;
};

const Pattern kPatterns[] = {
    {"single", Signal::SingleConfirmation, false},
    {"double", Signal::DoubleConfirmation, false},
    {"error", Signal::ParameterError, false},
    {"disconnect", Signal::AlternatingDisconnect, false},
    {"prompt (one after another)", Signal::MultiDevicePrompt, false},
    {"prompt (chord)", Signal::MultiDevicePrompt, true},
};

constexpr int kTrials = 30;
constexpr int kNoiseMinutes = 5;
constexpr int kSnrSteps[] = {40, 36, 34, 30, 20, 10, 5, 0, -5, -10};

// True when the first signal after the pattern is its own, as the dialogue
// takes the first answer after a command.
bool recognised(const Pattern& pattern, const qav::RenderOptions& options) {
  qav::PatternShape shape = qav::defaultShape(pattern.signal);
  shape.trioTogether = pattern.trioTogether;
  qav::ToneTrack track = qav::answerPattern(pattern.signal, shape);
  track.add(qav::pause(1500));
  const std::vector<std::int16_t> pcm = qav::render(track, options);
  qav::ToneAnalyzer analyzer(qav::kLineSampleRate);
  std::vector<Signal> heard;
  analyzer.setCallback([&](Signal s) { heard.push_back(s); });
  for (std::size_t at = 0; at + 160 <= pcm.size(); at += 160) analyzer.process(&pcm[at], 160);
  return !heard.empty() && heard[0] == pattern.signal;
}

// The smallest offset, in steps of 0.1 %, in the given direction that is misread.
double failingOffset(const Pattern& pattern, double direction, double levelDbfs) {
  for (int tenths = 0; tenths <= 400; ++tenths) {
    qav::RenderOptions options;
    options.levelDbfs = levelDbfs;
    options.frequencyOffsetPercent = direction * tenths / 10.0;
    if (!recognised(pattern, options)) return options.frequencyOffsetPercent;
  }
  return direction * 40.0;
}

double successRate(const Pattern& pattern, double levelDbfs, double snrDb) {
  int good = 0;
  for (int seed = 1; seed <= kTrials; ++seed) {
    qav::RenderOptions options;
    options.levelDbfs = levelDbfs;
    options.noiseDbfs = levelDbfs - snrDb;
    options.noiseSeed = static_cast<std::uint32_t>(seed);
    good += recognised(pattern, options) ? 1 : 0;
  }
  return static_cast<double>(good) / kTrials;
}

void noiseRow(const Pattern& pattern, double levelDbfs) {
  std::printf("  %-28s tone %5.1f dBFS:", pattern.name, levelDbfs);
  for (int snr : kSnrSteps) std::printf(" %4.0f", 100.0 * successRate(pattern, levelDbfs, snr));
  std::printf("\n");
}

// Signals the analyzer reports from noise alone, as on a line where the QAV
// stays silent: counts per kind over kNoiseMinutes one-minute stretches.
std::array<int, 5> spuriousSignals(double noiseDbfs) {
  std::array<int, 5> counts{};
  for (int minute = 1; minute <= kNoiseMinutes; ++minute) {
    qav::RenderOptions options;
    options.noiseDbfs = noiseDbfs;
    options.noiseSeed = static_cast<std::uint32_t>(1000 + minute);
    const std::vector<std::int16_t> pcm = qav::render(qav::ToneTrack{{qav::pause(60000)}}, options);
    qav::ToneAnalyzer analyzer(qav::kLineSampleRate);
    analyzer.setCallback([&](Signal s) { ++counts[static_cast<std::size_t>(s)]; });
    for (std::size_t at = 0; at + 160 <= pcm.size(); at += 160) analyzer.process(&pcm[at], 160);
  }
  return counts;
}

}  // namespace

int main() {
  std::printf("Frequency offset at which classification fails (0.1 %% steps, no noise):\n");
  for (const Pattern& pattern : kPatterns) {
    for (double level : {-10.0, -30.0}) {
      std::printf("  %-28s tone %5.1f dBFS: fails at %+5.1f %% and %+5.1f %%\n", pattern.name,
                  level, failingOffset(pattern, -1.0, level), failingOffset(pattern, 1.0, level));
    }
  }
  std::printf("White noise over the whole line: %% of %d seeds recognised at SNR (dB)\n", kTrials);
  std::printf("  %-28s %16s", "", "");
  for (int snr : kSnrSteps) std::printf(" %4d", snr);
  std::printf("\n");
  for (const Pattern& pattern : kPatterns) {
    for (double level : {-10.0, -30.0}) noiseRow(pattern, level);
  }
  std::printf(
      "Signals per %d minutes of noise alone (single, double, prompt, disconnect, error):\n",
      kNoiseMinutes);
  for (double noise : {-50.0, -46.0, -45.0, -44.0, -40.0, -30.0, -20.0}) {
    const std::array<int, 5> counts = spuriousSignals(noise);
    std::printf("  noise %5.1f dBFS: %4d %4d %4d %4d %4d\n", noise, counts[0], counts[1], counts[2],
                counts[3], counts[4]);
  }
  return 0;
}

// qav-tone-lines: how the QAV's answers fare through real voice codecs, line
// noise and echo. Prints the whole matrix; no pass or fail of its own.
//   qav-tone-lines [--tune] [--quick] [--noise-minutes N] [--codec NAME] [--list-missed]
//   qav-tone-lines --show PATTERN CODEC LEVEL NOISE ECHO SEED BURST GAP
// --tune runs the seeds and lengths the thresholds were chosen on; without it
// the figures come from other seeds and randomly varied lengths.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "linemodel/line_model.h"
#include "tone/tone_analyzer.h"
#include "tonesynth/answer_patterns.h"
#include "tonesynth/dtmf_digits.h"
#include "tonesynth/pcm_render.h"

namespace {

using qav::Signal;
using qav::line::LineModel;
using qav::line::LineSpec;

constexpr std::size_t kBlock = 160;

struct Pattern {
  const char* name;
  Signal signal;
  bool chord;
};
const Pattern kPatterns[] = {
    {"single", Signal::SingleConfirmation, false}, {"double", Signal::DoubleConfirmation, false},
    {"error", Signal::ParameterError, false},      {"disconnect", Signal::AlternatingDisconnect, false},
    {"prompt", Signal::MultiDevicePrompt, false},  {"prompt-chord", Signal::MultiDevicePrompt, true},
};

const char* const kCodecs[] = {"linear",     "ulaw",   "alaw",       "gsm",    "amr475",
                               "amr475-dtx", "amr59",  "amr59-dtx",  "amr795", "amr795-dtx",
                               "amr122",     "amr122-dtx", "amrwb",  "amrwb-dtx", "amr475-dtx+alaw"};
const double kLevels[] = {-6.0, -20.0, -35.0};

struct NoiseCase {
  const char* name;
  bool relative;  // dB under the tone rather than dBFS
  double db;
};
const NoiseCase kNoises[] = {{"none", false, 0}, {"-20dB", true, -20}, {"-45dBFS", false, -45}};

struct EchoCase {
  const char* name;
  std::uint32_t delayMs;
  double gainDb;
};
const EchoCase kEchoes[] = {{"none", 0, 0}, {"50ms-15dB", 50, -15}, {"200ms-25dB", 200, -25}};

// What one detector heard in one recording, oldest first.
using Detector = std::function<std::vector<Signal>(const std::vector<std::int16_t>&)>;

std::vector<Signal> ourAnalyzer(const std::vector<std::int16_t>& pcm) {
  qav::ToneAnalyzer analyzer(qav::kLineSampleRate);
  std::vector<Signal> heard;
  analyzer.setCallback([&](Signal s) { heard.push_back(s); });
  for (std::size_t at = 0; at + kBlock <= pcm.size(); at += kBlock) analyzer.process(&pcm[at], kBlock);
  return heard;
}

struct Tally {
  long right = 0, wrong = 0, missed = 0;
  void add(const Tally& t) {
    right += t.right;
    wrong += t.wrong;
    missed += t.missed;
  }
  long total() const { return right + wrong + missed; }
};

// The command's DTMF goes out while the analyzer is off; the QAV answers a
// moment after the last digit, and the far end's echo of the digits may
// still be arriving when the analyzer listens again.
struct Trial {
  std::vector<std::int16_t> received;  // from the moment the analyzer is on
};

Trial makeTrial(const Pattern& pattern, const char* codecs, double level, const NoiseCase& noise,
                const EchoCase& echo, double burstScale, double gapScale, std::uint32_t seed) {
  qav::PatternShape shape = qav::defaultShape(pattern.signal);
  shape.trioTogether = pattern.chord;
  shape.burstMs = static_cast<std::uint32_t>(std::lround(shape.burstMs * burstScale));
  shape.pauseMs = static_cast<std::uint32_t>(std::lround(shape.pauseMs * gapScale));
  const std::uint32_t digitsMs = 4 * 100 + 3 * 100;
  const std::uint32_t responseMs = 120 + seed % 5 * 40;

  qav::ToneTrack answer;
  answer.add(qav::pause(digitsMs + responseMs)).add(qav::answerPattern(pattern.signal, shape));
  answer.add(qav::pause(1500));
  qav::RenderOptions options;
  options.levelDbfs = level;
  const std::vector<std::int16_t> sent = qav::render(answer, options);

  qav::ToneTrack digits = qav::dtmfDigits("#*12", 100, 100);
  digits.add(qav::pause(answer.durationMs() - digits.durationMs()));
  qav::RenderOptions dtmfOptions;
  dtmfOptions.levelDbfs = -9.0;
  const std::vector<std::int16_t> farEnd = qav::render(digits, dtmfOptions);

  LineSpec spec = *qav::line::lineNamed(codecs);
  if (std::strcmp(noise.name, "none") != 0)
    spec.noise = qav::line::NoiseSpec{qav::line::NoiseColour::White, noise.relative ? level + noise.db : noise.db, seed};
  if (echo.delayMs > 0) spec.echo = qav::line::EchoSpec{echo.delayMs, echo.gainDb};
  LineModel line(spec);
  std::vector<std::int16_t> received(sent.size() / kBlock * kBlock);
  for (std::size_t at = 0; at < received.size(); at += kBlock) line.pass(&sent[at], &farEnd[at], &received[at]);

  const std::size_t enabledAt = (digitsMs * 8 + kBlock - 1) / kBlock * kBlock;
  return Trial{std::vector<std::int16_t>(received.begin() + static_cast<std::ptrdiff_t>(enabledAt), received.end())};
}

void judge(const std::vector<Signal>& heard, Signal expected, Tally& tally) {
  if (heard.empty()) {
    ++tally.missed;
    return;
  }
  for (Signal s : heard) {
    if (s != expected) {
      ++tally.wrong;
      return;
    }
  }
  heard.size() == 1 ? ++tally.right : ++tally.wrong;
}

struct Options {
  bool tune = false;
  bool quick = false;
  bool listMissed = false;
  std::string onlyCodec;  // empty: all
  double noiseMinutes = 10.0;
};

void printRow(const char* label, const Tally& t) {
  std::printf("  %-18s %6ld right %4ld wrong %5ld missed  (%.2f %% right)\n", label, t.right, t.wrong,
              t.missed, t.total() ? 100.0 * t.right / t.total() : 0.0);
}

// One codec's share of the matrix; the codecs run on all cores at once, each
// with lengths drawn from its own seed, so the figures do not depend on the
// number of cores.
struct MatrixPart {
  std::map<std::string, Tally> byPattern, byLevel, byNoise, byEcho;
  Tally all;
  std::vector<std::string> cases;
};

MatrixPart runCodec(const char* codec, std::size_t index, const Detector& detect, const Options& options) {
  std::mt19937 lengths(static_cast<std::uint32_t>((options.tune ? 1 : 4242) + index));
  std::uniform_real_distribution<double> scale(0.7, 1.3);
  const std::vector<std::pair<double, double>> tuneShapes = {{1, 1}, {0.7, 0.7}, {0.7, 1.3}, {1.3, 0.7}, {1.3, 1.3}};
  const std::vector<std::uint32_t> seeds = options.tune ? std::vector<std::uint32_t>{1, 2}
                                                        : std::vector<std::uint32_t>{101, 102};
  MatrixPart part;
  for (double level : kLevels) {
    for (const NoiseCase& noise : kNoises) {
      for (const EchoCase& echo : kEchoes) {
        for (const Pattern& pattern : kPatterns) {
          for (std::uint32_t seed : seeds) {
            const std::size_t shapes = options.quick ? 1 : tuneShapes.size();
            for (std::size_t s = 0; s < shapes; ++s) {
              const double burst = options.tune ? tuneShapes[s].first : scale(lengths);
              const double gap = options.tune ? tuneShapes[s].second : scale(lengths);
              const Trial trial = makeTrial(pattern, codec, level, noise, echo, burst, gap, seed);
              Tally t;
              const std::vector<Signal> heard = detect(trial.received);
              judge(heard, pattern.signal, t);
              if ((t.wrong || (t.missed && options.listMissed)) && part.cases.size() < 40) {
                char line[256];
                std::snprintf(line, sizeof line, "%s %s %s %.0f %s %s %u %.6f %.6f: heard %zu, first %s",
                              t.wrong ? "WRONG" : "MISSED", pattern.name, codec, level, noise.name, echo.name,
                              seed, burst, gap, heard.size(),
                              heard.empty() ? "-" : qav::signalName(heard[0]).c_str());
                part.cases.push_back(line);
              }
              part.byPattern[pattern.name].add(t);
              part.byLevel[std::to_string(static_cast<int>(level))].add(t);
              part.byNoise[noise.name].add(t);
              part.byEcho[echo.name].add(t);
              part.all.add(t);
            }
          }
        }
      }
    }
  }
  return part;
}

void merge(std::map<std::string, Tally>& into, const std::map<std::string, Tally>& from) {
  for (const auto& [label, t] : from) into[label].add(t);
}

void runMatrix(const std::string& name, const Detector& detect, const Options& options) {
  constexpr std::size_t codecs = std::size(kCodecs);
  std::vector<MatrixPart> parts(codecs);
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  for (unsigned w = 0; w < std::max(1u, std::thread::hardware_concurrency()); ++w) {
    workers.emplace_back([&] {
      for (std::size_t i; (i = next++) < codecs;) {
        if (options.onlyCodec.empty() || options.onlyCodec == kCodecs[i])
          parts[i] = runCodec(kCodecs[i], i, detect, options);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();

  std::map<std::string, Tally> byCodec, byPattern, byLevel, byNoise, byEcho;
  Tally all;
  for (std::size_t i = 0; i < codecs; ++i) {
    byCodec[kCodecs[i]].add(parts[i].all);
    merge(byPattern, parts[i].byPattern);
    merge(byLevel, parts[i].byLevel);
    merge(byNoise, parts[i].byNoise);
    merge(byEcho, parts[i].byEcho);
    all.add(parts[i].all);
  }
  std::printf("\n%s, %s set:\n", name.c_str(), options.tune ? "tuning" : "report");
  printRow("all", all);
  auto section = [](const char* title, const std::map<std::string, Tally>& rows) {
    std::printf(" by %s:\n", title);
    for (const auto& [label, t] : rows) printRow(label.c_str(), t);
  };
  section("codec", byCodec);
  section("pattern", byPattern);
  section("level", byLevel);
  section("noise", byNoise);
  section("echo", byEcho);
  for (const MatrixPart& part : parts)
    for (const std::string& c : part.cases) std::printf("  %s\n", c.c_str());
}

void runNoise(const std::string& name, const Detector& detect, double minutes) {
  struct NoiseOnly {
    const char* label;
    qav::line::NoiseColour colour;
    double dbfs;
    const char* codecs;
  };
  const NoiseOnly cases[] = {
      {"white -45 dBFS", qav::line::NoiseColour::White, -45, "linear"},
      {"white -30 dBFS", qav::line::NoiseColour::White, -30, "linear"},
      {"pink -30 dBFS", qav::line::NoiseColour::Pink, -30, "linear"},
      {"speech-shaped -30 dBFS", qav::line::NoiseColour::Speech, -30, "linear"},
      {"pink -30 dBFS, AMR 4.75 DTX", qav::line::NoiseColour::Pink, -30, "amr475-dtx"},
      {"white -40 dBFS, AMR 12.2 DTX", qav::line::NoiseColour::White, -40, "amr122-dtx"},
  };
  std::printf("\n%s, noise alone (%.0f min each):\n", name.c_str(), minutes);
  long total = 0;
  for (const NoiseOnly& c : cases) {
    LineSpec spec = *qav::line::lineNamed(c.codecs);
    spec.noise = qav::line::NoiseSpec{c.colour, c.dbfs, 7};
    LineModel line(spec);
    const std::size_t samples = static_cast<std::size_t>(minutes * 60 * 8000) / kBlock * kBlock;
    const std::vector<std::int16_t> silence(samples, 0);
    const std::vector<Signal> heard = detect(line.passAll(silence));
    total += static_cast<long>(heard.size());
    std::printf("  %-30s %ld false answers\n", c.label, static_cast<long>(heard.size()));
  }
  std::printf("  all %.0f minutes: %ld false answers\n", minutes * 6, total);
}

void runCost() {
  const Trial trial = makeTrial(kPatterns[1], "linear", -20, kNoises[2], kEchoes[0], 1, 1, 1);
  qav::ToneAnalyzer analyzer(qav::kLineSampleRate);
  analyzer.setCallback([](Signal) {});
  const int rounds = 2000;
  const auto start = std::chrono::steady_clock::now();
  std::size_t blocks = 0;
  for (int r = 0; r < rounds; ++r) {
    for (std::size_t at = 0; at + kBlock <= trial.received.size(); at += kBlock, ++blocks)
      analyzer.process(&trial.received[at], kBlock);
  }
  const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
  std::printf("\nour analyzer: %.2f us per 20 ms block (%zu blocks)\n", took.count() / blocks, blocks);
}

// One case block by block, to see why it went wrong.
void showCase(char** args) {
  const Pattern* pattern = nullptr;
  for (const Pattern& p : kPatterns)
    if (std::strcmp(p.name, args[0]) == 0) pattern = &p;
  const NoiseCase* noise = nullptr;
  for (const NoiseCase& n : kNoises)
    if (std::strcmp(n.name, args[3]) == 0) noise = &n;
  const EchoCase* echo = nullptr;
  for (const EchoCase& e : kEchoes)
    if (std::strcmp(e.name, args[4]) == 0) echo = &e;
  if (!pattern || !noise || !echo) return;
  const Trial trial = makeTrial(*pattern, args[1], std::atof(args[2]), *noise, *echo, std::atof(args[6]),
                                std::atof(args[7]), static_cast<std::uint32_t>(std::atoi(args[5])));
  qav::ToneAnalyzer analyzer(qav::kLineSampleRate);
  qav::AnalyzerTrace trace;
  trace.block = [](const qav::BlockTrace& b) {
    const qav::BandLevels& l = b.levels;
    std::printf("%4llu %5.1f dB  H %.2f@%d %6.1f %6.1fHz  M %.2f  T %.2f %.2f %.2f  kind %u\n",
                static_cast<unsigned long long>(b.startMs), 20 * std::log10(l.rms + 1e-9) + 3.01,
                l.high.share, l.high.bin, 10 * std::log10(l.high.power + 1e-12) + 3.01, l.high.hz, l.middle.share,
                l.trio[0].share, l.trio[1].share, l.trio[2].share, static_cast<unsigned>(b.block.kind));
  };
  trace.group = [](const qav::GroupTrace& g) {
    std::printf("group at %llu: %zu bursts, %s %s\n", static_cast<unsigned long long>(g.endMs), g.bursts.size(),
                g.signal ? qav::signalName(*g.signal).c_str() : "-", g.reason.c_str());
  };
  analyzer.setTrace(trace);
  for (std::size_t at = 0; at + kBlock <= trial.received.size(); at += kBlock)
    analyzer.process(&trial.received[at], kBlock);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--tune") == 0) options.tune = true;
    if (std::strcmp(argv[i], "--quick") == 0) options.quick = true;
    if (std::strcmp(argv[i], "--list-missed") == 0) options.listMissed = true;
    if (std::strcmp(argv[i], "--codec") == 0 && i + 1 < argc) options.onlyCodec = argv[++i];
    if (std::strcmp(argv[i], "--show") == 0 && argc - i > 8) {
      showCase(argv + i + 1);
      return 0;
    }
    if (std::strcmp(argv[i], "--noise-minutes") == 0 && i + 1 < argc) options.noiseMinutes = std::atof(argv[++i]);
  }
  runCost();
  runMatrix("our analyzer", ourAnalyzer, options);
  runNoise("our analyzer", ourAnalyzer, options.noiseMinutes);
  return 0;
}

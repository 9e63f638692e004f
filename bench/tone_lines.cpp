// qav-tone-lines: how the QAV's answers fare through real voice codecs, line
// noise and echo. Prints the whole matrix; no pass or fail of its own.
//   qav-tone-lines [--tune] [--quick] [--noise-minutes N] [--codec NAME] [--list-missed]
//                  [--detector ours|spandsp|both]
//   qav-tone-lines --show PATTERN CODEC LEVEL NOISE ECHO SEED BURST GAP
// --tune runs the seeds and lengths the thresholds were chosen on; without it
// the figures come from other seeds and randomly varied lengths. spandsp's
// supervisory tone receiver runs over the same recordings as the reference.

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
#include "spandsp_reference.h"
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

struct Contender {
  std::string name;
  Detector detect;
};

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
  bool ours = true;
  bool spandsp = true;
};

void printRow(const char* label, const Tally& t) {
  std::printf("  %-18s %6ld right %4ld wrong %5ld missed  (%.2f %% right)\n", label, t.right, t.wrong,
              t.missed, t.total() ? 100.0 * t.right / t.total() : 0.0);
}

// One recording of the matrix.
struct TrialCase {
  const Pattern& pattern;
  const char* codec;
  double level;
  const NoiseCase& noise;
  const EchoCase& echo;
  std::uint32_t seed;
  double burst, gap;
};

// One contender's figures for one codec's share of the matrix, or for all.
struct MatrixPart {
  std::map<std::string, Tally> byPattern, byLevel, byNoise, byEcho;
  Tally all;
  std::vector<std::string> cases;

  void score(const TrialCase& c, const std::vector<Signal>& heard, bool listMissed) {
    Tally t;
    judge(heard, c.pattern.signal, t);
    if ((t.wrong || (t.missed && listMissed)) && cases.size() < 40) {
      char line[256];
      std::snprintf(line, sizeof line, "%s %s %s %.0f %s %s %u %.6f %.6f: heard %zu, first %s",
                    t.wrong ? "WRONG" : "MISSED", c.pattern.name, c.codec, c.level, c.noise.name, c.echo.name,
                    c.seed, c.burst, c.gap, heard.size(), heard.empty() ? "-" : qav::signalName(heard[0]).c_str());
      cases.push_back(line);
    }
    byPattern[c.pattern.name].add(t);
    byLevel[std::to_string(static_cast<int>(c.level))].add(t);
    byNoise[c.noise.name].add(t);
    byEcho[c.echo.name].add(t);
    all.add(t);
  }
};

// One codec's share of the matrix, each recording heard by every contender;
// the codecs run on all cores at once, each with lengths drawn from its own
// seed, so the figures do not depend on the number of cores.
std::vector<MatrixPart> runCodec(const char* codec, std::size_t index, const std::vector<Contender>& contenders,
                                 const Options& options) {
  std::mt19937 lengths(static_cast<std::uint32_t>((options.tune ? 1 : 4242) + index));
  std::uniform_real_distribution<double> scale(0.7, 1.3);
  const std::vector<std::pair<double, double>> tuneShapes = {{1, 1}, {0.7, 0.7}, {0.7, 1.3}, {1.3, 0.7}, {1.3, 1.3}};
  const std::vector<std::uint32_t> seeds = options.tune ? std::vector<std::uint32_t>{1, 2}
                                                        : std::vector<std::uint32_t>{101, 102};
  std::vector<MatrixPart> parts(contenders.size());
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
              const TrialCase c{pattern, codec, level, noise, echo, seed, burst, gap};
              for (std::size_t k = 0; k < contenders.size(); ++k)
                parts[k].score(c, contenders[k].detect(trial.received), options.listMissed);
            }
          }
        }
      }
    }
  }
  return parts;
}

void merge(std::map<std::string, Tally>& into, const std::map<std::string, Tally>& from) {
  for (const auto& [label, t] : from) into[label].add(t);
}

// What one contender made of the whole matrix.
struct MatrixTallies {
  std::map<std::string, Tally> byCodec;
  MatrixPart total;
};

void printMatrix(const std::string& name, const MatrixTallies& m, const Options& options) {
  std::printf("\n%s, %s set:\n", name.c_str(), options.tune ? "tuning" : "report");
  printRow("all", m.total.all);
  auto section = [](const char* title, const std::map<std::string, Tally>& rows) {
    std::printf(" by %s:\n", title);
    for (const auto& [label, t] : rows) printRow(label.c_str(), t);
  };
  section("codec", m.byCodec);
  section("pattern", m.total.byPattern);
  section("level", m.total.byLevel);
  section("noise", m.total.byNoise);
  section("echo", m.total.byEcho);
  for (const std::string& c : m.total.cases) std::printf("  %s\n", c.c_str());
}

// Right answers of every contender side by side, wrong ones in brackets.
void printComparison(const std::vector<Contender>& contenders, const std::vector<MatrixTallies>& tallies) {
  if (contenders.size() < 2) return;
  std::printf("\nside by side, %% right (%% wrong):\n  %-18s", "");
  for (const Contender& c : contenders) std::printf(" %20s", c.name.c_str());
  std::printf("\n");
  auto row = [&](const std::string& label, auto pick) {
    std::printf("  %-18s", label.c_str());
    for (const MatrixTallies& m : tallies) {
      const Tally& t = pick(m);
      const double n = t.total() ? static_cast<double>(t.total()) : 1.0;
      std::printf("      %6.2f (%5.2f)", 100.0 * t.right / n, 100.0 * t.wrong / n);
    }
    std::printf("\n");
  };
  row("all", [](const MatrixTallies& m) -> const Tally& { return m.total.all; });
  using Rows = const std::map<std::string, Tally>& (*)(const MatrixTallies&);
  const std::pair<const char*, Rows> sections[] = {
      {"pattern", [](const MatrixTallies& m) -> const std::map<std::string, Tally>& { return m.total.byPattern; }},
      {"codec", [](const MatrixTallies& m) -> const std::map<std::string, Tally>& { return m.byCodec; }},
      {"level", [](const MatrixTallies& m) -> const std::map<std::string, Tally>& { return m.total.byLevel; }},
      {"noise", [](const MatrixTallies& m) -> const std::map<std::string, Tally>& { return m.total.byNoise; }},
      {"echo", [](const MatrixTallies& m) -> const std::map<std::string, Tally>& { return m.total.byEcho; }}};
  for (const auto& section : sections) {
    const Rows rows = section.second;
    std::printf(" by %s:\n", section.first);
    for (const auto& entry : rows(tallies[0]))
      row(entry.first, [&](const MatrixTallies& m) -> const Tally& { return rows(m).at(entry.first); });
  }
}

void runMatrix(const std::vector<Contender>& contenders, const Options& options) {
  constexpr std::size_t codecs = std::size(kCodecs);
  std::vector<std::vector<MatrixPart>> parts(codecs);
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  for (unsigned w = 0; w < std::max(1u, std::thread::hardware_concurrency()); ++w) {
    workers.emplace_back([&] {
      for (std::size_t i; (i = next++) < codecs;) {
        if (options.onlyCodec.empty() || options.onlyCodec == kCodecs[i])
          parts[i] = runCodec(kCodecs[i], i, contenders, options);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();

  std::vector<MatrixTallies> tallies(contenders.size());
  for (std::size_t k = 0; k < contenders.size(); ++k) {
    MatrixPart& total = tallies[k].total;
    for (std::size_t i = 0; i < codecs; ++i) {
      if (parts[i].empty()) continue;
      const MatrixPart& part = parts[i][k];
      tallies[k].byCodec[kCodecs[i]].add(part.all);
      merge(total.byPattern, part.byPattern);
      merge(total.byLevel, part.byLevel);
      merge(total.byNoise, part.byNoise);
      merge(total.byEcho, part.byEcho);
      total.all.add(part.all);
      total.cases.insert(total.cases.end(), part.cases.begin(), part.cases.end());
    }
    printMatrix(contenders[k].name, tallies[k], options);
  }
  printComparison(contenders, tallies);
}

void runNoise(const std::vector<Contender>& contenders, double minutes) {
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
  std::printf("\nnoise alone (%.0f min each), false answers:\n  %-30s", minutes, "");
  for (const Contender& c : contenders) std::printf(" %14s", c.name.c_str());
  std::printf("\n");
  std::vector<long> totals(contenders.size());
  for (const NoiseOnly& c : cases) {
    LineSpec spec = *qav::line::lineNamed(c.codecs);
    spec.noise = qav::line::NoiseSpec{c.colour, c.dbfs, 7};
    LineModel line(spec);
    const std::size_t samples = static_cast<std::size_t>(minutes * 60 * 8000) / kBlock * kBlock;
    const std::vector<std::int16_t> silence(samples, 0);
    const std::vector<std::int16_t> received = line.passAll(silence);
    std::printf("  %-30s", c.label);
    for (std::size_t k = 0; k < contenders.size(); ++k) {
      const long heard = static_cast<long>(contenders[k].detect(received).size());
      totals[k] += heard;
      std::printf(" %14ld", heard);
    }
    std::printf("\n");
  }
  char all[64];
  std::snprintf(all, sizeof all, "all %.0f minutes", minutes * 6);
  std::printf("  %-30s", all);
  for (long total : totals) std::printf(" %14ld", total);
  std::printf("\n");
}

// One block to a detector that lives through the whole measurement.
using BlockFeed = std::function<void(const std::int16_t*, std::size_t)>;

void runCost(const std::string& name, const BlockFeed& feed) {
  const Trial trial = makeTrial(kPatterns[1], "linear", -20, kNoises[2], kEchoes[0], 1, 1, 1);
  const int rounds = 2000;
  const auto start = std::chrono::steady_clock::now();
  std::size_t blocks = 0;
  for (int r = 0; r < rounds; ++r) {
    for (std::size_t at = 0; at + kBlock <= trial.received.size(); at += kBlock, ++blocks)
      feed(&trial.received[at], kBlock);
  }
  const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
  std::printf("%s: %.2f us per 20 ms block (%zu blocks)\n", name.c_str(), took.count() / blocks, blocks);
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
    if (std::strcmp(argv[i], "--detector") == 0 && i + 1 < argc) {
      const std::string which = argv[++i];
      options.ours = which == "ours" || which == "both";
      options.spandsp = which == "spandsp" || which == "both";
    }
  }
  std::vector<Contender> contenders;
  std::printf("\n");
  if (options.ours) {
    qav::ToneAnalyzer analyzer(qav::kLineSampleRate);
    analyzer.setCallback([](Signal) {});
    runCost("our analyzer", [&](const std::int16_t* pcm, std::size_t n) { analyzer.process(pcm, n); });
    contenders.push_back({"our analyzer", ourAnalyzer});
  }
  if (options.spandsp) {
    qav::bench::SpandspReceiver receiver([](Signal) {});
    runCost("spandsp", [&](const std::int16_t* pcm, std::size_t n) { receiver.process(pcm, n); });
    contenders.push_back({"spandsp", qav::bench::spandspDetector});
  }
  if (contenders.empty()) {
    std::fprintf(stderr, "--detector: ours, spandsp or both\n");
    return 2;
  }
  runMatrix(contenders, options);
  runNoise(contenders, options.noiseMinutes);
  return 0;
}

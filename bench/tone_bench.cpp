// qav-tone-bench: what the tone analysis costs the media clock thread, which
// hands it one 20 ms block of 160 samples at a time.

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "tone/goertzel.h"
#include "tone/tone_analyzer.h"
#include "tonesynth/answer_patterns.h"
#include "tonesynth/pcm_render.h"

namespace {

constexpr std::size_t kBlock = 160;
constexpr double kBlockSeconds = 0.020;

// A double confirmation with its trailing silence, so that the loop runs
// through tone blocks, silent blocks and the classification of the group.
// Line noise over the silence floor makes every block a measured one, the
// most the analyzer ever spends.
std::vector<std::int16_t> answerAudio(double noiseDbfs = -50.0) {
  qav::ToneTrack track = qav::answerPattern(qav::Signal::DoubleConfirmation);
  track.add(qav::pause(700));
  qav::RenderOptions options;
  options.noiseDbfs = noiseDbfs;
  std::vector<std::int16_t> pcm = qav::render(track, options);
  pcm.resize(pcm.size() / kBlock * kBlock);
  return pcm;
}

void BM_ProcessBlock(benchmark::State& state) {
  const std::vector<std::int16_t> pcm = answerAudio(state.range(0) == 0 ? -50.0 : -30.0);
  qav::ToneAnalyzer analyzer(qav::kLineSampleRate);
  int signals = 0;
  analyzer.setCallback([&](qav::Signal) { ++signals; });
  std::size_t at = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    analyzer.process(&pcm[at], kBlock);
    at = (at + kBlock) % pcm.size();
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  benchmark::DoNotOptimize(signals);
  // Time per block against the 20 ms the media clock allows for it.
  const double perBlock = elapsed.count() / static_cast<double>(state.iterations());
  state.counters["core_share_pct"] = 100.0 * perBlock / kBlockSeconds;
}
// 0: quiet line; 1: every block over the silence floor.
BENCHMARK(BM_ProcessBlock)->Arg(0)->Arg(1);

void BM_ToneLevelProbe(benchmark::State& state) {
  const std::vector<std::int16_t> pcm = answerAudio();
  double frequency = 2109.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(qav::toneLevel(qav::kLineSampleRate, pcm.data(), kBlock, frequency));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ToneLevelProbe);

}  // namespace

BENCHMARK_MAIN();

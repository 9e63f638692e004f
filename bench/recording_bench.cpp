// What a recording costs the 20 ms media clock per tick: storing both
// frames interleaved into the ring, and dropping them when the ring is full.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "recording/stereo_frame_ring.h"

namespace {

std::int16_t received[qav::callFrameSamples];
std::int16_t sent[qav::callFrameSamples];

// The writer's pop is two atomic operations, next to nothing against the
// copy; pausing the timer around it would cost more than it.
void tickStored(benchmark::State& state) {
  qav::StereoFrameRing ring(500);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ring.put(received, sent));
    ring.pop();
  }
}
BENCHMARK(tickStored);

void tickDropped(benchmark::State& state) {
  qav::StereoFrameRing ring(1);
  ring.put(received, sent);
  for (auto _ : state) benchmark::DoNotOptimize(ring.put(received, sent));
}
BENCHMARK(tickDropped);

}  // namespace

BENCHMARK_MAIN();

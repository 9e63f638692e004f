// A fixed number of stereo packet-time frames between the media clock and
// the recording's writer, passed without a lock and without allocation.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "telephony/call_audio_sink.h"

namespace qav {

// Interleaved left/right samples of one packet time, as a WAV file holds them.
using StereoFrame = std::array<std::int16_t, 2 * callFrameSamples>;

// Single producer, single consumer: put() on one thread only, front() and
// pop() on one other thread only. All slots are allocated by the
// constructor; the two positions only grow and are read modulo the size.
class StereoFrameRing {
  static_assert(std::atomic<std::size_t>::is_always_lock_free, "the media clock must never wait for a lock");

 public:
  explicit StereoFrameRing(std::size_t capacity) : slots(capacity) {}
  StereoFrameRing(const StereoFrameRing&) = delete;
  StereoFrameRing& operator=(const StereoFrameRing&) = delete;

  // Producer: stores one frame from two mono ones; false (and nothing
  // stored) when the ring is full.
  bool put(const std::int16_t* left, const std::int16_t* right) noexcept {
    const std::size_t at = written.load(std::memory_order_relaxed);
    if (at - read.load(std::memory_order_acquire) == slots.size()) return false;
    StereoFrame& slot = slots[at % slots.size()];
    for (std::size_t i = 0; i < callFrameSamples; ++i) {
      slot[2 * i] = left[i];
      slot[2 * i + 1] = right[i];
    }
    written.store(at + 1, std::memory_order_release);
    return true;
  }

  // Consumer: the oldest frame, or null when the ring is empty. It stays
  // valid until pop().
  const StereoFrame* front() const noexcept {
    const std::size_t at = read.load(std::memory_order_relaxed);
    if (at == written.load(std::memory_order_acquire)) return nullptr;
    return &slots[at % slots.size()];
  }
  void pop() noexcept { read.store(read.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

 private:
  std::vector<StereoFrame> slots;
  // Each written by one side only; apart, so the two threads do not share
  // a cache line.
  alignas(64) std::atomic<std::size_t> written{0};
  alignas(64) std::atomic<std::size_t> read{0};
};

}  // namespace qav

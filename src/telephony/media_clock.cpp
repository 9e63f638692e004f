#include "telephony/media_clock.h"

namespace qav {
namespace {

// Behind by more than this (the process was suspended, the machine stalled),
// the clock starts counting afresh instead of sending a burst of packets.
constexpr int maximumLagPeriods = 5;

}  // namespace

MediaClock::MediaClock(std::chrono::milliseconds p) : period(p) {}

MediaClock::~MediaClock() { stop(); }

void MediaClock::start(std::function<void()> tick) {
  stop();
  {
    std::lock_guard lock(mutex);
    stopping = false;
  }
  thread = std::thread([this, tick = std::move(tick)] { run(tick); });
}

void MediaClock::stop() noexcept {
  {
    std::lock_guard lock(mutex);
    stopping = true;
  }
  wake.notify_all();
  if (thread.joinable()) thread.join();
}

void MediaClock::run(std::function<void()> tick) {
  auto next = std::chrono::steady_clock::now() + period;
  std::unique_lock lock(mutex);
  while (!stopping) {
    if (wake.wait_until(lock, next, [this] { return stopping; })) break;
    lock.unlock();
    tick();
    lock.lock();
    next += period;
    const auto now = std::chrono::steady_clock::now();
    if (now - next > period * maximumLagPeriods) next = now + period;
  }
}

}  // namespace qav

#include "fleet/stop_signals.h"

#include <signal.h>

#include <atomic>

namespace qav::fleet {

namespace {

std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch a lock-free counter");

struct sigaction previousInt {};
struct sigaction previousTerm {};

void countSignal(int) { received.fetch_add(1); }

}  // namespace

// No SA_RESTART: a poll or wait in progress returns, so the run sees the
// signal at once.
StopSignals::StopSignals() {
  received.store(0);
  struct sigaction counting {};
  counting.sa_handler = countSignal;
  sigemptyset(&counting.sa_mask);
  ::sigaction(SIGINT, &counting, &previousInt);
  ::sigaction(SIGTERM, &counting, &previousTerm);
}

StopSignals::~StopSignals() {
  ::sigaction(SIGINT, &previousInt, nullptr);
  ::sigaction(SIGTERM, &previousTerm, nullptr);
}

int StopSignals::count() const { return received.load(); }

}  // namespace qav::fleet

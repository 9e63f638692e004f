// SIGINT, SIGTERM and SIGHUP during a real run: the call and the
// registration are ended in order before the program exits.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include <signal.h>

namespace qav {

// Blocks the three signals in the creating thread, so that every thread
// started afterwards inherits the mask, and waits for them on a thread of
// its own. The first signal calls onSignal; a second one while the run
// winds down ends the process as if nothing were watching. Create it before
// any other thread.
class SignalWatch {
 public:
  explicit SignalWatch(std::function<void()> onSignal);
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  // The signal that arrived, or 0.
  int caught() const { return signal.load(); }

 private:
  void watch();

  std::function<void()> onSignal;
  sigset_t watched;
  sigset_t previous;
  std::atomic<int> signal{0};
  std::atomic<bool> stopping{false};
  std::thread watcher;
};

// "SIGINT", "SIGTERM", "SIGHUP" or the number.
const char* signalLabel(int signal);

}  // namespace qav

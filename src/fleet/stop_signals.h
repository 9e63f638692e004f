// SIGINT and SIGTERM during a fleet run: counted, so that the run first
// stops starting calls and, at the second, ends the running ones.
#pragma once

namespace qav::fleet {

// Installs handlers for SIGINT and SIGTERM that only count, and puts the
// previous ones back when it goes. One at a time per process; created and
// destroyed on the main thread, count() read from any thread.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // How many of the two signals arrived since it was created.
  int count() const;
};

}  // namespace qav::fleet

// The simulator's event lines on standard output, one per event and flushed
// at once, so that a test driving the process can follow the call.
#pragma once

#include <mutex>
#include <string>

namespace qav::sim {

// Written from libre's worker, the media clock and the main thread alike;
// lines never interleave. Switched off, nothing is written.
class EventLog {
 public:
  explicit EventLog(bool enabled) : enabled_(enabled) {}

  void write(const std::string& line);

 private:
  bool enabled_;
  std::mutex mutex_;
};

}  // namespace qav::sim

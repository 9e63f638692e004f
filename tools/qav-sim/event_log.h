// The simulator's event lines on standard output, one per event and flushed
// at once, so that a test driving the process can follow the call.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace qav::sim {

// Written from libre's worker, the media clock and the main thread alike;
// lines never interleave. Switched off, nothing is written.
class EventLog {
 public:
  explicit EventLog(bool enabled, std::FILE* out = stdout) : enabled_(enabled), out_(out) {}

  void write(const std::string& line);

 private:
  bool enabled_;
  std::FILE* out_;
  std::mutex mutex_;
};

}  // namespace qav::sim

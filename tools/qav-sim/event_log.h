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
  // One device's lines among several: written through the shared log, each
  // beginning with the prefix. The shared log outlives this one.
  EventLog(EventLog& shared, std::string prefix)
      : enabled_(shared.enabled_), out_(shared.out_), shared_(&shared), prefix_(std::move(prefix)) {}

  void write(const std::string& line);

 private:
  bool enabled_;
  std::FILE* out_;
  EventLog* shared_ = nullptr;
  std::string prefix_;
  std::mutex mutex_;
};

}  // namespace qav::sim

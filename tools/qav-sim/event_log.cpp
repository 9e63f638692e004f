#include "qav-sim/event_log.h"

#include <cstdio>

namespace qav::sim {

void EventLog::write(const std::string& line) {
  if (!enabled_) return;
  std::lock_guard lock(mutex_);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace qav::sim

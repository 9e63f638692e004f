#include "qav-sim/event_log.h"

#include <cstdio>

namespace qav::sim {

void EventLog::write(const std::string& line) {
  if (!enabled_) return;
  if (shared_) {
    shared_->write(prefix_ + line);
    return;
  }
  std::lock_guard lock(mutex_);
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

}  // namespace qav::sim

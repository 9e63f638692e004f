// Test helpers for the command plan: a scoped local time zone, time points
// from UTC calendar values, and readable printing of plan segments.
#pragma once

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>

#include "plan/command_plan.h"

namespace qav {

// Sets TZ for the lifetime of the object and restores the previous value.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* previous = std::getenv("TZ")) previous_ = previous;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (previous_) setenv("TZ", previous_->c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> previous_;
};

inline std::chrono::system_clock::time_point utcTime(int year, unsigned month, unsigned day,
                                                     int hours, int minutes, int seconds,
                                                     int milliseconds = 0) {
  using namespace std::chrono;
  const sys_days date = std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day};
  return system_clock::time_point{date} + hours * 1h + minutes * 1min + seconds * 1s +
         milliseconds * 1ms;
}

inline void PrintTo(const PlanSegment& segment, std::ostream* out) {
  *out << "{\"" << segment.digits << "\", " << static_cast<int>(segment.expected) << ", \""
       << segment.label << "\", " << segment.timeoutMs << "}";
}

}  // namespace qav

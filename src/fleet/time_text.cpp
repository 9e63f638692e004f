#include "fleet/time_text.h"

#include <cstdio>
#include <ctime>

namespace qav::fleet {

namespace {

std::string formatted(WallTime time, const char* format, bool utc) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm parts{};
  if (utc) {
    gmtime_r(&seconds, &parts);
  } else {
    localtime_r(&seconds, &parts);
  }
  char text[64];
  const std::size_t length = std::strftime(text, sizeof text, format, &parts);
  return std::string(text, length);
}

}  // namespace

std::int64_t toMillis(WallTime time) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

WallTime fromMillis(std::int64_t millis) {
  return WallTime(std::chrono::duration_cast<WallTime::duration>(std::chrono::milliseconds(millis)));
}

std::string localDateTime(WallTime time) { return formatted(time, "%d.%m.%Y %H:%M:%S", false); }

std::string localClock(WallTime time) { return formatted(time, "%H:%M:%S", false); }

std::string spreadsheetTime(WallTime time) { return formatted(time, "%Y-%m-%d %H:%M:%S", false); }

std::string isoUtc(WallTime time) {
  // Milliseconds from the stored value, so that a time before 1970 cannot
  // give a negative fraction.
  const std::int64_t millis = toMillis(time);
  const int fraction = static_cast<int>(((millis % 1000) + 1000) % 1000);
  const WallTime whole = fromMillis(millis - fraction);
  char tail[8];
  std::snprintf(tail, sizeof tail, ".%03dZ", fraction);
  return formatted(whole, "%Y-%m-%dT%H:%M:%S", true) + tail;
}

}  // namespace qav::fleet

// Points in time as the journal stores them (milliseconds since 1970, UTC)
// and as the report writes them for a technician, a spreadsheet and JSON.
#pragma once

#include <cstdint>
#include <string>

#include "fleet/lift_outcome.h"

namespace qav::fleet {

std::int64_t toMillis(WallTime time);
WallTime fromMillis(std::int64_t millis);

// Local time: "09.12.2026 10:49:03".
std::string localDateTime(WallTime time);
// Local time: "10:49:03".
std::string localClock(WallTime time);
// Local time as spreadsheets read it: "2026-12-09 10:49:03".
std::string spreadsheetTime(WallTime time);
// UTC, ISO 8601: "2026-12-09T10:49:03.250Z".
std::string isoUtc(WallTime time);

}  // namespace qav::fleet

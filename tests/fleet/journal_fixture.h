// Lifts, attempts and journals for the tests of the fleet journal.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fleet/fleet_journal.h"
#include "temporary_directory.h"

namespace qav::fleet::testing {

// 09.12.2026 10:49:03 UTC and seconds after it.
WallTime at(int seconds);

FleetLift lift(std::size_t line, const std::string& target, const std::string& id, const std::string& remark = "");

AttemptRecord attempt(int number, int startSecond, int seconds, LiftOutcome outcome,
                      const std::string& explanation = "", const std::vector<std::string>& sent = {},
                      const std::string& errorLine = "", std::optional<int> exitStatus = 0);

// The message of what `action` throws, or "" when it throws nothing.
template <typename Action>
std::string thrown(Action&& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "";
}

// The single text value of `sql` on the database at `path`.
std::string queryText(const std::string& path, const std::string& sql);

}  // namespace qav::fleet::testing

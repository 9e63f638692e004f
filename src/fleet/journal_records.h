// What the journal gives back to the report, the history and a resumed
// run: runs, their lifts and the lifts' attempts, as plain values.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fleet/lift_outcome.h"
#include "settings/setting_map.h"

namespace qav::fleet {

struct StoredAttempt {
  AttemptRecord record;
  // Started but never ended: running now, or lost with a killed run that
  // has not been resumed yet. The record's outcome and end mean nothing then.
  bool open = false;
  // Ended with a known time; an attempt that was found unended on resume is
  // interrupted at an unknown time.
  bool endKnown = true;
};

struct StoredLift {
  std::size_t position = 0;  // 0-based place in the list
  std::size_t line = 0;      // line of the list where its row begins
  std::string id;
  std::string target;
  std::uint32_t cabin = 0;
  std::string remark;
  // The values of its call (see call_values.h) that differ from the run's
  // base values, which RunInfo holds.
  SettingMap valueDifference;
  std::vector<StoredAttempt> attempts;  // by number

  const std::string& name() const { return id.empty() ? target : id; }
  // Its last attempt that ended, if any.
  const StoredAttempt* lastEnded() const {
    for (auto attempt = attempts.rbegin(); attempt != attempts.rend(); ++attempt)
      if (!attempt->open) return &*attempt;
    return nullptr;
  }
};

struct RunInfo {
  std::int64_t id = 0;
  std::string listPath;
  std::string options;
  WallTime started;
  std::optional<WallTime> ended;
  bool complete = false;  // every lift reached done or given up
  bool going = false;     // a live qav-fleet is working on it now
  SettingMap baseValues;  // the values of the call its lifts have in common
};

struct RunRecord {
  RunInfo run;
  std::vector<StoredLift> lifts;
};

// A lift as one run saw it, for its history.
struct LiftInRun {
  RunInfo run;
  StoredLift lift;
};

}  // namespace qav::fleet

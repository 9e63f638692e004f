// A lift across the runs of a journal: when it was last programmed and with
// what, then every run and attempt that concerned it, newest first.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fleet/journal_records.h"

namespace qav::fleet {

// `history` as FleetJournal::liftHistory gives it; lifts that share a
// number but not a cabin are told apart.
std::string historyText(const std::vector<LiftInRun>& history);
nlohmann::json historyJson(const std::string& query, const std::vector<LiftInRun>& history);

}  // namespace qav::fleet

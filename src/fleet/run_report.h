// The report of one run: every lift with its result, the values sent, its
// attempts and their times, as German text, as JSON and as CSV for a
// spreadsheet.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "fleet/journal_records.h"

namespace qav::fleet {

std::string reportText(const RunRecord& record);
nlohmann::json reportJson(const RunRecord& record);

// One row per lift, every field quoted as RFC 4180 has it, ";" between
// fields and CRLF after each row, after a UTF-8 byte-order mark: German
// spreadsheets split at ";" (the comma is their decimal sign) and read the
// file as UTF-8 only with the mark.
std::string reportCsv(const RunRecord& record);

}  // namespace qav::fleet

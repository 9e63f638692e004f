// How a lift of the journal and its attempts read: German lines for the
// technician, and JSON for supervising programs. Shared by the report and
// the history.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fleet/journal_records.h"

namespace qav::fleet {

// Where a lift stands from its attempts, in the words of the report.
enum class LiftResult { NotCalled, Running, Lost, Done, Failed, Interrupted };

// `going`: the run is being worked on now, so an open attempt is running.
LiftResult liftResult(const StoredLift& lift, bool going);
// "erledigt", "fehlgeschlagen", "nicht angerufen", "läuft", "unterbrochen".
std::string resultWord(LiftResult result);
// "erledigt", "PIN prüfen", "nicht angerufen", …
std::string resultText(const StoredLift& lift, bool going);
// "done", "give-up", "retry-later", "interrupted", "not-called", "running".
std::string resultCode(const StoredLift& lift, bool going);

// "aufzug-7 (0301234, Kabine 2)"
std::string liftLabel(const StoredLift& lift);

// "Versuch 1: 09.12.2026 10:49:03 bis 10:49:40, erledigt", then one line
// for each value sent and for qav-cli's message, indented by two more.
std::vector<std::string> attemptLines(const StoredAttempt& attempt, bool going);

// The values that the lift's latest attempt with any confirmed.
const std::vector<std::string>* latestSent(const StoredLift& lift);

// A JSON string may only hold UTF-8: bytes of a list or a device that are
// none become U+FFFD.
std::string validUtf8(const std::string& text);

nlohmann::json attemptJson(const StoredAttempt& attempt);
nlohmann::json liftJson(const StoredLift& lift, bool going);
nlohmann::json runInfoJson(const RunInfo& run);

}  // namespace qav::fleet

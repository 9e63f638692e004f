#include "fleet/lift_history.h"

#include <utility>

#include "fleet/lift_text.h"
#include "fleet/time_text.h"

namespace qav::fleet {

namespace {

// The entries of one lift (target and cabin), in the order of the history.
struct LiftEntries {
  std::string target;
  std::uint32_t cabin = 0;
  std::vector<const LiftInRun*> entries;
};

std::vector<LiftEntries> byLift(const std::vector<LiftInRun>& history) {
  std::vector<LiftEntries> lifts;
  for (const LiftInRun& entry : history) {
    LiftEntries* found = nullptr;
    for (LiftEntries& lift : lifts)
      if (lift.target == entry.lift.target && lift.cabin == entry.lift.cabin) found = &lift;
    if (!found) found = &lifts.emplace_back(LiftEntries{entry.lift.target, entry.lift.cabin, {}});
    found->entries.push_back(&entry);
  }
  return lifts;
}

struct LastDone {
  const LiftInRun* entry = nullptr;
  const StoredAttempt* attempt = nullptr;
};

LastDone lastProgrammed(const LiftEntries& lift) {
  LastDone last;
  for (const LiftInRun* entry : lift.entries)
    for (const StoredAttempt& attempt : entry->lift.attempts)
      if (!attempt.open && attempt.record.outcome == LiftOutcome::Done &&
          (!last.attempt || attempt.record.ended > last.attempt->record.ended))
        last = {entry, &attempt};
  return last;
}

std::string where(const LiftInRun& entry) {
  return "Lauf " + std::to_string(entry.run.id) + ", Zeile " + std::to_string(entry.lift.line) + " von " +
         entry.run.listPath;
}

}  // namespace

std::string historyText(const std::vector<LiftInRun>& history) {
  std::string text;
  for (const LiftEntries& lift : byLift(history)) {
    const StoredLift& newest = lift.entries.front()->lift;
    text += (text.empty() ? "" : "\n") + std::string("Anlage ") + liftLabel(newest) + "\n";
    const LastDone last = lastProgrammed(lift);
    if (last.attempt) {
      text +=
          "  Zuletzt programmiert: " + localDateTime(last.attempt->record.ended) + " (" + where(*last.entry) + ")\n";
      for (const std::string& value : last.attempt->record.sent) text += "    gesendet: " + value + "\n";
    } else {
      text += "  Noch nie erfolgreich programmiert.\n";
    }
    for (const LiftInRun* entry : lift.entries) {
      text += "  " + where(*entry) + ": " + resultText(entry->lift, entry->run.going) + "\n";
      for (const StoredAttempt& attempt : entry->lift.attempts)
        for (const std::string& line : attemptLines(attempt, entry->run.going)) text += "    " + line + "\n";
    }
  }
  return text;
}

nlohmann::json historyJson(const std::string& query, const std::vector<LiftInRun>& history) {
  nlohmann::json lifts = nlohmann::json::array();
  for (const LiftEntries& lift : byLift(history)) {
    nlohmann::json runs = nlohmann::json::array();
    for (const LiftInRun* entry : lift.entries) {
      nlohmann::json run = liftJson(entry->lift, entry->run.going);
      run["run"] = runInfoJson(entry->run);
      runs.push_back(std::move(run));
    }
    const LastDone last = lastProgrammed(lift);
    nlohmann::json programmed = nullptr;
    if (last.attempt)
      programmed = {{"run", last.entry->run.id},
                    {"ended", isoUtc(last.attempt->record.ended)},
                    {"sent", attemptJson(*last.attempt)["sent"]}};
    lifts.push_back(
        {{"target", runs.front()["target"]}, {"cabin", lift.cabin}, {"lastProgrammed", programmed}, {"runs", runs}});
  }
  return {{"query", validUtf8(query)}, {"lifts", lifts}};
}

}  // namespace qav::fleet

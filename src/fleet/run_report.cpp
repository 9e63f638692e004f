#include "fleet/run_report.h"

#include <csv.h>

#include "fleet/lift_text.h"
#include "fleet/time_text.h"

namespace qav::fleet {

namespace {

struct Counts {
  std::size_t done = 0;
  std::size_t failed = 0;
  std::size_t open = 0;
};

Counts counted(const RunRecord& record) {
  Counts counts;
  for (const StoredLift& lift : record.lifts) {
    const LiftResult result = liftResult(lift, record.run.going);
    if (result == LiftResult::Done) {
      ++counts.done;
    } else if (result == LiftResult::Failed) {
      ++counts.failed;
    } else {
      ++counts.open;
    }
  }
  return counts;
}

std::string runState(const RunInfo& run) {
  if (run.complete) return "abgeschlossen: jede Anlage ist erledigt oder aufgegeben";
  if (run.going) return "läuft noch";
  if (run.ended) return "beendet, nicht jede Anlage ist fertig; mit --resume fortsetzbar";
  return "abgebrochen (qav-fleet endete unerwartet); mit --resume fortsetzbar";
}

std::string mark(LiftResult result) {
  switch (result) {
    case LiftResult::Done: return "[✓]";
    case LiftResult::Failed: return "[✗]";
    default: break;
  }
  return "[ ]";
}

std::string joined(const std::vector<std::string>& items, const std::string& between) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) text += (i == 0 ? "" : between) + items[i];
  return text;
}

// libcsv's own quoting: the field in double quotes, quotes inside doubled.
std::string quotedField(const std::string& field) {
  std::string quoted(field.size() * 2 + 2, '\0');
  quoted.resize(csv_write2(quoted.data(), quoted.size(), field.data(), field.size(), '"'));
  return quoted;
}

std::string csvRow(const std::vector<std::string>& fields) {
  std::string row;
  for (std::size_t i = 0; i < fields.size(); ++i) row += (i == 0 ? "" : ";") + quotedField(fields[i]);
  return row + "\r\n";
}

}  // namespace

std::string reportText(const RunRecord& record) {
  const RunInfo& run = record.run;
  const bool going = run.going;
  std::string text = "Lauf " + std::to_string(run.id) + " mit " + run.listPath + "\n";
  text += "Begonnen " + localDateTime(run.started);
  if (run.ended) text += ", beendet " + localDateTime(*run.ended);
  text += ": " + runState(run) + "\n";
  if (!run.options.empty()) text += "Optionen: " + run.options + "\n";
  const Counts counts = counted(record);
  text += std::to_string(record.lifts.size()) + " Anlagen: " + std::to_string(counts.done) + " erledigt, " +
          std::to_string(counts.failed) + " fehlgeschlagen, " + std::to_string(counts.open) + " offen\n";
  for (const StoredLift& lift : record.lifts) {
    text += "\n" + mark(liftResult(lift, going)) + " Zeile " + std::to_string(lift.line) + " " + liftLabel(lift) +
            ": " + resultText(lift, going) + "\n";
    if (!lift.remark.empty()) text += "    Bemerkung: " + lift.remark + "\n";
    for (const StoredAttempt& attempt : lift.attempts)
      for (const std::string& line : attemptLines(attempt, going)) text += "    " + line + "\n";
  }
  return text;
}

nlohmann::json reportJson(const RunRecord& record) {
  const Counts counts = counted(record);
  nlohmann::json lifts = nlohmann::json::array();
  for (const StoredLift& lift : record.lifts) lifts.push_back(liftJson(lift, record.run.going));
  return {
      {"run", runInfoJson(record.run)},
      {"summary",
       {{"lifts", record.lifts.size()}, {"done", counts.done}, {"failed", counts.failed}, {"open", counts.open}}},
      {"lifts", lifts},
  };
}

std::string reportCsv(const RunRecord& record) {
  std::string text = "\xEF\xBB\xBF";
  text += csvRow({"Lauf", "Zeile", "ID", "Ziel", "Kabine", "Bemerkung", "Ergebnis", "Erklärung", "Versuche", "Gesendet",
                  "Beginn", "Ende", "Letzte Meldung von qav-cli"});
  for (const StoredLift& lift : record.lifts) {
    const StoredAttempt* last = lift.lastEnded();
    const std::vector<std::string>* sent = latestSent(lift);
    std::string begin;
    std::string end;
    if (!lift.attempts.empty()) begin = spreadsheetTime(lift.attempts.front().record.started);
    if (last && last->endKnown) end = spreadsheetTime(last->record.ended);
    text += csvRow({std::to_string(record.run.id), std::to_string(lift.line), lift.id, lift.target,
                    std::to_string(lift.cabin), lift.remark, resultWord(liftResult(lift, record.run.going)),
                    last ? last->record.explanation : "", std::to_string(lift.attempts.size()),
                    sent ? joined(*sent, "; ") : "", begin, end, last ? last->record.errorLine : ""});
  }
  return text;
}

}  // namespace qav::fleet

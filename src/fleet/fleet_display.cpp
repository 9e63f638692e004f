#include "fleet/fleet_display.h"

#include <algorithm>
#include <ctime>
#include <ostream>

#include <nlohmann/json.hpp>

#include "fleet/outcome_text.h"

namespace qav::fleet {

namespace {

using Json = nlohmann::ordered_json;

std::string clockTime(WallTime when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char text[8];
  std::strftime(text, sizeof text, "%H:%M", &local);
  return text;
}

std::string isoTime(WallTime when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
  return text;
}

// "Zeile 4 aufzug-7 (0301234)", or "Zeile 4 0301234" for a lift without id.
std::string liftTitle(const FleetLift& lift) {
  std::string title = "Zeile " + std::to_string(lift.line) + " ";
  if (lift.id.empty()) return title + lift.settings.device.target;
  return title + lift.id + " (" + lift.settings.device.target + ")";
}

Json liftJson(const char* event, const FleetLift& lift) {
  return Json{{"event", event}, {"line", lift.line}, {"id", lift.id},
              {"target", lift.settings.device.target}};
}

const char* symbolOf(LiftOutcome outcome, bool final) {
  switch (outcome) {
    case LiftOutcome::Done: return "✓";
    case LiftOutcome::RetryLater: return final ? "✗" : "↻";
    case LiftOutcome::GiveUp: return "✗";
    case LiftOutcome::Interrupted: return "!";
  }
  return "?";
}

std::string attemptsText(int attempts) {
  return std::to_string(attempts) + (attempts == 1 ? " Versuch" : " Versuche");
}

}  // namespace

FleetDisplay::FleetDisplay(std::ostream& out, bool json, bool terminal)
    : out_(out), json_(json), terminal_(terminal && !json) {}

void FleetDisplay::clearStatus() {
  if (!statusShown_) return;
  out_ << "\r\x1b[K";
  statusShown_ = false;
}

void FleetDisplay::line(const std::string& text) {
  clearStatus();
  out_ << text << '\n' << std::flush;
}

void FleetDisplay::runStarted(std::int64_t run, std::size_t lifts, bool resumed) {
  if (json_) {
    line(Json{{"event", "run-start"}, {"run", run}, {"lifts", lifts}, {"resumed", resumed}}.dump());
    return;
  }
  line(std::string(resumed ? "Lauf " + std::to_string(run) + " wird fortgesetzt"
                           : "Lauf " + std::to_string(run) + " beginnt") +
       ": " + std::to_string(lifts) + (lifts == 1 ? " Anlage" : " Anlagen"));
}

void FleetDisplay::liftStarted(const FleetLift& lift, int attempt) {
  if (!json_) return;
  Json object = liftJson("lift-start", lift);
  object["attempt"] = attempt;
  line(object.dump());
}

void FleetDisplay::liftEnded(const FleetLift& lift, const AttemptRecord& attempt, bool final,
                             std::optional<WallTime> nextTry) {
  if (json_) {
    Json object = liftJson("lift-end", lift);
    object["attempt"] = attempt.number;
    object["outcome"] = outcomeCode(attempt.outcome);
    object["explanation"] = attempt.explanation;
    object["final"] = final;
    object["exit-status"] = attempt.exitStatus ? Json(*attempt.exitStatus) : Json(nullptr);
    object["error"] = attempt.errorLine;
    object["sent"] = attempt.sent;
    if (nextTry) object["next-try"] = isoTime(*nextTry);
    line(object.dump());
    return;
  }
  std::string text = std::string("[") + symbolOf(attempt.outcome, final) + "] " + liftTitle(lift) +
                     ": " + attempt.explanation;
  if (nextTry) text += "; neuer Versuch ab " + clockTime(*nextTry) + " Uhr";
  line(text);
}

void FleetDisplay::status(const FleetCounts& counts, std::optional<WallTime> estimatedEnd) {
  const std::string end = estimatedEnd ? clockTime(*estimatedEnd) : "--:--";
  if (json_) {
    if (lastCounts_ == counts) return;
    lastCounts_ = counts;
    Json object{{"event", "status"},          {"done", counts.done},
                {"failed", counts.failed},    {"running", counts.running},
                {"waiting", counts.waiting}};
    if (estimatedEnd) object["estimated-end"] = isoTime(*estimatedEnd);
    line(object.dump());
    return;
  }
  if (!terminal_) return;
  clearStatus();
  out_ << "erledigt " << counts.done << " · fehlgeschlagen " << counts.failed << " · läuft "
       << counts.running << " · wartet " << counts.waiting << " · Ende ca. " << end << std::flush;
  statusShown_ = true;
}

void FleetDisplay::stopRequested(int stage) {
  if (json_) {
    line(Json{{"event", "stop"}, {"stage", stage}}.dump());
    return;
  }
  static const char* const texts[] = {
      ("Abbruch: keine neuen Anrufe; laufende Anrufe werden zu Ende geführt (erneut Strg-C "
       "beendet sie)."),
      "Zweites Abbruchsignal: laufende Anrufe werden beendet.",
      "Drittes Abbruchsignal: verbliebene qav-cli werden sofort beendet.",
  };
  line(texts[std::clamp(stage, 1, 3) - 1]);
}

void FleetDisplay::runEnded(std::int64_t run, const std::vector<LiftSummary>& lifts,
                            const FleetCounts& counts, int exitStatus) {
  if (json_) {
    Json failed = Json::array();
    for (const LiftSummary& lift : lifts) {
      if (lift.outcome == LiftOutcome::Done) continue;
      Json object = liftJson("lift", *lift.lift);
      object.erase("event");
      object["outcome"] = lift.outcome ? Json(outcomeCode(*lift.outcome)) : Json(nullptr);
      object["explanation"] = lift.explanation;
      object["attempts"] = lift.attempts;
      object["final"] = lift.final;
      failed.push_back(object);
    }
    line(Json{{"event", "run-end"},        {"run", run},
              {"done", counts.done},       {"failed", counts.failed},
              {"open", counts.waiting},    {"exit-status", exitStatus},
              {"not-done", failed}}
             .dump());
    return;
  }
  line("Zusammenfassung Lauf " + std::to_string(run) + ": " + std::to_string(lifts.size()) +
       (lifts.size() == 1 ? " Anlage, " : " Anlagen, ") + std::to_string(counts.done) +
       " erledigt, " + std::to_string(counts.failed) + " fehlgeschlagen, " +
       std::to_string(counts.waiting) + " offen.");
  for (const LiftSummary& lift : lifts) {
    if (lift.outcome == LiftOutcome::Done) continue;
    const std::string why =
        lift.outcome ? lift.explanation : std::string("nicht angerufen");
    line("  " + liftTitle(*lift.lift) + ": " + why + " (" + attemptsText(lift.attempts) +
         (lift.final ? ")" : ", offen)"));
  }
}

}  // namespace qav::fleet

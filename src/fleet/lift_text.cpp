#include "fleet/lift_text.h"

#include <chrono>

#include "fleet/outcome_text.h"
#include "fleet/time_text.h"

namespace qav::fleet {

namespace {

nlohmann::json utf8List(const std::vector<std::string>& items) {
  nlohmann::json list = nlohmann::json::array();
  for (const std::string& item : items) list.push_back(validUtf8(item));
  return list;
}

const StoredAttempt* openAfterLastEnded(const StoredLift& lift) {
  if (lift.attempts.empty() || !lift.attempts.back().open) return nullptr;
  return &lift.attempts.back();
}

}  // namespace

std::string validUtf8(const std::string& text) {
  const std::string dumped = nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return nlohmann::json::parse(dumped).get<std::string>();
}

LiftResult liftResult(const StoredLift& lift, bool going) {
  if (openAfterLastEnded(lift)) return going ? LiftResult::Running : LiftResult::Lost;
  const StoredAttempt* last = lift.lastEnded();
  if (!last) return LiftResult::NotCalled;
  switch (last->record.outcome) {
    case LiftOutcome::Done: return LiftResult::Done;
    case LiftOutcome::RetryLater:
    case LiftOutcome::GiveUp: return LiftResult::Failed;
    case LiftOutcome::Interrupted: break;
  }
  return LiftResult::Interrupted;
}

std::string resultWord(LiftResult result) {
  switch (result) {
    case LiftResult::NotCalled: return "nicht angerufen";
    case LiftResult::Running: return "läuft";
    case LiftResult::Done: return "erledigt";
    case LiftResult::Failed: return "fehlgeschlagen";
    case LiftResult::Lost:
    case LiftResult::Interrupted: break;
  }
  return "unterbrochen";
}

std::string resultText(const StoredLift& lift, bool going) {
  const StoredAttempt* last = lift.lastEnded();
  switch (liftResult(lift, going)) {
    case LiftResult::NotCalled: return "nicht angerufen";
    case LiftResult::Running: return "Anruf läuft";
    case LiftResult::Lost: return "unterbrochen (qav-fleet endete während des Anrufs)";
    case LiftResult::Done: return "erledigt";
    case LiftResult::Interrupted: return "unterbrochen";
    case LiftResult::Failed: break;
  }
  const std::string reason = last->record.explanation.empty() ? "fehlgeschlagen" : last->record.explanation;
  return last->record.outcome == LiftOutcome::RetryLater ? reason + " (kann erneut versucht werden)" : reason;
}

std::string resultCode(const StoredLift& lift, bool going) {
  switch (liftResult(lift, going)) {
    case LiftResult::NotCalled: return "not-called";
    case LiftResult::Running: return "running";
    case LiftResult::Lost: return "interrupted";
    default: break;
  }
  return outcomeCode(lift.lastEnded()->record.outcome);
}

std::string liftLabel(const StoredLift& lift) {
  std::string label = lift.name();
  std::string details = lift.id.empty() ? "" : lift.target;
  if (lift.cabin != 0) details += (details.empty() ? "" : ", ") + std::string("Kabine ") + std::to_string(lift.cabin);
  return details.empty() ? label : label + " (" + details + ")";
}

std::vector<std::string> attemptLines(const StoredAttempt& attempt, bool going) {
  const AttemptRecord& record = attempt.record;
  std::string head = "Versuch " + std::to_string(record.number) + ": ";
  if (attempt.open) {
    head += "seit " + localDateTime(record.started) +
            (going ? ", läuft" : ", ohne Ende: qav-fleet endete während des Anrufs");
    return {head};
  }
  head += localDateTime(record.started);
  if (attempt.endKnown) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(record.ended - record.started).count();
    head += " bis " + localClock(record.ended) + " (" + std::to_string(seconds) + " s)";
  }
  head += ", " + outcomeWord(record.outcome);
  if (!record.explanation.empty() && record.outcome != LiftOutcome::Done) head += ": " + record.explanation;
  std::vector<std::string> lines{head};
  for (const std::string& value : record.sent) lines.push_back("  gesendet: " + value);
  if (!record.errorLine.empty()) lines.push_back("  Meldung von qav-cli: " + record.errorLine);
  if (!record.exitStatus && attempt.endKnown && record.outcome != LiftOutcome::Done)
    lines.push_back("  qav-cli wurde durch ein Signal beendet");
  return lines;
}

const std::vector<std::string>* latestSent(const StoredLift& lift) {
  for (auto attempt = lift.attempts.rbegin(); attempt != lift.attempts.rend(); ++attempt)
    if (!attempt->open && !attempt->record.sent.empty()) return &attempt->record.sent;
  return nullptr;
}

nlohmann::json attemptJson(const StoredAttempt& attempt) {
  const AttemptRecord& record = attempt.record;
  const bool ended = !attempt.open && attempt.endKnown;
  return {
      {"number", record.number},
      {"started", isoUtc(record.started)},
      {"ended", ended ? nlohmann::json(isoUtc(record.ended)) : nlohmann::json(nullptr)},
      {"exitStatus", record.exitStatus && !attempt.open ? nlohmann::json(*record.exitStatus) : nlohmann::json(nullptr)},
      {"errorLine", validUtf8(record.errorLine)},
      {"sent", utf8List(record.sent)},
      {"outcome", attempt.open ? nlohmann::json(nullptr) : nlohmann::json(outcomeCode(record.outcome))},
      {"explanation", validUtf8(record.explanation)},
  };
}

nlohmann::json liftJson(const StoredLift& lift, bool going) {
  nlohmann::json attempts = nlohmann::json::array();
  for (const StoredAttempt& attempt : lift.attempts) attempts.push_back(attemptJson(attempt));
  const StoredAttempt* last = lift.lastEnded();
  return {
      {"line", lift.line},
      {"id", validUtf8(lift.id)},
      {"target", validUtf8(lift.target)},
      {"cabin", lift.cabin},
      {"remark", validUtf8(lift.remark)},
      {"result", resultCode(lift, going)},
      {"explanation", last ? validUtf8(last->record.explanation) : ""},
      {"attempts", attempts},
  };
}

nlohmann::json runInfoJson(const RunInfo& run) {
  return {
      {"id", run.id},
      {"list", validUtf8(run.listPath)},
      {"options", validUtf8(run.options)},
      {"started", isoUtc(run.started)},
      {"ended", run.ended ? nlohmann::json(isoUtc(*run.ended)) : nlohmann::json(nullptr)},
      {"complete", run.complete},
      {"going", run.going},
  };
}

}  // namespace qav::fleet

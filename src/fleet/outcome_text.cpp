#include "fleet/outcome_text.h"

#include <array>
#include <utility>

namespace qav::fleet {

namespace {

struct Names {
  LiftOutcome outcome;
  const char* code;
  const char* word;
};

constexpr std::array<Names, 4> names{{
    {LiftOutcome::Done, "done", "erledigt"},
    {LiftOutcome::RetryLater, "retry-later", "später erneut"},
    {LiftOutcome::GiveUp, "give-up", "aufgegeben"},
    {LiftOutcome::Interrupted, "interrupted", "unterbrochen"},
}};

const Names& namesOf(LiftOutcome outcome) {
  for (const Names& entry : names)
    if (entry.outcome == outcome) return entry;
  return names.back();
}

}  // namespace

std::string outcomeCode(LiftOutcome outcome) { return namesOf(outcome).code; }

std::optional<LiftOutcome> outcomeFromCode(std::string_view code) {
  for (const Names& entry : names)
    if (code == entry.code) return entry.outcome;
  return std::nullopt;
}

std::string outcomeWord(LiftOutcome outcome) { return namesOf(outcome).word; }

}  // namespace qav::fleet

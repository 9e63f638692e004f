#include "menu/progress_tracker.h"

#include <algorithm>
#include <utility>

namespace qav::menu {

namespace {

constexpr std::string_view middlePrefix = "  ├─ ";
constexpr std::string_view lastPrefix = "  └─ ";
constexpr std::string_view attemptOpening = " (Versuch ";

bool isSegmentLine(const std::string& message) {
  return message.starts_with(middlePrefix) || message.starts_with(lastPrefix);
}

// "a/N" from the closing " (Versuch a/N)"; empty when the line has none.
std::string attemptOf(const std::string& message) {
  const std::size_t at = message.rfind(attemptOpening);
  if (at == std::string::npos || message.back() != ')') return {};
  const std::size_t start = at + attemptOpening.size();
  return message.substr(start, message.size() - 1 - start);
}

}  // namespace

ProgressTracker::ProgressTracker(PlanOutline outline) : outline(std::move(outline)) {}

std::size_t ProgressTracker::finished() const {
  return std::min(total(), completedSegments + finishedInAction);
}

bool ProgressTracker::isPlanAction(const std::string& name) const {
  return outline.segmentsOf(name).has_value();
}

void ProgressTracker::observe(const CliEvent& event) {
  if (!isPlanAction(event.event)) return;
  if (event.level == "pending") {
    if (!isSegmentLine(event.message))
      startAction(event.event);
    else
      segmentSent(event.message);
  } else if (event.level == "retry") {
    restartAction();
  } else if (event.level == "success") {
    actionSucceeded(event.event);
  }
}

void ProgressTracker::startAction(const std::string& name) {
  currentAction = name;
  restartAction();
}

void ProgressTracker::segmentSent(const std::string& message) {
  // A new attempt number means the sequence started over, even if its
  // retry line was lost.
  const std::string attempt = attemptOf(message);
  if (attempt != currentAttempt) {
    currentAttempt = attempt;
    sentInAttempt = 0;
  }
  finishedInAction = sentInAttempt;
  ++sentInAttempt;
}

void ProgressTracker::restartAction() {
  currentAttempt.clear();
  sentInAttempt = 0;
  finishedInAction = 0;
}

void ProgressTracker::actionSucceeded(const std::string& name) {
  completedSegments += outline.segmentsOf(name).value_or(sentInAttempt);
  currentAction.clear();
  restartAction();
}

}  // namespace qav::menu

// Counts the finished plan segments of a programming call from its event
// stream, against the total that the dry run of the same settings listed.
#pragma once

#include <cstddef>
#include <string>

#include "menu/cli_event.h"
#include "menu/plan_outline.h"

namespace qav::menu {

// Per action the dialogue reports: pending "<title> konfigurieren …" once;
// pending "  ├─ "/"  └─ " <label> " (Versuch a/N)" as each segment is sent;
// retry when the whole sequence starts again from its first segment; success
// when the last segment was confirmed. A segment is finished when the next
// one of the same attempt is sent or when its action succeeds. Events of
// other names (sip, call, auth, hangup, ...) do not move the count.
class ProgressTracker {
 public:
  explicit ProgressTracker(PlanOutline outline);

  void observe(const CliEvent& event);

  std::size_t finished() const;
  std::size_t total() const { return outline.totalSegments(); }

 private:
  bool isPlanAction(const std::string& name) const;
  void startAction(const std::string& name);
  void segmentSent(const std::string& message);
  void restartAction();
  void actionSucceeded(const std::string& name);

  PlanOutline outline;
  std::size_t completedSegments = 0;  // of actions that have succeeded
  std::string currentAction;
  std::string currentAttempt;  // "a/N" of the attempt in progress
  std::size_t sentInAttempt = 0;
  std::size_t finishedInAction = 0;
};

}  // namespace qav::menu

// The report of one programming call (setting "report"): a JSON document
// that a technician can file, written when the run ends, however it ends.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "dialogue/dialogue_log.h"
#include "settings/settings.h"

namespace qav {

// Created before the call, so that a path that cannot take the report ends
// the run before anything is sent; written once by finish. The PINs and the
// SIP password never reach it. Main thread only; it owns its temporary file
// beside the target until finish renames it into place.
class CallReport : public DialogueLog {
 public:
  // Throws std::runtime_error for a folder, a missing folder, a file that
  // is not a regular one or one without write permission.
  explicit CallReport(const Settings& settings);
  ~CallReport() override;
  CallReport(const CallReport&) = delete;
  CallReport& operator=(const CallReport&) = delete;

  void exchanged(const Exchange& exchange) override;
  void planned(const CommandPlan& plan) override;
  void programmed(const PlanAction& action) override;

  // Writes the document with the run's outcome (error empty: the call was
  // completed; signal: the one that interrupted it, or 0) and renames it
  // into place at once. Returns why it could not be written, or "".
  std::string finish(const std::string& error, int signal);

 private:
  std::string document(const std::string& error, int signal) const;
  std::string secretFree(const std::string& event, const std::string& digits) const;

  const Settings& settings;
  std::string temporaryPath;
  int fd = -1;
  std::chrono::system_clock::time_point started;
  std::vector<Exchange> exchanges;
  bool hasPlan = false;
  CommandPlan plan;
  std::vector<PlanAction> done;
};

}  // namespace qav

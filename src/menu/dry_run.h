// Checking settings and listing the plan with qav-cli's own dry run, so that
// the menu never keeps a second copy of qav-cli's rules.
#pragma once

#include <string>
#include <vector>

#include "menu/child_process.h"
#include "menu/plan_outline.h"
#include "settings/settings.h"

namespace qav::menu {

struct DryRunResult {
  ChildExit exit;
  std::vector<std::string> outputLines;  // JSON events as qav-cli wrote them
  std::vector<std::string> errors;       // its "Fehler: " lines
  PlanOutline outline;

  bool valid() const { return exit.exited && exit.code == 0; }
};

DryRunResult runDryRun(const std::string& cliPath, const Settings& settings);

// Standard error without the pointer to --help, which means nothing to
// someone using the menu.
bool isHelpHint(const std::string& errorLine);

}  // namespace qav::menu

#include <unistd.h>

#include <stdexcept>

#include "menu/cli_invocation.h"
#include "menu/dry_run.h"
#include "menu/exit_meaning.h"
#include "menu/run_view.h"
#include "menu/screens.h"

namespace qav::menu {

namespace {

// The plan is checked and counted by a dry run of the very same settings
// first, so a run with invalid settings never dials and the bar knows its
// total before the first event arrives.
std::optional<PlanOutline> checkedOutline(MenuSession& session) {
  const DryRunResult result = runDryRun(session.cliPath, session.settings);
  if (result.valid()) return result.outline;
  for (const std::string& line : result.errors) session.console.status("error", line);
  session.console.status("error", "Der Plan ist ungültig; es wird nicht angerufen.");
  return std::nullopt;
}

void execute(MenuSession& session, const PlanOutline& outline) {
  Console& console = session.console;
  // The bar is redrawn in place only where a person watches a terminal.
  RunView view(console.stream(), ::isatty(1) == 1, console.colour(), outline);
  ChildExit exit;
  try {
    const RunConfigFile file(session.settings);
    exit = runChild(
        cliCall(session.cliPath, file.path(), session.settings, false),
        [&](const std::string& line) { view.outputLine(line); },
        [&](const std::string& line) { view.errorLine(line); });
  } catch (const std::runtime_error& error) {
    view.errorLine(std::string("Fehler: ") + error.what());
    exit = {true, 127, 0};
  }
  view.finish(exit);
}

}  // namespace

void runProgramming(MenuSession& session) {
  Console& console = session.console;
  if (session.cliPath.empty()) {
    console.status("error", "qav-cli wurde weder neben qav-menu noch im PATH gefunden.");
    return;
  }
  const auto outline = checkedOutline(session);
  if (!outline) return;
  console.say("");
  console.say("Programmierung von " + session.settings.device.target + ": " +
              std::to_string(outline->actions.size()) + " Aktionen, " +
              std::to_string(outline->totalSegments()) + " Schritte.");
  if (!console.confirm("Jetzt anrufen und programmieren?")) return;
  execute(session, *outline);
}

}  // namespace qav::menu

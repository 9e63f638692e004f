#include "menu/cli_event.h"
#include "menu/dry_run.h"
#include "menu/exit_meaning.h"
#include "menu/screens.h"

namespace qav::menu {

namespace {

bool haveCli(MenuSession& session) {
  if (!session.cliPath.empty()) return true;
  session.console.status("error", "qav-cli wurde weder neben qav-menu noch im PATH gefunden.");
  return false;
}

void showErrors(MenuSession& session, const DryRunResult& result) {
  for (const std::string& line : result.errors) session.console.status("error", line);
}

}  // namespace

bool checkSettings(MenuSession& session) {
  if (!haveCli(session)) return false;
  const DryRunResult result = runDryRun(session.cliPath, session.settings);
  if (result.valid()) {
    session.console.status("success", "qav-cli hat die Einstellungen geprüft: gültig.");
    return true;
  }
  showErrors(session, result);
  if (result.errors.empty()) session.console.status("error", exitMeaning(result.exit));
  return false;
}

bool planPreview(MenuSession& session) {
  if (!haveCli(session)) return false;
  session.console.say("");
  session.console.say("Planvorschau (Probelauf von qav-cli, es wird nicht angerufen)");
  const DryRunResult result = runDryRun(session.cliPath, session.settings);
  const bool colour = session.console.colour();
  for (const std::string& line : result.outputLines) {
    const auto event = parseCliEvent(line);
    session.console.say(event ? renderEvent(*event, colour) : renderRawLine(line));
  }
  showErrors(session, result);
  if (result.valid())
    session.console.say("Der Plan umfasst " + std::to_string(result.outline.actions.size()) +
                        " Aktionen mit " + std::to_string(result.outline.totalSegments()) +
                        " Schritten.");
  else
    session.console.status("error", exitMeaning(result.exit));
  return result.valid();
}

}  // namespace qav::menu

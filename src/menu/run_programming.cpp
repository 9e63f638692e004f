#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "menu/cli_invocation.h"
#include "menu/dry_run.h"
#include "menu/exit_meaning.h"
#include "menu/field_editor.h"
#include "menu/menu_fields.h"
#include "menu/run_view.h"
#include "menu/screens.h"
#include "settings/validation.h"

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

// What qav-cli requires of the account for a call and not for a dry run:
// its own findings, compared with and without a call following.
std::vector<std::string> accountFindings(const Settings& settings) {
  const std::vector<std::string> withoutCall = validateSettings(settings, false);
  std::vector<std::string> findings;
  for (const std::string& finding : validateSettings(settings, true))
    if (std::find(withoutCall.begin(), withoutCall.end(), finding) == withoutCall.end())
      findings.push_back(finding);
  return findings;
}

// The fields a finding names by their label ("SIP-Server fehlt.").
std::vector<std::string> namedFields(const std::vector<std::string>& findings) {
  std::vector<std::string> keys;
  for (const std::string& key : sipFieldKeys())
    for (const std::string& finding : findings)
      if (finding.starts_with(fieldInfo(key).label + " ")) {
        keys.push_back(key);
        break;
      }
  return keys;
}

}  // namespace

bool accountReadyForCall(MenuSession& session) {
  Console& console = session.console;
  for (std::vector<std::string> findings = accountFindings(session.settings); !findings.empty();
       findings = accountFindings(session.settings)) {
    console.say("");
    console.say("Für den Anruf fehlt noch etwas am SIP-Konto:");
    for (const std::string& finding : findings) console.status("error", finding);
    const std::vector<std::string> keys = namedFields(findings);
    if (keys.empty()) {
      if (sipAccountScreen(session, "Weiter") == StepEnd::Back) return false;
      continue;
    }
    for (const std::string& key : keys)
      if (askField(session, key) == FieldAnswer::Back) {
        console.say("Ohne vollständiges SIP-Konto wird nicht angerufen.");
        return false;
      }
  }
  return true;
}

void runProgramming(MenuSession& session) {
  Console& console = session.console;
  if (session.cliPath.empty()) {
    console.status("error", "qav-cli wurde weder neben qav-menu noch im PATH gefunden.");
    return;
  }
  if (!accountReadyForCall(session)) return;
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

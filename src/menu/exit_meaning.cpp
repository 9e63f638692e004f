#include "menu/exit_meaning.h"

#include <algorithm>

#include "settings/action_catalogue.h"
#include "report/failure_explanations.h"

namespace qav::menu {

namespace {

constexpr int notStarted = 127;

std::string actionTitle(const std::string& name) {
  for (const CatalogueEntry& entry : actionCatalogue())
    if (name == entry.name) return entry.title;
  return name;
}

std::string titles(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + actionTitle(name);
  return text;
}

}  // namespace

std::string exitMeaning(const ChildExit& exit) {
  if (!exit.exited) return "qav-cli wurde vorzeitig beendet (Signal " + std::to_string(exit.signal) + ").";
  switch (exit.code) {
    case 0:
      return "Programmierung erfolgreich: das QAV hat alles bestätigt.";
    case 2:
      return "Die Einstellungen sind ungültig; es wurde nichts gesendet.";
    case 3:
      return "Die Programmierung ist fehlgeschlagen.";
    case notStarted:
      return "qav-cli konnte nicht gestartet werden.";
    default:
      return "qav-cli endete unerwartet (Status " + std::to_string(exit.code) + ").";
  }
}

std::string exitLevel(const ChildExit& exit) {
  return exit.exited && exit.code == 0 ? "success" : "error";
}

std::vector<std::string> failureAdvice(const ChildExit& exit, const CallTranscript& transcript) {
  if (exit.exited && (exit.code == 0 || exit.code == 2 || exit.code == notStarted)) return {};
  const std::optional<int> status = exit.exited ? std::optional<int>(exit.code) : std::nullopt;
  const ExplainedFailure explained =
      explainRun(status, transcript.lastError(), transcript.lastStep());
  return {"Ursache: " + explained.cause, "Nächster Schritt: " + explained.nextStep};
}

std::vector<std::string> runSummary(const PlanOutline& outline, const CallTranscript& transcript) {
  const std::vector<std::string>& done = transcript.programmed();
  std::vector<std::string> missing;
  for (const OutlineAction& action : outline.actions)
    if (std::find(done.begin(), done.end(), action.name) == done.end())
      missing.push_back(action.name);
  std::vector<std::string> lines;
  lines.push_back("Programmiert: " + (done.empty() ? std::string("nichts") : titles(done)));
  if (!missing.empty()) lines.push_back("Nicht programmiert: " + titles(missing));
  if (!transcript.sent().empty()) lines.push_back("Gesendete Werte:");
  for (const std::string& label : transcript.sent()) lines.push_back("  " + label);
  return lines;
}

}  // namespace qav::menu

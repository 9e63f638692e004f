// qav-cli: programs a QAV lift emergency telephone over a SIP line.
#include <chrono>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/menu_handover.h"
#include "app/programming_call.h"
#include "app/version.h"
#include "report/plan_listing.h"
#include "report/reporter.h"
#include "settings/command_line.h"
#include "settings/settings_sources.h"
#include "settings/validation.h"

namespace {

// Values from the command line, the environment and the configuration file
// reach these lines; escaped, every error stays one line.
void writeError(const std::string& message) {
  std::cerr << "Fehler: " << qav::escapeControlBytes(message) << '\n';
}

int reportInvalidSettings(const std::vector<std::string>& problems) {
  for (const std::string& problem : problems) writeError(problem);
  std::cerr << "Mit --help werden alle Optionen angezeigt.\n";
  return 2;
}

// A misspelt key leaves its setting at the default without a word otherwise.
void reportUnknownKeys(const std::vector<qav::UnknownConfigKey>& unknownKeys,
                       qav::Reporter& reporter) {
  for (const qav::UnknownConfigKey& unknown : unknownKeys)
    reporter.info("config", "Unbekannter Schlüssel „" + qav::escapeControlBytes(unknown.key) +
                                "“ in " + qav::escapeControlBytes(unknown.path) + ", Zeile " +
                                std::to_string(unknown.line) + " – wird ignoriert");
}

int runJob(int argc, char** argv) {
  const qav::CommandLine commandLine = qav::parseCommandLine(argc, argv);
  if (commandLine.help) {
    std::cout << qav::helpText() << std::flush;
    return 0;
  }
  if (commandLine.version) {
    std::cout << qav::versionLine << '\n' << std::flush;
    return 0;
  }
  std::vector<qav::UnknownConfigKey> unknownKeys;
  const qav::Settings settings = qav::mergeSettings(commandLine, unknownKeys);
  const std::vector<std::string> problems = qav::validateSettings(settings, !settings.dryRun);
  if (!problems.empty()) return reportInvalidSettings(problems);

  qav::Reporter reporter(settings.color, settings.json);
  reportUnknownKeys(unknownKeys, reporter);
  if (settings.dryRun) {
    qav::listPlan(settings.device, std::chrono::system_clock::now(), reporter);
    reporter.success("dry-run", "Konfiguration und Befehlsplan sind gültig; kein Anruf ausgeführt.");
    return 0;
  }
  qav::runProgrammingCall(settings, reporter);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc <= 1) return qav::handOverToMenu(argc == 1 ? argv[0] : nullptr);
  try {
    return runJob(argc, argv);
  } catch (const std::exception& error) {
    std::cout.flush();
    writeError(error.what());
  } catch (...) {
    std::cout.flush();
    std::cerr << "Fehler: unbekannter interner Fehler\n";
  }
  return 3;
}

// qav-cli: programs a QAV lift emergency telephone over a SIP line.
#include <chrono>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/menu_handover.h"
#include "app/programming_call.h"
#include "report/plan_listing.h"
#include "report/reporter.h"
#include "settings/command_line.h"
#include "settings/settings_sources.h"
#include "settings/validation.h"

namespace {

constexpr const char* versionLine = "qav-cli 0.1.2";

int reportInvalidSettings(const std::vector<std::string>& problems) {
  for (const std::string& problem : problems) std::cerr << "Fehler: " << problem << '\n';
  std::cerr << "Mit --help werden alle Optionen angezeigt.\n";
  return 2;
}

int runJob(int argc, char** argv) {
  const qav::CommandLine commandLine = qav::parseCommandLine(argc, argv);
  if (commandLine.help) {
    std::cout << qav::helpText() << std::flush;
    return 0;
  }
  if (commandLine.version) {
    std::cout << versionLine << '\n' << std::flush;
    return 0;
  }
  const qav::Settings settings = qav::mergeSettings(commandLine);
  const std::vector<std::string> problems = qav::validateSettings(settings, !settings.dryRun);
  if (!problems.empty()) return reportInvalidSettings(problems);

  qav::Reporter reporter(settings.color, settings.json);
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
    std::cerr << "Fehler: " << error.what() << '\n';
  } catch (...) {
    std::cout.flush();
    std::cerr << "Fehler: unbekannter interner Fehler\n";
  }
  return 3;
}

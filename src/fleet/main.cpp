// qav-fleet: programs every QAV of a device list through qav-cli, one child
// process a lift, and keeps a journal of the runs.
#include <chrono>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "fleet/device_list.h"
#include "fleet/fleet_command_line.h"
#include "fleet/fleet_run.h"
#include "fleet/fleet_run_request.h"
#include "fleet/journal_commands.h"
#include "fleet/plan_listing.h"
#include "report/reporter.h"
#include "settings/settings_sources.h"

namespace {

using namespace qav::fleet;

constexpr const char* versionLine = "qav-fleet 0.1.2";

// Status 2: invalid input, found before any call was placed.
int reportInvalidOptions(const std::string& problem) {
  std::cerr << "Fehler: " << problem << '\n' << "Mit --help werden alle Optionen angezeigt.\n";
  return 2;
}

// Written at once: a list of many bad rows would otherwise cost a system
// call for every piece of every line on the unbuffered error stream.
int reportFindings(const std::vector<LineFinding>& findings) {
  std::string text;
  for (const LineFinding& finding : findings) text += "Fehler: " + describe(finding) + '\n';
  std::cerr << text << std::flush;
  return 2;
}

int listPlans(const FleetRunRequest& request) {
  qav::Reporter reporter(request.common.color, request.options.json);
  const std::vector<LineFinding> findings =
      listFleetPlans(request.lifts, std::chrono::system_clock::now(), reporter);
  if (!findings.empty()) return reportFindings(findings);
  reporter.success("dry-run", std::to_string(request.lifts.size()) +
                                  " Anlagen: Liste und Befehlspläne sind gültig; kein Anruf ausgeführt.");
  return 0;
}

int run(const FleetCommandLine& commandLine) {
  FleetRunRequest request;
  try {
    request.common = qav::mergeSettings(commandLine.common);
  } catch (const std::exception& error) {
    return reportInvalidOptions(error.what());
  }
  request.listPath = commandLine.listPath;
  request.options = commandLine.options;
  request.commandLine = commandLine.shownArguments;
  if (request.options.dbPath.empty()) request.options.dbPath = defaultDatabasePath(request.listPath);

  DeviceList list = readDeviceList(request.listPath, request.common, !request.options.dryRun);
  if (!list.findings.empty()) return reportFindings(list.findings);
  request.lifts = std::move(list.lifts);
  if (request.options.dryRun) return listPlans(request);
  return runFleet(request);
}

int dispatch(int argc, char** argv) {
  FleetCommandLine commandLine;
  try {
    commandLine = parseFleetCommandLine(argc, argv);
  } catch (const std::exception& error) {
    return reportInvalidOptions(error.what());
  }
  switch (commandLine.command) {
    case FleetCommand::Help:
      std::cout << fleetHelpText() << std::flush;
      return 0;
    case FleetCommand::Version:
      std::cout << versionLine << '\n' << std::flush;
      return 0;
    case FleetCommand::Run:
      return run(commandLine);
    case FleetCommand::Report:
      return journalCommand("report", commandLine.arguments);
    case FleetCommand::History:
      return journalCommand("history", commandLine.arguments);
  }
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return dispatch(argc, argv);
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "Fehler: " << error.what() << '\n';
  } catch (...) {
    std::cout.flush();
    std::cerr << "Fehler: unbekannter interner Fehler\n";
  }
  return 3;
}

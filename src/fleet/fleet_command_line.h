// qav-fleet's arguments: the command, the fleet's own options of `run`, and
// every other option handed to qav-cli's parser for the common settings.
#pragma once

#include <string>
#include <vector>

#include "fleet/fleet_run_request.h"
#include "settings/command_line.h"

namespace qav::fleet {

enum class FleetCommand { Run, Report, History, Help, Version };

// Plain value.
struct FleetCommandLine {
  FleetCommand command = FleetCommand::Help;
  std::string listPath;                // run
  FleetOptions options;                // run
  CommandLine common;                  // run: qav-cli's options, as qav-cli parses them
  std::string shownArguments;          // run: for the journal, password masked
  std::vector<std::string> arguments;  // report and history: theirs, as given
};

// Throws std::runtime_error with the German message on the first bad
// argument; a help or version request anywhere wins over bad arguments.
FleetCommandLine parseFleetCommandLine(int argc, const char* const* argv);

// "qav-fleet.db" in the directory of the list.
std::string defaultDatabasePath(const std::string& listPath);

const std::string& fleetHelpText();

}  // namespace qav::fleet

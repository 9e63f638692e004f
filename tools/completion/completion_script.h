// bash completion scripts for qav-cli, qav-menu and qav-fleet, written from
// qav-cli's setting table: option words, value words and file arguments.
#pragma once

#include <string>

namespace qav::completion {

std::string cliCompletion();
std::string menuCompletion();
// qav-fleet's own options are read from its help text; `commands` are the
// words its first argument may be.
std::string fleetCompletion(const std::string& fleetHelpText, const std::string& commands);

}  // namespace qav::completion

// qav-completion DIRECTORY: writes the bash completion scripts of the
// installed programs into DIRECTORY, one file named after each program.
#include <fstream>
#include <iostream>
#include <regex>
#include <string>

#include "completion/completion_script.h"
#include "fleet/fleet_command_line.h"

namespace {

// "qav-fleet run LISTE", "qav-fleet report ..." in the usage lines.
std::string fleetCommands(const std::string& helpText) {
  std::string words = "--help --version";
  const std::regex usage("\n  qav-fleet ([a-z]+)");
  for (std::sregex_iterator it(helpText.begin(), helpText.end(), usage), end; it != end; ++it)
    words += " " + (*it)[1].str();
  return words;
}

bool write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::trunc);
  out << text;
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Aufruf: qav-completion VERZEICHNIS\n";
    return 2;
  }
  const std::string directory = argv[1];
  const std::string& fleetHelp = qav::fleet::fleetHelpText();
  const bool written =
      write(directory + "/qav-cli", qav::completion::cliCompletion()) &&
      write(directory + "/qav-menu", qav::completion::menuCompletion()) &&
      write(directory + "/qav-fleet",
            qav::completion::fleetCompletion(fleetHelp, fleetCommands(fleetHelp)));
  if (!written) {
    std::cerr << "qav-completion: " << directory << " kann nicht beschrieben werden\n";
    return 1;
  }
  return 0;
}

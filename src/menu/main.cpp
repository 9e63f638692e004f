// qav-menu: guides a technician through programming a QAV with qav-cli.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>

#include "menu/cli_locator.h"
#include "menu/screens.h"
#include "menu/settings_file.h"
#include "settings/command_line.h"
#include "settings/config_file.h"

namespace {

using namespace qav::menu;

bool colourWanted() {
  const char* term = std::getenv("TERM");
  return ::isatty(1) == 1 && std::getenv("NO_COLOR") == nullptr &&
         !(term != nullptr && std::strcmp(term, "dumb") == 0);
}

// The menu starts from the file qav-cli itself would read when called
// without --config, so that both show the same installation.
void loadInstalledSettings(MenuSession& session) {
  const auto path = qav::locateConfigFile(qav::CommandLine{});
  if (!path) return;
  try {
    session.settings = loadSettingsFile(*path).settings;
    session.filePath = *path;
    session.console.status("info", "Einstellungen geladen aus " + *path);
  } catch (const std::exception& error) {
    session.console.status("error", std::string("Fehler: ") + error.what());
  }
}

}  // namespace

int main(int /*argc*/, char** argv) {
  Console console(std::cin, std::cout, ::isatty(0) == 1, colourWanted());
  MenuSession session{console, {}, findQavCli(argv[0]).value_or(""), ""};
  console.say("qav-menu – QAV-Notruftelefon über qav-cli programmieren");
  if (session.cliPath.empty())
    console.status("error",
                   "qav-cli wurde weder neben qav-menu noch im PATH gefunden; "
                   "Prüfung, Vorschau und Programmierung sind nicht möglich.");
  try {
    loadInstalledSettings(session);
    mainMenu(session);
  } catch (const InputEnded&) {
  } catch (const std::exception& error) {
    std::cerr << "Fehler: " << error.what() << '\n';
    return 3;
  }
  return 0;
}

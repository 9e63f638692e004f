// qav-menu: guides a technician through programming a QAV with qav-cli.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>

#include "app/version.h"
#include "menu/cli_locator.h"
#include "menu/screens.h"
#include "menu/settings_file.h"
#include "settings/command_line.h"
#include "settings/config_file.h"
#include "report/reporter.h"

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
    session.stored = session.settings;
    session.filePath = *path;
    session.console.status("info", "Einstellungen geladen aus " + *path);
  } catch (const std::exception& error) {
    session.console.status("error", std::string("Fehler: ") + error.what());
  }
}

constexpr const char* helpText =
    "Aufruf: qav-menu [--help | --version]\n"
    "\n"
    "Führt Schritt für Schritt durch die Programmierung eines QAV-Notruftelefons\n"
    "mit qav-cli: Rufnummer, Kabine und PIN, die zu programmierenden Aktionen, das\n"
    "SIP-Konto, eine Planvorschau ohne Anruf und der Anruf selbst. Einstellungen\n"
    "lassen sich als Konfigurationsdatei für qav-cli speichern und wieder laden.\n"
    "\n"
    "Bedienung:\n"
    "  Nummer + Enter     Menüpunkt wählen\n"
    "  Enter              Wert behalten\n"
    "  -                  Wert leeren\n"
    "  <                  einen Schritt zurück\n"
    "  Strg-C             Eingabe abbrechen, zurück zum Hauptmenü\n"
    "  Strg-D             Menü sofort beenden\n"
    "\n"
    "Optionen:\n"
    "  --help             Diese Hilfe anzeigen\n"
    "  --version          Version anzeigen\n"
    "\n"
    "qav-cli wird neben qav-menu oder im PATH gesucht; Einstellungen werden aus der\n"
    "Datei geladen, die qav-cli ohne --config lesen würde.\n";

// The same release as the qav-cli it comes with.
std::string versionLine() {
  const std::string cli = qav::versionLine;
  return "qav-menu" + cli.substr(cli.find(' '));
}

// --help and --version answer; anything else is refused like qav-cli does.
std::optional<int> answerArguments(int argc, char** argv) {
  if (argc <= 1) return std::nullopt;
  const std::string argument = argv[1];
  if (argc == 2 && (argument == "--help" || argument == "-h")) {
    std::cout << helpText << std::flush;
    return 0;
  }
  if (argc == 2 && argument == "--version") {
    std::cout << versionLine() << '\n' << std::flush;
    return 0;
  }
  std::cerr << "Fehler: Unbekannte Option: " << qav::escapeControlBytes(argument) << '\n'
            << "Mit --help werden alle Optionen angezeigt.\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto status = answerArguments(argc, argv)) return *status;
  Console console(std::cin, std::cout, ::isatty(0) == 1, colourWanted());
  catchInterrupts();
  MenuSession session{console, {}, findQavCli(argv[0]).value_or(""), "", {}};
  console.say("qav-menu – QAV-Notruftelefon über qav-cli programmieren");
  if (session.cliPath.empty())
    console.status("error",
                   "qav-cli wurde weder neben qav-menu noch im PATH gefunden; "
                   "Prüfung, Vorschau und Programmierung sind nicht möglich.");
  try {
    loadInstalledSettings(session);
    mainMenu(session);
  } catch (const InputEnded&) {
    console.say("Ende der Eingabe – qav-menu beendet.");
  } catch (const std::exception& error) {
    std::cerr << "Fehler: " << error.what() << '\n';
    return 3;
  }
  return 0;
}

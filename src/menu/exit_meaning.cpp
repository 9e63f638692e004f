#include "menu/exit_meaning.h"

namespace qav::menu {

std::string exitMeaning(const ChildExit& exit) {
  if (!exit.exited)
    return "qav-cli wurde durch Signal " + std::to_string(exit.signal) + " beendet.";
  const std::string status = "Exit-Status " + std::to_string(exit.code) + ": ";
  switch (exit.code) {
    case 0:
      return status + "Erfolg.";
    case 2:
      return status + "ungültige Einstellungen, es wurde nichts gesendet.";
    case 3:
      return status + "Fehler, der Vorgang wurde abgebrochen.";
    case 127:
      return status + "qav-cli konnte nicht gestartet werden.";
    default:
      return status + "unerwartetes Ergebnis.";
  }
}

std::string exitLevel(const ChildExit& exit) {
  return exit.exited && exit.code == 0 ? "success" : "error";
}

}  // namespace qav::menu

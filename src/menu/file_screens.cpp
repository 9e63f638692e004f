#include <sys/stat.h>

#include "menu/field_editor.h"
#include "menu/ini_writer.h"
#include "menu/screens.h"
#include "menu/settings_file.h"

namespace qav::menu {

namespace {

constexpr const char* defaultFile = "qav-cli.conf";

std::string askPath(MenuSession& session, const std::string& what) {
  const std::string offered = session.filePath.empty() ? defaultFile : session.filePath;
  const std::string answer = session.console.ask(what + " [" + offered + "]: ");
  return answer.empty() ? offered : answer;
}

bool exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

// Saving is confirmed by reading the file back the way qav-cli reads it.
void verifySaved(MenuSession& session, const std::string& path, const Settings& saved) {
  if (loadSettingsFile(path).settings == saved)
    session.console.status("success", "qav-cli liest die Datei unverändert zurück.");
  else
    session.console.status("error", "qav-cli liest die Datei anders zurück, als sie gemeint ist.");
}

// Whether the password goes into the file is the technician's choice; a
// file without it can be handed on, and qav-cli then takes the password
// from its variable.
Settings chosenForSaving(MenuSession& session) {
  Settings chosen = session.settings;
  if (!chosen.sip.password.empty() && !session.console.confirm("SIP-Passwort mit speichern?"))
    chosen.sip.password.clear();
  return chosen;
}

}  // namespace

void saveScreen(MenuSession& session) {
  const std::string path = askPath(session, "Speichern unter");
  if (exists(path) && !session.console.confirm(path + " existiert. Ersetzen?")) return;
  const Settings chosen = chosenForSaving(session);
  try {
    saveSettingsFile(path, chosen);
    session.filePath = path;
    // A password left out on purpose is no unsaved change.
    session.stored = session.settings;
    session.console.status("success",
                           "Gespeichert: " + path +
                               (iniHoldsPassword(chosen)
                                    ? " (mit SIP-Passwort, nur für den Besitzer lesbar)"
                                    : ""));
    verifySaved(session, path, chosen);
  } catch (const std::exception& error) {
    session.console.status("error", std::string("Fehler: ") + error.what());
  }
}

void loadScreen(MenuSession& session) {
  const std::string path = askPath(session, "Laden aus");
  try {
    const LoadedSettings loaded = loadSettingsFile(path);
    session.settings = loaded.settings;
    session.stored = loaded.settings;
    session.filePath = path;
    session.console.status("success", "Geladen: " + path);
    for (const std::string& key : loaded.ignoredKeys)
      session.console.status("info", "Unbekannter Schlüssel übergangen: " + key);
  } catch (const std::exception& error) {
    session.console.status("error", std::string("Fehler: ") + error.what());
  }
}

}  // namespace qav::menu

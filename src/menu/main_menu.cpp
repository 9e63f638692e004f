#include "menu/screens.h"
#include "settings/text_util.h"

namespace qav::menu {

namespace {

struct MenuItem {
  const char* label;
  void (*open)(MenuSession&);
};

const MenuItem items[] = {
    {"Geführte Programmierung", guidedProgramming},
    {"SIP-Konto", [](MenuSession& s) { sipAccountScreen(s); }},
    {"Aktionen und Werte", [](MenuSession& s) { actionChecklist(s); }},
    {"Weitere Einstellungen (Wiederholungen, DTMF-Zeiten)", furtherSettingsScreen},
    {"Planvorschau (Probelauf, ohne Anruf)", [](MenuSession& s) { planPreview(s); }},
    {"Programmierung starten", runProgramming},
    {"Einstellungen speichern", saveScreen},
    {"Einstellungen laden", loadScreen},
};

std::string summary(const Settings& settings) {
  const std::string target = settings.device.target.empty() ? "-" : settings.device.target;
  const std::string account = settings.sip.user.empty() || settings.sip.server.empty()
                                  ? "nicht eingerichtet"
                                  : settings.sip.user + "@" + settings.sip.server;
  return "QAV " + target + ", Kabine " + std::to_string(settings.device.cabin) + ", " +
         std::to_string(settings.device.actions.size()) + " Aktionen; SIP-Konto " + account;
}

// Quitting with unsaved settings asks first; Ctrl-C at that question quits.
bool quitConfirmed(MenuSession& session) {
  if (!session.hasUnsavedChanges()) return true;
  try {
    const std::string answer = lowerAscii(session.console.ask(
        "Die Einstellungen sind nicht gespeichert. s: speichern und beenden, "
        "j: ohne Speichern beenden, n: weiter im Menü [n]: "));
    if (answer == "s") {
      saveScreen(session);
      return !session.hasUnsavedChanges();
    }
    return answer == "j" || answer == "ja";
  } catch (const PromptInterrupted&) {
    return true;
  }
}

// Ctrl-C at the main menu asks, a second Ctrl-C quits.
bool quitAfterInterrupt(MenuSession& session) {
  try {
    if (!session.console.confirm("qav-menu beenden?")) return false;
  } catch (const PromptInterrupted&) {
    return true;
  }
  return quitConfirmed(session);
}

void open(MenuSession& session, const MenuItem& item) {
  try {
    item.open(session);
  } catch (const PromptInterrupted&) {
    session.console.say("Abgebrochen – zurück zum Hauptmenü.");
  }
}

}  // namespace

void mainMenu(MenuSession& session) {
  Console& console = session.console;
  const std::size_t count = std::size(items);
  for (;;) {
    console.say("");
    console.say("Hauptmenü – " + summary(session.settings));
    for (std::size_t i = 0; i < count; ++i)
      console.say("  " + std::to_string(i + 1) + ") " + items[i].label);
    console.say("  0) Beenden");
    std::string answer;
    try {
      answer = console.ask("Auswahl: ");
    } catch (const PromptInterrupted&) {
      if (quitAfterInterrupt(session)) break;
      continue;
    }
    const auto choice = choiceNumber(answer, count);
    if (!choice) {
      console.say("Bitte eine Nummer von 0 bis " + std::to_string(count) + " eingeben.");
      continue;
    }
    if (*choice == 0) {
      if (quitConfirmed(session)) break;
      continue;
    }
    open(session, items[*choice - 1]);
  }
  console.say("qav-menu beendet.");
}

}  // namespace qav::menu

#include "menu/screens.h"

namespace qav::menu {

namespace {

struct MenuItem {
  const char* label;
  void (*open)(MenuSession&);
};

const MenuItem items[] = {
    {"Geführte Programmierung", guidedProgramming},
    {"SIP-Konto", sipAccountScreen},
    {"Aktionen und Werte", actionChecklist},
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
    const auto choice = choiceNumber(console.ask("Auswahl: "), count);
    if (!choice) {
      console.say("Bitte eine Nummer von 0 bis " + std::to_string(count) + " eingeben.");
      continue;
    }
    if (*choice == 0) return;
    items[*choice - 1].open(session);
  }
}

}  // namespace qav::menu

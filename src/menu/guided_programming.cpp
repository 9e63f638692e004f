#include "menu/field_editor.h"
#include "menu/menu_fields.h"
#include "menu/screens.h"

namespace qav::menu {

namespace {

bool accountComplete(const Settings& settings) {
  return !settings.sip.server.empty() && !settings.sip.user.empty() &&
         !settings.sip.password.empty();
}

}  // namespace

void guidedProgramming(MenuSession& session) {
  Console& console = session.console;
  console.say("");
  console.say("Geführte Programmierung – Schritt 1: das QAV");
  for (const std::string& key : deviceFieldKeys()) editField(session, key);
  console.say("");
  console.say("Schritt 2: was programmiert wird");
  actionChecklist(session);
  if (!accountComplete(session.settings)) {
    console.say("");
    console.say("Schritt 3: das SIP-Konto, über das angerufen wird");
    sipAccountScreen(session);
  }
  console.say("");
  console.say("Schritt 4: Kontrolle");
  if (!planPreview(session)) {
    console.say(
        "Bitte die gemeldeten Werte korrigieren und die geführte Programmierung "
        "erneut starten.");
    return;
  }
  runProgramming(session);
}

}  // namespace qav::menu

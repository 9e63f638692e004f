#include "menu/field_editor.h"
#include "menu/menu_fields.h"
#include "menu/screens.h"

namespace qav::menu {

namespace {

bool accountComplete(const Settings& settings) {
  return !settings.sip.server.empty() && !settings.sip.user.empty() &&
         !settings.sip.password.empty();
}

enum class Step { Device, Actions, Account, Check };

// The fields of the QAV one by one; "<" at the first leaves the guide.
StepEnd deviceStep(MenuSession& session, std::size_t& field) {
  const std::vector<std::string>& keys = deviceFieldKeys();
  if (field == 0) {
    session.console.say("");
    session.console.say("Geführte Programmierung – Schritt 1: das QAV (<: einen Schritt zurück)");
  }
  while (field < keys.size()) {
    if (askField(session, keys[field]) == FieldAnswer::Back) {
      if (field == 0) return StepEnd::Back;
      --field;
      continue;
    }
    ++field;
  }
  return StepEnd::Done;
}

// A plan qav-cli refuses can be corrected by going back instead of
// starting over.
StepEnd checkStep(MenuSession& session) {
  session.console.say("");
  session.console.say("Schritt 4: Kontrolle");
  if (planPreview(session)) {
    runProgramming(session);
    return StepEnd::Done;
  }
  const std::string answer = session.console.ask(
      "Bitte die gemeldeten Werte korrigieren (<: zurück zu den Aktionen, Enter: Hauptmenü): ");
  return answer == backWord ? StepEnd::Back : StepEnd::Done;
}

}  // namespace

void guidedProgramming(MenuSession& session) {
  Console& console = session.console;
  Step step = Step::Device;
  std::size_t field = 0;
  bool accountShown = false;
  for (;;) {
    switch (step) {
      case Step::Device:
        if (deviceStep(session, field) == StepEnd::Back) return;
        step = Step::Actions;
        break;
      case Step::Actions:
        console.say("");
        console.say("Schritt 2: was programmiert wird");
        if (actionChecklist(session) == StepEnd::Back) {
          field = deviceFieldKeys().size() - 1;
          step = Step::Device;
          break;
        }
        accountShown = !accountComplete(session.settings);
        step = accountShown ? Step::Account : Step::Check;
        break;
      case Step::Account:
        console.say("");
        console.say("Schritt 3: das SIP-Konto, über das angerufen wird");
        step = sipAccountScreen(session, "Weiter") == StepEnd::Back ? Step::Actions : Step::Check;
        break;
      case Step::Check:
        if (checkStep(session) == StepEnd::Done) return;
        step = accountShown ? Step::Account : Step::Actions;
        break;
    }
  }
}

}  // namespace qav::menu

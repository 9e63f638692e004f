#include <charconv>

#include "menu/field_editor.h"
#include "menu/menu_fields.h"
#include "menu/screens.h"

namespace qav::menu {

std::optional<std::size_t> choiceNumber(const std::string& answer, std::size_t count) {
  std::size_t number = 0;
  const char* end = answer.data() + answer.size();
  const auto [stop, error] = std::from_chars(answer.data(), end, number);
  if (answer.empty() || error != std::errc() || stop != end || number > count) return std::nullopt;
  return number;
}

StepEnd fieldListScreen(MenuSession& session, const std::string& title,
                        const std::vector<std::string>& keys, const std::string& doneLabel) {
  Console& console = session.console;
  for (;;) {
    console.say("");
    console.say(title);
    for (std::size_t i = 0; i < keys.size(); ++i)
      console.say("  " + std::to_string(i + 1) + ") " + fieldInfo(keys[i]).label + ": " +
                  shownValue(session.settings, keys[i]));
    console.say("  0) " + doneLabel + "  ·  <) Zurück zum vorigen Schritt");
    const std::string answer = console.ask("Auswahl: ");
    if (answer == backWord) return StepEnd::Back;
    const auto choice = choiceNumber(answer, keys.size());
    if (!choice) {
      console.say("Bitte eine Nummer von 0 bis " + std::to_string(keys.size()) +
                  " eingeben, oder < für zurück.");
      continue;
    }
    if (*choice == 0) return StepEnd::Done;
    editField(session, keys[*choice - 1]);
  }
}

StepEnd sipAccountScreen(MenuSession& session, const std::string& doneLabel) {
  return fieldListScreen(session, "SIP-Konto", sipFieldKeys(), doneLabel);
}

void furtherSettingsScreen(MenuSession& session) {
  fieldListScreen(session, "Weitere Einstellungen", furtherFieldKeys());
}

}  // namespace qav::menu

#include <algorithm>

#include "menu/field_editor.h"
#include "menu/menu_fields.h"
#include "menu/screens.h"
#include "settings/action_catalogue.h"
#include "settings/text_util.h"

namespace qav::menu {

namespace {

// The checklist follows the order in which the actions are carried out.
std::vector<CatalogueEntry> inPlanOrder() {
  std::vector<CatalogueEntry> entries = actionCatalogue();
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.planPosition < b.planPosition; });
  return entries;
}

std::string valuesOf(const Settings& settings, const std::string& actionName) {
  std::string text;
  for (const std::string& key : actionFieldKeys(actionName))
    text += (text.empty() ? "" : "; ") + fieldInfo(key).label + ": " + shownValue(settings, key);
  return text.empty() ? "" : " – " + text;
}

std::vector<std::string> unknownEntries(const std::vector<std::string>& actions) {
  std::vector<std::string> unknown;
  for (const std::string& name : actions)
    if (!actionKindFromName(name)) unknown.push_back(name);
  return unknown;
}

void showList(MenuSession& session, const std::vector<CatalogueEntry>& entries) {
  Console& console = session.console;
  const std::vector<std::string>& actions = session.settings.device.actions;
  console.say("");
  console.say("Aktionen ([x] = wird programmiert)");
  for (std::size_t i = 0; i < entries.size(); ++i)
    console.say("  " + std::to_string(i + 1) + ") [" +
                (isSelected(actions, entries[i].name) ? "x" : " ") + "] " + entries[i].title +
                " (" + entries[i].name + ")" + valuesOf(session.settings, entries[i].name));
  const std::vector<std::string> unknown = unknownEntries(actions);
  if (!unknown.empty()) {
    std::string list;
    for (const std::string& name : unknown)
      list += (list.empty() ? "" : ", ") + ("\"" + name + "\"");
    console.say("  Unbekannte Einträge in der Aktionsliste: " + list + " (x: entfernen)");
  }
  console.say("  Nummer: an/aus  ·  w Nummer: Werte ändern  ·  0: fertig  ·  <: zurück");
}

// "<" goes back to the value before; at the first value, back to the list.
bool editValues(MenuSession& session, const std::string& actionName) {
  const std::vector<std::string> keys = actionFieldKeys(actionName);
  bool changed = false;
  for (std::size_t i = 0; i < keys.size();) {
    const FieldAnswer answer = askField(session, keys[i]);
    if (answer == FieldAnswer::Back) {
      if (i == 0) break;
      --i;
      continue;
    }
    changed = answer == FieldAnswer::Changed || changed;
    ++i;
  }
  return changed;
}

// Switching an action on asks for its values straight away.
void toggle(MenuSession& session, const std::string& actionName) {
  std::vector<std::string>& actions = session.settings.device.actions;
  if (isSelected(actions, actionName)) {
    std::erase(actions, actionName);
    return;
  }
  actions.push_back(actionName);
  if (actionFieldKeys(actionName).empty()) return;
  // Kept values are checked too: an empty service number is no value.
  editValues(session, actionName);
  checkSettings(session);
}

void removeUnknown(std::vector<std::string>& actions) {
  std::erase_if(actions, [](const std::string& name) { return !actionKindFromName(name); });
}

}  // namespace

StepEnd actionChecklist(MenuSession& session) {
  const std::vector<CatalogueEntry> entries = inPlanOrder();
  Console& console = session.console;
  for (;;) {
    showList(session, entries);
    const std::string answer = console.ask("Auswahl: ");
    if (answer == backWord) return StepEnd::Back;
    const bool edit = !answer.empty() && (answer[0] == 'w' || answer[0] == 'W');
    if (answer == "x" || answer == "X") {
      removeUnknown(session.settings.device.actions);
      continue;
    }
    const auto number = choiceNumber(edit ? trimBlanks(answer.substr(1)) : answer, entries.size());
    if (!number || (edit && *number == 0)) {
      console.say("Bitte eine Nummer von 0 bis " + std::to_string(entries.size()) +
                  " eingeben, oder w und eine Nummer.");
      continue;
    }
    if (*number == 0) return StepEnd::Done;
    const std::string name = entries[*number - 1].name;
    if (!edit)
      toggle(session, name);
    else if (actionFieldKeys(name).empty())
      console.say("Diese Aktion hat keine einstellbaren Werte.");
    else if (editValues(session, name))
      checkSettings(session);
  }
}

}  // namespace qav::menu

#include "menu/field_editor.h"

#include <stdexcept>

#include "menu/menu_fields.h"
#include "menu/setting_text.h"
#include "settings/setting_values.h"
#include "settings/text_util.h"

namespace qav::menu {

namespace {

constexpr const char* clearWord = "-";

std::string listShown(const std::vector<std::string>& entries) {
  std::string text;
  for (std::size_t i = 0; i < entries.size(); ++i)
    text += (i == 0 ? "" : ", ") + (entries[i].empty() ? std::string("-") : entries[i]);
  return text.empty() ? "(leer)" : text;
}

std::string prompt(const FieldInfo& field, const std::string& current) {
  return field.label + " [" + current + "] (" + field.hint +
         "; Enter: behalten, -: leeren, <: zurück): ";
}

// German answers for the one yes/no setting; qav-cli's parser takes the rest.
std::string booleanWord(const std::string& answer) {
  const std::string lowered = lowerAscii(answer);
  if (lowered == "j" || lowered == "ja") return "true";
  if (lowered == "n" || lowered == "nein") return "false";
  return answer;
}

FieldAnswer apply(MenuSession& session, const std::string& key, const std::string& value) {
  Settings changed = session.settings;
  try {
    applySettingMap(changed, {{key, value}});
  } catch (const std::exception& error) {
    session.console.status("error", std::string("Fehler: ") + error.what());
    return FieldAnswer::Kept;
  }
  session.settings = changed;
  return FieldAnswer::Changed;
}

// A password of "<" alone cannot be typed here; no account uses one.
FieldAnswer editPassword(MenuSession& session) {
  const FieldInfo& field = fieldInfo("sip-password");
  const std::string answer =
      session.console.askSecret(field.label + " [" + shownValue(session.settings, field.key) +
                                "] (Enter: behalten, -: löschen, <: zurück): ");
  if (answer.empty()) return FieldAnswer::Kept;
  if (answer == backWord) return FieldAnswer::Back;
  session.settings.sip.password = answer == clearWord ? std::string() : answer;
  return FieldAnswer::Changed;
}

// Four prompts, one per number, so that a comma cannot shift the entries;
// "<" goes back to the number before.
FieldAnswer editEmergencyNumbers(MenuSession& session) {
  // Padded to four on a copy: looking at the numbers changes nothing.
  std::vector<std::string> numbers = session.settings.device.emergencyNumbers;
  numbers.resize(4);
  bool changed = false;
  const auto result = [&](FieldAnswer answer) {
    if (changed) session.settings.device.emergencyNumbers = numbers;
    return answer;
  };
  for (std::size_t i = 0; i < numbers.size();) {
    const std::string current = numbers[i].empty() ? "(leer)" : numbers[i];
    const std::string answer = session.console.ask(
        "Notrufnummer " + std::to_string(i + 1) + " [" + current + "] (" +
        fieldInfo("emergency-numbers").hint + "; Enter: behalten, -: leeren, <: zurück): ");
    if (answer == backWord) {
      if (i == 0) return result(changed ? FieldAnswer::Changed : FieldAnswer::Back);
      --i;
      continue;
    }
    if (!answer.empty()) {
      numbers[i] = answer == clearWord ? std::string() : answer;
      changed = true;
    }
    ++i;
  }
  return result(changed ? FieldAnswer::Changed : FieldAnswer::Kept);
}

}  // namespace

std::string shownValue(const Settings& settings, const std::string& key) {
  if (key == "sip-password") return settings.sip.password.empty() ? "nicht gesetzt" : "gesetzt";
  if (key == "sip-ice") return settings.sip.ice ? "ja" : "nein";
  if (key == "sip-tls-verify") return settings.sip.tlsVerify ? "ja" : "nein";
  if (key == "emergency-numbers") return listShown(settings.device.emergencyNumbers);
  const std::string text = settingText(settings, key);
  return text.empty() ? "(leer)" : text;
}

FieldAnswer askField(MenuSession& session, const std::string& key) {
  if (key == "sip-password") return editPassword(session);
  if (key == "emergency-numbers") return editEmergencyNumbers(session);
  const FieldInfo& field = fieldInfo(key);
  const std::string answer = session.console.ask(prompt(field, shownValue(session.settings, key)));
  if (answer.empty()) return FieldAnswer::Kept;
  if (answer == backWord) return FieldAnswer::Back;
  if (answer == clearWord) return apply(session, key, "");
  const bool yesNo = key == "sip-ice" || key == "sip-tls-verify";
  return apply(session, key, yesNo ? booleanWord(answer) : answer);
}

bool editField(MenuSession& session, const std::string& key) {
  return askField(session, key) == FieldAnswer::Changed;
}

}  // namespace qav::menu

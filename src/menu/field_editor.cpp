#include "menu/field_editor.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <vector>

#include "menu/menu_fields.h"
#include "menu/setting_text.h"
#include "settings/setting_table.h"
#include "settings/setting_values.h"
#include "settings/text_util.h"
#include "settings/validation.h"
#include "settings/value_check.h"

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

// A value that passes its own check can still break another setting's:
// emptying the CA file that certificate checking needs. The first finding
// the change brings about, nothing when it brings none.
std::optional<std::string> brokenElsewhere(const Settings& before, const std::string& key,
                                           const std::string& value) {
  Settings after = before;
  try {
    applySettingMap(after, {{key, value}});
  } catch (const std::exception&) {
    return std::nullopt;  // the value's own check has spoken
  }
  for (const SettingRow& row : settingTable()) {
    if (row.key == key || row.when == CheckWhen::CallFollows) continue;
    std::vector<std::string> was;
    std::vector<std::string> now;
    checkSettingRow(row, before, was);
    checkSettingRow(row, after, now);
    for (const std::string& finding : now)
      if (std::find(was.begin(), was.end(), finding) == was.end())
        return finding + " Zuerst „" + row.label + "“ ändern.";
  }
  return std::nullopt;
}

// qav-cli's verdict on `value` for `key`. The SIP account is checked only
// when a call follows, and the menu asks for it right before one
// (accountReadyForCall): until then an empty entry is no mistake.
std::optional<std::string> refusal(const Settings& settings, const std::string& key,
                                   const std::string& value) {
  const SettingRow* row = findSettingRow(key);
  if (value.empty() && row != nullptr && row->when == CheckWhen::CallFollows) return std::nullopt;
  if (auto reason = checkSettingValue(settings, key, value)) return reason;
  return brokenElsewhere(settings, key, value);
}

// The reason and what is allowed, before the same prompt comes again.
void explain(MenuSession& session, const FieldInfo& field, const std::string& reason) {
  session.console.status("error", "Fehler: " + reason);
  session.console.say("  Erlaubt: " + field.hint);
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

std::string joined(const std::vector<std::string>& entries) {
  std::string text;
  for (std::size_t i = 0; i < entries.size(); ++i) text += (i == 0 ? "" : ",") + entries[i];
  return text;
}

// Four prompts, one per number, so that a comma cannot shift the entries;
// "<" goes back to the number before. Each number typed is checked as it
// comes; that at least one is set only once all four were asked, so that a
// number can move to another place.
FieldAnswer editEmergencyNumbers(MenuSession& session) {
  const FieldInfo& field = fieldInfo("emergency-numbers");
  // Padded to four on a copy: looking at the numbers changes nothing.
  std::vector<std::string> numbers = session.settings.device.emergencyNumbers;
  numbers.resize(4);
  bool changed = false;
  const auto result = [&](FieldAnswer answer) {
    if (!changed) return answer;
    if (const auto reason = refusal(session.settings, field.key, joined(numbers))) {
      explain(session, field, *reason);
      session.console.say("  Die Notrufnummern bleiben unverändert.");
      return answer == FieldAnswer::Back ? answer : FieldAnswer::Kept;
    }
    session.settings.device.emergencyNumbers = numbers;
    return FieldAnswer::Changed;
  };
  for (std::size_t i = 0; i < numbers.size();) {
    const std::string current = numbers[i].empty() ? "(leer)" : numbers[i];
    const std::string answer = session.console.ask(
        "Notrufnummer " + std::to_string(i + 1) + " [" + current + "] (" + field.hint +
        "; Enter: behalten, -: leeren, <: zurück): ");
    if (answer == backWord) {
      if (i == 0) return result(FieldAnswer::Back);
      --i;
      continue;
    }
    if (answer == clearWord) {
      numbers[i].clear();
      changed = true;
    } else if (!answer.empty()) {
      std::vector<std::string> candidate = numbers;
      candidate[i] = answer;
      if (const auto reason = refusal(session.settings, field.key, joined(candidate))) {
        explain(session, field, *reason);
        continue;
      }
      numbers[i] = answer;
      changed = true;
    }
    if (++i == numbers.size() && changed) {
      if (const auto reason = refusal(session.settings, field.key, joined(numbers))) {
        explain(session, field, *reason);
        i = 0;
      }
    }
  }
  return result(FieldAnswer::Kept);
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

// A typed value and a kept one alike are checked: Enter on an empty number
// or an invalid loaded value asks again, "<" leaves without a value.
FieldAnswer askField(MenuSession& session, const std::string& key) {
  if (key == "sip-password") return editPassword(session);
  if (key == "emergency-numbers") return editEmergencyNumbers(session);
  const FieldInfo& field = fieldInfo(key);
  const bool yesNo = key == "sip-ice" || key == "sip-tls-verify";
  for (;;) {
    const std::string answer =
        session.console.ask(prompt(field, shownValue(session.settings, key)));
    if (answer == backWord) return FieldAnswer::Back;
    const std::string value = answer.empty()        ? settingText(session.settings, key)
                              : answer == clearWord ? std::string()
                              : yesNo               ? booleanWord(answer)
                                                    : answer;
    if (const auto reason = refusal(session.settings, key, value)) {
      explain(session, field, *reason);
      continue;
    }
    if (answer.empty()) return FieldAnswer::Kept;
    return apply(session, key, value);
  }
}

bool editField(MenuSession& session, const std::string& key) {
  return askField(session, key) == FieldAnswer::Changed;
}

}  // namespace qav::menu

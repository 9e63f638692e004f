// The one table of settings: for every key its field, parser and formatter,
// German label, allowed values with their meaning on the QAV, and check.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "settings/setting_access.h"
#include "settings/settings.h"

namespace qav {

// One allowed value and what it means, as the plan listing names it.
struct ValueMeaning {
  std::string value;
  std::string meaning;  // empty: the value speaks for itself (udp, yes)
};

// When validation looks at a setting: on every run, only when a call
// follows (not in a dry run), or only when the row's action is selected.
enum class CheckWhen { Always, CallFollows, ActionSelected };

// Whether a value text, as the row's formatter writes it, passes.
using ValueRule = bool (*)(const std::string& text);
// A check with findings of its own (lists, settings that depend on others).
using CompositeCheck = void (*)(const Settings& settings, std::vector<std::string>& findings);

struct SettingRow {
  std::string key{};
  SettingAccess access{};
  std::string label{};
  // The allowed values in words; empty when `values` lists all of them.
  std::string allowed{};
  std::vector<ValueMeaning> values{};
  // Accepted on the command line as "--key VALUE" and "--key=VALUE".
  bool option = true;
  // Command-line words that set the key without a value, with the value
  // each stands for ("--no-ice" is sip-ice false).
  std::vector<std::pair<std::string, std::string>> flags{};
  // The environment variable that sets it; empty: none.
  std::string variable{};
  // The action that reads the setting; empty: none.
  std::string action{};
  CheckWhen when = CheckWhen::Always;
  ValueRule rule = nullptr;
  std::string message{};  // the finding when `rule` fails
  CompositeCheck composite = nullptr;
  // Single-parameter actions: the parameter's name in the plan's step label,
  // and the text shown for a value that `values` does not list, "{}" standing
  // for the digits sent; empty: such a value is unknown to the QAV.
  std::string parameterName{};
  std::string otherValues{};
};

// All rows in the order in which a SettingMap is applied: a value that
// fails stops the rows after it, and sip-password comes before
// sip-password-env. Built on first use, read-only afterwards.
const std::vector<SettingRow>& settingTable();

// Nullptr for a key the table does not have.
const SettingRow* findSettingRow(const std::string& key);

}  // namespace qav

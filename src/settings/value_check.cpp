#include "settings/value_check.h"

#include <stdexcept>
#include <vector>

#include "settings/setting_table.h"
#include "settings/setting_values.h"
#include "settings/validation.h"

namespace qav {

namespace {

const SettingRow& rowOf(const std::string& key) {
  const SettingRow* row = findSettingRow(key);
  if (row == nullptr) throw std::invalid_argument("Unbekannter Einstellungsschlüssel: " + key);
  return *row;
}

// "a, b oder c" for bare words, "0 = aus, 1 = ein" for values with meaning.
std::string listed(const std::vector<ValueMeaning>& values) {
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const ValueMeaning& value = values[i];
    if (i > 0) text += value.meaning.empty() && i + 1 == values.size() ? " oder " : ", ";
    text += value.value + (value.meaning.empty() ? "" : " = " + value.meaning);
  }
  return text;
}

}  // namespace

std::optional<std::string> checkSettingValue(const Settings& current, const std::string& key,
                                             const std::string& text) {
  const SettingRow& row = rowOf(key);
  Settings changed = current;
  try {
    row.access.apply(changed, key, text);
  } catch (const std::runtime_error& error) {
    return std::string(error.what());
  }
  std::vector<std::string> findings;
  checkSettingRow(row, changed, findings);
  if (findings.empty()) return std::nullopt;
  return findings.front();
}

std::string allowedValuesText(const std::string& key) {
  const SettingRow& row = rowOf(key);
  if (row.allowed.empty()) return listed(row.values);
  if (row.values.empty()) return row.allowed;
  return row.allowed + "; " + listed(row.values);
}

}  // namespace qav

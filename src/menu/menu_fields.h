// What the menu tells the technician about each setting it offers: a German
// label and the values the QAV or qav-cli accepts, grouped by screen.
#pragma once

#include <string>
#include <vector>

namespace qav::menu {

struct FieldInfo {
  std::string key;
  std::string label;
  std::string hint;  // the allowed values, shown when the field is edited
};

// Throws std::invalid_argument for a key the menu does not offer.
const FieldInfo& fieldInfo(const std::string& key);

// The QAV to call: number, cabin and current PIN.
const std::vector<std::string>& deviceFieldKeys();
const std::vector<std::string>& sipFieldKeys();
// Repetitions and timing, rarely changed.
const std::vector<std::string>& furtherFieldKeys();
// The settings an action reads, empty for actions without values.
std::vector<std::string> actionFieldKeys(const std::string& actionName);

}  // namespace qav::menu

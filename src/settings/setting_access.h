// How a setting key reaches its field of the Settings record: the parser
// that writes a value text into the field and the formatter that reads it back.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings.h"
#include "settings/text_util.h"
#include "settings/value_parsers.h"

namespace qav {

// The form of a value text; the shell completion goes by it.
enum class ValueForm { Text, Path, Number, Boolean, List, Word };

// One key's way into the record. A plain value, built once with the setting
// table and only read afterwards, from any thread.
struct SettingAccess {
  ValueForm form;
  // Throws std::runtime_error with the German message for a value the
  // parser refuses.
  std::function<void(Settings&, const std::string& key, const std::string& value)> apply;
  // The text that `apply` turns back into the field's current value:
  // numbers in decimal, booleans as true/false, words as their name, lists
  // joined with commas.
  std::function<std::string(const Settings&)> format;
};

// The part of the record a field lives in.
template <typename Part>
using PartOf = Part& (*)(Settings&);
Settings& whole(Settings& settings);
SipSettings& sip(Settings& settings);
DeviceSettings& device(Settings& settings);

// The formatters reach the field through the same accessor as the parser;
// they only read it.
template <typename Part>
const Part& partOf(PartOf<Part> part, const Settings& settings) {
  return part(const_cast<Settings&>(settings));
}

template <typename Part>
SettingAccess textField(PartOf<Part> part, std::string Part::*field) {
  return {ValueForm::Text,
          [part, field](Settings& s, const std::string&, const std::string& value) {
            part(s).*field = value;
          },
          [part, field](const Settings& s) { return partOf(part, s).*field; }};
}

// A text that names a file.
template <typename Part>
SettingAccess pathField(PartOf<Part> part, std::string Part::*field) {
  SettingAccess access = textField(part, field);
  access.form = ValueForm::Path;
  return access;
}

template <typename Part, typename Number>
SettingAccess numberField(PartOf<Part> part, Number Part::*field, std::uint32_t bound) {
  return {ValueForm::Number,
          [part, field, bound](Settings& s, const std::string& key, const std::string& value) {
            part(s).*field = static_cast<Number>(parseNumber(key, value, bound));
          },
          [part, field](const Settings& s) { return std::to_string(partOf(part, s).*field); }};
}

template <typename Part>
SettingAccess booleanField(PartOf<Part> part, bool Part::*field) {
  return {ValueForm::Boolean,
          [part, field](Settings& s, const std::string& key, const std::string& value) {
            part(s).*field = parseBool(key, value);
          },
          [part, field](const Settings& s) {
            return std::string(partOf(part, s).*field ? "true" : "false");
          }};
}

std::string joinedList(const std::vector<std::string>& items);

// The new list replaces the whole previous one.
template <typename Part>
SettingAccess listField(PartOf<Part> part, std::vector<std::string> Part::*field) {
  return {ValueForm::List,
          [part, field](Settings& s, const std::string&, const std::string& value) {
            part(s).*field = parseList(value);
          },
          [part, field](const Settings& s) { return joinedList(partOf(part, s).*field); }};
}

// An enumeration by its words. The value is compared after ASCII
// lower-casing, so "RFC2833" and "SIP-INFO" are accepted; a value is written
// back as its first word ("rfc2833" reads back as rfc4733).
template <typename Part, typename Enum>
SettingAccess wordField(PartOf<Part> part, Enum Part::*field,
                        std::initializer_list<std::pair<const char*, Enum>> words,
                        const char* message) {
  const std::vector<std::pair<std::string, Enum>> table(words.begin(), words.end());
  return {ValueForm::Word,
          [part, field, table, message](Settings& s, const std::string&, const std::string& value) {
            const std::string lowered = lowerAscii(value);
            for (const auto& [word, result] : table)
              if (lowered == word) {
                part(s).*field = result;
                return;
              }
            throw std::runtime_error(message);
          },
          [part, field, table](const Settings& s) {
            for (const auto& [word, value] : table)
              if (value == partOf(part, s).*field) return word;
            return std::string();
          }};
}

// sip-password-env: stores the variable's name and at once fills an empty
// password from it; a password given earlier, or in the same source, wins.
SettingAccess passwordVariableField();

}  // namespace qav

#include "fleet/call_values.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>

#include "menu/setting_text.h"

namespace qav::fleet {

namespace {

constexpr std::array<std::string_view, 8> notOfTheCall{
    "config", "sip-password", "sip-password-env", "json", "dry-run", "record-audio", "report", "color"};

constexpr std::array<std::string_view, 2> secret{"pin", "new-pin"};

bool among(const auto& list, const std::string& key) { return std::find(list.begin(), list.end(), key) != list.end(); }

std::string quoted(const std::string& value) { return "„" + value + "“"; }

std::string validUtf8(const std::string& text) {
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return text;
  const std::string dumped = nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return nlohmann::json::parse(dumped).get<std::string>();
}

}  // namespace

SettingMap callValues(const Settings& settings) {
  SettingMap values;
  for (const std::string& key : menu::settingKeys())
    if (!among(notOfTheCall, key)) values[key] = validUtf8(menu::settingText(settings, key));
  return values;
}

SettingMap differenceFrom(const SettingMap& base, const SettingMap& values) {
  SettingMap difference;
  for (const auto& [key, value] : values) {
    const auto found = base.find(key);
    if (found == base.end() || found->second != value) difference[key] = value;
  }
  return difference;
}

SettingMap withDifference(SettingMap base, const SettingMap& difference) {
  for (const auto& [key, value] : difference) base[key] = value;
  return base;
}

std::string callValuesText(const SettingMap& values) { return nlohmann::json(values).dump(); }

SettingMap callValuesFromText(const std::string& text) {
  const nlohmann::json object = nlohmann::json::parse(text, nullptr, false);
  if (!object.is_object()) throw std::runtime_error("gespeicherte Werte einer Anlage sind unlesbar");
  SettingMap values;
  for (const auto& [key, value] : object.items())
    if (value.is_string()) values[key] = value.get<std::string>();
  return values;
}

std::string sentText(const std::vector<std::string>& sent) {
  return nlohmann::json(sent).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::vector<std::string> sentFromText(const std::string& text) {
  const nlohmann::json array = nlohmann::json::parse(text, nullptr, false);
  std::vector<std::string> sent;
  if (array.is_array())
    for (const nlohmann::json& item : array)
      if (item.is_string()) sent.push_back(item.get<std::string>());
  return sent;
}

std::vector<std::string> callValueChanges(const SettingMap& before, const SettingMap& now) {
  std::vector<std::string> changes;
  auto note = [&](const std::string& key, const std::string* was, const std::string* is) {
    if (was && is && *was == *is) return;
    if (among(secret, key)) {
      changes.push_back(key + " geändert");
    } else {
      changes.push_back(key + " " + quoted(is ? *is : "") + " statt " + quoted(was ? *was : ""));
    }
  };
  for (const auto& [key, value] : before) {
    const auto found = now.find(key);
    note(key, &value, found == now.end() ? nullptr : &found->second);
  }
  for (const auto& [key, value] : now)
    if (!before.contains(key)) note(key, nullptr, &value);
  return changes;
}

}  // namespace qav::fleet

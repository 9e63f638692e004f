#include "menu/ini_writer.h"

#include <algorithm>
#include <stdexcept>

#include "menu/setting_text.h"
#include "settings/setting_values.h"

namespace qav::menu {

namespace {

constexpr std::string_view sipPrefix = "sip-";

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool needsQuotes(const std::string& value) {
  if (value.empty()) return false;
  if (isBlank(value.front()) || isBlank(value.back())) return true;
  return value.size() >= 2 && value.front() == '"' && value.back() == '"';
}

bool isLeftOut(const std::string& key, const std::vector<std::string>& leftOut) {
  return key == "config" || std::find(leftOut.begin(), leftOut.end(), key) != leftOut.end();
}

// Some values are changed by their own parser: list entries are trimmed and
// split at commas, and a list of one empty entry reads as no list at all.
// Applying the text to a copy finds every such case with qav-cli's own rules.
// The password variable is left alone: applying it would consult the
// environment and could fill in a password.
void requireReadsBack(const Settings& settings, const std::string& key, const std::string& text) {
  if (key == "sip-password-env") return;
  Settings copy = settings;
  applySettingMap(copy, {{key, text}});
  if (!(copy == settings))
    throw std::runtime_error("Der Wert von " + key +
                             " kann nicht unverändert gespeichert werden (Komma oder Leerzeichen "
                             "am Rand eines Listeneintrags).");
}

std::string line(const Settings& settings, const std::string& key, std::string_view name) {
  const std::string text = settingText(settings, key);
  const std::string value = iniValue(key, text);
  requireReadsBack(settings, key, text);
  return std::string(name) + " = " + value + "\n";
}

bool isSipKey(const std::string& key) { return key.starts_with(sipPrefix); }

}  // namespace

std::string iniValue(const std::string& key, const std::string& value) {
  if (value.find('\n') != std::string::npos)
    throw std::runtime_error("Der Wert von " + key +
                             " enthält einen Zeilenumbruch und kann nicht gespeichert werden.");
  return needsQuotes(value) ? "\"" + value + "\"" : value;
}

bool iniHoldsPassword(const Settings& settings, const std::vector<std::string>& leftOut) {
  return !settings.sip.password.empty() && !isLeftOut("sip-password", leftOut);
}

std::string iniText(const Settings& settings, const std::vector<std::string>& leftOut) {
  std::string sip = "[sip]\n";
  std::string device = "[qav]\n";
  for (const std::string& key : settingKeys()) {
    if (isLeftOut(key, leftOut)) continue;
    if (key == "sip-password" && !iniHoldsPassword(settings, leftOut)) continue;
    // Inside [sip] the reader puts "sip-" in front of every key again.
    if (isSipKey(key))
      sip += line(settings, key, std::string_view(key).substr(sipPrefix.size()));
    else
      device += line(settings, key, key);
  }
  return "# qav-cli-Konfiguration, geschrieben von qav-menu\n" + sip + device;
}

}  // namespace qav::menu

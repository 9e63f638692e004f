#include "menu/menu_fields.h"

#include <stdexcept>

#include "settings/setting_table.h"
#include "settings/value_check.h"

namespace qav::menu {

namespace {

// The menu turns ja and nein into qav-cli's words itself (field_editor).
std::string hintOf(const std::string& key) {
  if (key == "sip-ice") return "ja oder nein";
  if (key == "sip-tls-verify") return "ja oder nein; für ja zuerst die CA-Datei für TLS eintragen";
  return allowedValuesText(key);
}

}  // namespace

const FieldInfo& fieldInfo(const std::string& key) {
  static const std::vector<FieldInfo> fields = [] {
    std::vector<FieldInfo> all;
    for (const SettingRow& row : settingTable())
      all.push_back({row.key, row.label, hintOf(row.key)});
    return all;
  }();
  for (const FieldInfo& field : fields)
    if (field.key == key) return field;
  throw std::invalid_argument("Keine Menüangabe für " + key);
}

const std::vector<std::string>& deviceFieldKeys() {
  static const std::vector<std::string> keys{"target", "cabin", "pin"};
  return keys;
}

const std::vector<std::string>& sipFieldKeys() {
  static const std::vector<std::string> keys{
      "sip-server", "sip-port",  "sip-transport",   "sip-user", "sip-auth-user",   "sip-password",
      "sip-realm",  "sip-proxy", "sip-stun-server", "sip-ice",  "sip-dial-prefix", "dtmf-method",
      // The CA file first: checking the certificate is refused without one.
      "sip-tls-ca-file", "sip-tls-verify"};
  return keys;
}

const std::vector<std::string>& furtherFieldKeys() {
  static const std::vector<std::string> keys{"retries", "settle-ms", "dtmf-tone-ms", "dtmf-gap-ms",
                                             "record-audio"};
  return keys;
}

// The settings whose row names the action as their reader, in table order.
std::vector<std::string> actionFieldKeys(const std::string& actionName) {
  std::vector<std::string> keys;
  for (const SettingRow& row : settingTable())
    if (row.action == actionName) keys.push_back(row.key);
  return keys;
}

}  // namespace qav::menu

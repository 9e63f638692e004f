#include "settings/command_line.h"

#include <stdexcept>
#include <string_view>

#include "settings/setting_table.h"

namespace qav {

namespace {

std::set<std::string> optionKeys() {
  std::set<std::string> keys;
  for (const SettingRow& row : settingTable())
    if (row.option) keys.insert(row.key);
  return keys;
}

}  // namespace

// Built by static initialisation before main runs and only read afterwards.
const std::set<std::string> knownOptionKeys = optionKeys();

namespace {

// The words that stand for themselves; they are matched only whole, so
// "--json=1" is an (unknown) option, not the flag.
bool applyFlag(std::string_view argument, CommandLine& result) {
  if (argument == "-h" || argument == "--help") {
    result.help = true;
    return true;
  }
  if (argument == "--version") {
    result.version = true;
    return true;
  }
  for (const SettingRow& row : settingTable())
    for (const auto& [word, value] : row.flags)
      if (argument == word) {
        result.options[row.key] = value;
        return true;
      }
  return false;
}

void requireKnownKey(const std::string& key) {
  if (knownOptionKeys.count(key) == 0) throw std::runtime_error("Unbekannte Option: --" + key);
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine result;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (applyFlag(argument, result)) continue;
    if (argument.rfind("--", 0) != 0) throw std::runtime_error("Unbekanntes Argument: " + argument);

    const std::string name = argument.substr(2);
    const std::size_t equals = name.find('=');
    if (equals != std::string::npos) {
      const std::string key = name.substr(0, equals);
      requireKnownKey(key);
      result.options[key] = name.substr(equals + 1);
      continue;
    }
    // The key is checked before the value is looked for, and the next
    // argument is taken as it is, even when it looks like an option.
    requireKnownKey(name);
    if (i + 1 >= argc) throw std::runtime_error("Wert fehlt für --" + name);
    result.options[name] = argv[++i];
  }
  return result;
}

const std::string& helpText() {
  static const std::string text =
      "qav-cli 0.1.2 - Valdrun-QAV über einen SIP-Account programmieren\n"
      "\n"
      "Aufruf:\n"
      "  qav-cli --config DATEI [Optionen]\n"
      "  qav-cli --target NUMMER --actions clock,routine [SIP-Optionen] ...\n"
      "\n"
      "Wichtige Optionen:\n"
      "  --config DATEI                 INI-Konfiguration\n"
      "  --sip-server HOST              SIP-Registrar/PBX\n"
      "  --sip-port PORT                SIP-Port (Standard 5060)\n"
      "  --sip-transport udp|tcp|tls\n"
      "  --sip-user NEBENSTELLE\n"
      "  --sip-auth-user NAME           Standard: SIP-Benutzer\n"
      "  --sip-password-env NAME        Passwortvariable (Standard QAV_SIP_PASSWORD)\n"
      "  --sip-stun-server HOST[:PORT]  Optional für NAT-Traversal\n"
      "  --ice / --no-ice               ICE für RTP aktivieren/deaktivieren\n"
      "  --sip-dial-prefix TEXT Amtsholung vor der Zielrufnummer, z.B. 0 oder 9\n"
      "  --target NUMMER                Zu wählende QAV-Rufnummer\n"
      "  --pin PIN                      Aktuelle PIN (Standard 5831)\n"
      "  --new-pin PIN                  Neue vierstellige PIN für #*88\n"
      "  --cabin NUMMER                 Aktuell: 0 Einzelgerät, 1-9 Mehrgerät\n"
      "  --actions LISTE                z.B. clock,routine,service\n"
      "  --routine-at HH:MM|auto        auto = aktuelle Zeit + 5 Minuten\n"
      "  --routine-days TAGE            Standard 3\n"
      "  --bus-address NUMMER           Neu: 0 Einzelgerät, 1-9 Mehrgerät (#*70)\n"
      "  --emergency-trigger-N XYZ      Auslöser N, Lautsprecher X, Mikrofon Y (#*05)\n"
      "  --dtmf-method rfc4733|inband|sip-info\n"
      "  --dry-run                      Nur Plan anzeigen, nicht anrufen\n"
      "  --json                         Maschinenlesbare JSON-Zeilen\n"
      "  --color auto|always|never\n"
      "  --help\n"
      "\n"
      "Priorität: Kommandozeile > Umgebungsvariablen > Konfigurationsdatei > Standards.\n";
  return text;
}

}  // namespace qav

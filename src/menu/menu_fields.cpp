#include "menu/menu_fields.h"

#include <stdexcept>

#include "plan/parameter_actions.h"

namespace qav::menu {

namespace {

// "0 aus, 1 ..." from the plan's own value names, for the parameters the
// QAV knows by name rather than by number.
std::string namedValues(const std::string& actionName) {
  std::string text;
  for (char digit = '0'; digit <= '9'; ++digit) {
    try {
      const std::string name = parameterValueText(actionName, std::string(1, digit));
      text += (text.empty() ? "" : ", ") + std::string(1, digit) + " " + name;
    } catch (const std::exception&) {
      break;
    }
  }
  return text;
}

std::vector<FieldInfo> buildFields() {
  return {
      {"target", "QAV-Rufnummer", "die Nummer, unter der das QAV angerufen wird"},
      {"cabin", "Aktuelle Kabine", "0 Einzelgerät, 1-9 Position im Mehrgerätebetrieb"},
      {"pin", "Aktuelle QAV-PIN", "vier Ziffern, Werkseinstellung 5831"},
      {"sip-server", "SIP-Server", "Registrar/PBX, Hostname oder IP-Adresse"},
      {"sip-port", "SIP-Port", "0 bis 65535, Standard 5060"},
      {"sip-transport", "Transport", "udp, tcp oder tls"},
      {"sip-user", "SIP-Benutzer/Nebenstelle", "Name oder Nummer des SIP-Kontos"},
      {"sip-auth-user", "Authentifizierungsbenutzer", "leer: wie SIP-Benutzer"},
      {"sip-password", "SIP-Passwort", "wird ohne Anzeige eingegeben"},
      {"sip-realm", "Realm", "* steht für jeden Realm"},
      {"sip-proxy", "SIP-Proxy", "leer: kein Proxy"},
      {"sip-stun-server", "STUN-Server", "HOST[:PORT], leer: keiner"},
      {"sip-ice", "ICE für RTP", "ja oder nein"},
      {"sip-tls-verify", "TLS-Zertifikat prüfen", "ja oder nein; ja verlangt eine CA-Datei"},
      {"sip-tls-ca-file", "CA-Datei für TLS", "PEM-Datei der Zertifizierungsstelle des Servers"},
      {"sip-dial-prefix", "Amtsholung", "Ziffern vor der Rufnummer, z.B. 0 oder 9; leer: keine"},
      {"dtmf-method", "DTMF-Verfahren", "rfc4733, inband oder sip-info"},
      {"routine-at", "Routinerufzeit", "HH:MM oder auto (jetzt + 5 Minuten)"},
      {"routine-days", "Routinerufintervall (Tage)", "1 bis 99"},
      {"service-number", "Servicerufnummer", "1 bis 25 Zeichen aus 0-9, * und #"},
      {"emergency-numbers", "Notrufnummern",
       "je bis 25 Zeichen aus 0-9, * und #; leer: nicht gesetzt; mindestens eine"},
      {"emergency-trigger-1", "Auslöser 1", "drei Ziffern: 1, Lautsprecher 1-3, Mikrofon 1-3"},
      {"emergency-trigger-2", "Auslöser 2", "drei Ziffern: 2, Lautsprecher 1-3, Mikrofon 1-3"},
      {"emergency-trigger-3", "Auslöser 3", "drei Ziffern: 3, Lautsprecher 1-3, Mikrofon 1-3"},
      {"new-pin", "Neue QAV-PIN", "vier Ziffern"},
      {"dial-mode", "Wahlverfahren", "0, 1 oder 2"},
      {"dial-attempts", "Anwahlversuche", "0 bis 12"},
      {"call-duration", "Sprechdauer", "eine Ziffer 0 bis 9"},
      {"input-mode", "Eingangs-/Filtermodus", "0, 1 oder 2"},
      {"call-protection", "Anrufschutz", "on oder off"},
      {"routine-fault", "Störungsanzeige", "0 oder 1"},
      {"z208", "Z208-ID", "1 bis 8 Ziffern"},
      {"output-mode", "Ausgangsmodus", namedValues("output-mode")},
      {"alarm-latency", "Alarm-Latenz (Sekunden)", "1 bis 9"},
      {"alarm-horn", "Notrufhupe", namedValues("alarm-horn")},
      {"line-impedance", "Leitungsimpedanz", "0 oder 1"},
      {"bus-address", "Neue Bus-Adresse", "0 Einzelgerät, 1-9 Mehrgerätebetrieb"},
      {"retries", "Wiederholungen je Befehlssequenz", "0 bis 10"},
      {"settle-ms", "Pause nach jeder QAV-Antwort (ms)", "0 bis 10000"},
      {"dtmf-tone-ms", "DTMF-Tonlänge (ms)", "40 bis 1000"},
      {"dtmf-gap-ms", "DTMF-Pause (ms)", "0 bis 1000"},
      {"record-audio", "Aufnahmedatei (WAV)", "Pfad der Gesprächsaufnahme; leer: keine Aufnahme"},
  };
}

}  // namespace

const FieldInfo& fieldInfo(const std::string& key) {
  static const std::vector<FieldInfo> fields = buildFields();
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
      "sip-tls-verify", "sip-tls-ca-file"};
  return keys;
}

const std::vector<std::string>& furtherFieldKeys() {
  static const std::vector<std::string> keys{"retries", "settle-ms", "dtmf-tone-ms", "dtmf-gap-ms",
                                             "record-audio"};
  return keys;
}

std::vector<std::string> actionFieldKeys(const std::string& actionName) {
  if (actionName == "clock" || actionName == "emergency-targets" ||
      actionName == "line-calibration")
    return {};
  if (actionName == "routine") return {"routine-at", "routine-days"};
  if (actionName == "service") return {"service-number"};
  if (actionName == "security-pin") return {"new-pin"};
  // The trigger assignments, the emergency numbers and the twelve single
  // parameters each read the setting of their own name.
  return {actionName};
}

}  // namespace qav::menu

#include "menu/setting_text.h"

#include <functional>
#include <stdexcept>
#include <utility>

namespace qav::menu {

namespace {

using Getter = std::function<std::string(const Settings&)>;

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) text += (i == 0 ? "" : ",") + items[i];
  return text;
}

std::string boolText(bool value) { return value ? "true" : "false"; }

std::string transportText(SipTransport transport) {
  switch (transport) {
    case SipTransport::Tcp:
      return "tcp";
    case SipTransport::Tls:
      return "tls";
    case SipTransport::Udp:
      break;
  }
  return "udp";
}

std::string dtmfText(DtmfMethod method) {
  switch (method) {
    case DtmfMethod::Inband:
      return "inband";
    case DtmfMethod::SipInfo:
      return "sip-info";
    case DtmfMethod::Rfc4733:
      break;
  }
  return "rfc4733";
}

std::string colorText(ColorMode mode) {
  switch (mode) {
    case ColorMode::Always:
      return "always";
    case ColorMode::Never:
      return "never";
    case ColorMode::Auto:
      break;
  }
  return "auto";
}

const std::vector<std::pair<std::string, Getter>>& getters() {
  using S = const Settings&;
  static const std::vector<std::pair<std::string, Getter>> table{
      {"config", [](S s) { return s.configPath; }},
      {"sip-server", [](S s) { return s.sip.server; }},
      {"sip-port", [](S s) { return std::to_string(s.sip.port); }},
      {"sip-user", [](S s) { return s.sip.user; }},
      {"sip-auth-user", [](S s) { return s.sip.authUser; }},
      {"sip-password", [](S s) { return s.sip.password; }},
      {"sip-password-env", [](S s) { return s.sip.passwordEnv; }},
      {"sip-realm", [](S s) { return s.sip.realm; }},
      {"sip-proxy", [](S s) { return s.sip.proxy; }},
      {"sip-stun-server", [](S s) { return s.sip.stunServer; }},
      {"sip-ice", [](S s) { return boolText(s.sip.ice); }},
      {"sip-tls-verify", [](S s) { return boolText(s.sip.tlsVerify); }},
      {"sip-tls-ca-file", [](S s) { return s.sip.tlsCaFile; }},
      {"sip-dial-prefix", [](S s) { return s.sip.dialPrefix; }},
      {"sip-transport", [](S s) { return transportText(s.sip.transport); }},
      {"dtmf-method", [](S s) { return dtmfText(s.sip.dtmfMethod); }},
      {"dtmf-tone-ms", [](S s) { return std::to_string(s.sip.dtmfToneMs); }},
      {"dtmf-gap-ms", [](S s) { return std::to_string(s.sip.dtmfGapMs); }},
      {"target", [](S s) { return s.device.target; }},
      {"pin", [](S s) { return s.device.pin; }},
      {"new-pin", [](S s) { return s.device.newPin; }},
      {"cabin", [](S s) { return std::to_string(s.device.cabin); }},
      {"actions", [](S s) { return joined(s.device.actions); }},
      {"routine-at", [](S s) { return s.device.routineAt; }},
      {"routine-days", [](S s) { return std::to_string(s.device.routineDays); }},
      {"service-number", [](S s) { return s.device.serviceNumber; }},
      {"emergency-numbers", [](S s) { return joined(s.device.emergencyNumbers); }},
      {"dial-mode", [](S s) { return s.device.dialMode; }},
      {"dial-attempts", [](S s) { return s.device.dialAttempts; }},
      {"call-duration", [](S s) { return s.device.callDuration; }},
      {"input-mode", [](S s) { return s.device.inputMode; }},
      {"call-protection", [](S s) { return s.device.callProtection; }},
      {"routine-fault", [](S s) { return s.device.routineFault; }},
      {"z208", [](S s) { return s.device.z208Id; }},
      {"output-mode", [](S s) { return s.device.outputMode; }},
      {"alarm-latency", [](S s) { return s.device.alarmLatency; }},
      {"alarm-horn", [](S s) { return s.device.alarmHorn; }},
      {"line-impedance", [](S s) { return s.device.lineImpedance; }},
      {"bus-address", [](S s) { return s.device.busAddress; }},
      {"emergency-trigger-1", [](S s) { return s.device.emergencyTrigger1; }},
      {"emergency-trigger-2", [](S s) { return s.device.emergencyTrigger2; }},
      {"emergency-trigger-3", [](S s) { return s.device.emergencyTrigger3; }},
      {"retries", [](S s) { return std::to_string(s.device.retries); }},
      {"settle-ms", [](S s) { return std::to_string(s.device.settleMs); }},
      {"json", [](S s) { return boolText(s.json); }},
      {"dry-run", [](S s) { return boolText(s.dryRun); }},
      {"record-audio", [](S s) { return s.recordAudioPath; }},
      {"report", [](S s) { return s.reportPath; }},
      {"color", [](S s) { return colorText(s.color); }},
  };
  return table;
}

}  // namespace

const std::vector<std::string>& settingKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> list;
    for (const auto& [key, getter] : getters()) list.push_back(key);
    return list;
  }();
  return keys;
}

std::string settingText(const Settings& settings, const std::string& key) {
  for (const auto& [name, getter] : getters())
    if (name == key) return getter(settings);
  throw std::invalid_argument("Unbekannter Einstellungsschlüssel: " + key);
}

}  // namespace qav::menu

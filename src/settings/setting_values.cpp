#include "settings/setting_values.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <utility>

#include "settings/text_util.h"

namespace qav {

namespace {

using Applier = std::function<void(Settings&, const std::string& key, const std::string& value)>;

struct KeyRule {
  const char* key;
  Applier apply;
};

template <typename Part>
using PartOf = Part& (*)(Settings&);

Settings& whole(Settings& settings) { return settings; }
SipSettings& sip(Settings& settings) { return settings.sip; }
DeviceSettings& device(Settings& settings) { return settings.device; }

template <typename Part>
Applier text(PartOf<Part> part, std::string Part::*field) {
  return [part, field](Settings& s, const std::string&, const std::string& value) {
    part(s).*field = value;
  };
}

template <typename Part, typename Number>
Applier number(PartOf<Part> part, Number Part::*field, std::uint32_t bound) {
  return [part, field, bound](Settings& s, const std::string& key, const std::string& value) {
    part(s).*field = static_cast<Number>(parseNumber(key, value, bound));
  };
}

template <typename Part>
Applier boolean(PartOf<Part> part, bool Part::*field) {
  return [part, field](Settings& s, const std::string& key, const std::string& value) {
    part(s).*field = parseBool(key, value);
  };
}

template <typename Part>
Applier list(PartOf<Part> part, std::vector<std::string> Part::*field) {
  return [part, field](Settings& s, const std::string&, const std::string& value) {
    part(s).*field = parseList(value);
  };
}

// Enumeration words are compared after ASCII lower-casing, so "RFC2833" and
// "SIP-INFO" are accepted.
template <typename Part, typename Enum>
Applier choice(PartOf<Part> part, Enum Part::*field,
               std::initializer_list<std::pair<const char*, Enum>> words, const char* message) {
  std::vector<std::pair<std::string, Enum>> table(words.begin(), words.end());
  return [part, field, table, message](Settings& s, const std::string&, const std::string& value) {
    const std::string lowered = lowerAscii(value);
    for (const auto& [word, result] : table)
      if (lowered == word) {
        part(s).*field = result;
        return;
      }
    throw std::runtime_error(message);
  };
}

// An empty password of this moment is filled from the variable just named;
// a password given earlier, or in the same source, wins over the variable.
void applyPasswordEnv(Settings& settings, const std::string&, const std::string& value) {
  settings.sip.passwordEnv = value;
  if (!settings.sip.password.empty() || value.empty()) return;
  const char* fromEnvironment = std::getenv(value.c_str());
  if (fromEnvironment != nullptr && *fromEnvironment != '\0')
    settings.sip.password = fromEnvironment;
}

const std::vector<KeyRule>& keyTable() {
  static const std::vector<KeyRule> table{
      {"config", text(whole, &Settings::configPath)},
      {"sip-server", text(sip, &SipSettings::server)},
      {"sip-port", number(sip, &SipSettings::port, 65535)},
      {"sip-user", text(sip, &SipSettings::user)},
      {"sip-auth-user", text(sip, &SipSettings::authUser)},
      {"sip-password", text(sip, &SipSettings::password)},
      {"sip-password-env", applyPasswordEnv},
      {"sip-realm", text(sip, &SipSettings::realm)},
      {"sip-proxy", text(sip, &SipSettings::proxy)},
      {"sip-stun-server", text(sip, &SipSettings::stunServer)},
      {"sip-ice", boolean(sip, &SipSettings::ice)},
      {"sip-dial-prefix", text(sip, &SipSettings::dialPrefix)},
      {"sip-tls-verify", boolean(sip, &SipSettings::tlsVerify)},
      {"sip-tls-ca-file", text(sip, &SipSettings::tlsCaFile)},
      {"sip-transport",
       choice(sip, &SipSettings::transport,
              {{"udp", SipTransport::Udp}, {"tcp", SipTransport::Tcp}, {"tls", SipTransport::Tls}},
              "sip-transport muss udp, tcp oder tls sein")},
      {"dtmf-method", choice(sip, &SipSettings::dtmfMethod,
                             {{"rfc4733", DtmfMethod::Rfc4733},
                              {"rfc2833", DtmfMethod::Rfc4733},
                              {"inband", DtmfMethod::Inband},
                              {"sip-info", DtmfMethod::SipInfo}},
                             "dtmf-method muss rfc4733, inband oder sip-info sein")},
      {"dtmf-tone-ms", number(sip, &SipSettings::dtmfToneMs, 1000)},
      {"dtmf-gap-ms", number(sip, &SipSettings::dtmfGapMs, 1000)},
      {"target", text(device, &DeviceSettings::target)},
      {"pin", text(device, &DeviceSettings::pin)},
      {"new-pin", text(device, &DeviceSettings::newPin)},
      {"cabin", number(device, &DeviceSettings::cabin, 9)},
      {"actions", list(device, &DeviceSettings::actions)},
      {"routine-at", text(device, &DeviceSettings::routineAt)},
      {"routine-days", number(device, &DeviceSettings::routineDays, 99)},
      {"service-number", text(device, &DeviceSettings::serviceNumber)},
      {"emergency-numbers", list(device, &DeviceSettings::emergencyNumbers)},
      {"dial-mode", text(device, &DeviceSettings::dialMode)},
      {"dial-attempts", text(device, &DeviceSettings::dialAttempts)},
      {"call-duration", text(device, &DeviceSettings::callDuration)},
      {"input-mode", text(device, &DeviceSettings::inputMode)},
      {"call-protection", text(device, &DeviceSettings::callProtection)},
      {"routine-fault", text(device, &DeviceSettings::routineFault)},
      {"z208", text(device, &DeviceSettings::z208Id)},
      {"output-mode", text(device, &DeviceSettings::outputMode)},
      {"alarm-latency", text(device, &DeviceSettings::alarmLatency)},
      {"alarm-horn", text(device, &DeviceSettings::alarmHorn)},
      {"line-impedance", text(device, &DeviceSettings::lineImpedance)},
      {"bus-address", text(device, &DeviceSettings::busAddress)},
      {"emergency-trigger-1", text(device, &DeviceSettings::emergencyTrigger1)},
      {"emergency-trigger-2", text(device, &DeviceSettings::emergencyTrigger2)},
      {"emergency-trigger-3", text(device, &DeviceSettings::emergencyTrigger3)},
      {"retries", number(device, &DeviceSettings::retries, 10)},
      {"settle-ms", number(device, &DeviceSettings::settleMs, 10000)},
      {"json", boolean(whole, &Settings::json)},
      {"dry-run", boolean(whole, &Settings::dryRun)},
      {"record-audio", text(whole, &Settings::recordAudioPath)},
      {"report", text(whole, &Settings::reportPath)},
      {"color",
       choice(
           whole, &Settings::color,
           {{"auto", ColorMode::Auto}, {"always", ColorMode::Always}, {"never", ColorMode::Never}},
           "color muss auto, always oder never sein")},
  };
  return table;
}

}  // namespace

bool isSettingKey(const std::string& key) {
  const std::vector<KeyRule>& table = keyTable();
  return std::any_of(table.begin(), table.end(),
                     [&key](const KeyRule& rule) { return rule.key == key; });
}

void applySettingMap(Settings& settings, const SettingMap& map) {
  for (const KeyRule& rule : keyTable()) {
    const auto entry = map.find(rule.key);
    if (entry != map.end()) rule.apply(settings, entry->first, entry->second);
  }
}

}  // namespace qav

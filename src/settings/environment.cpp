#include "settings/environment.h"

#include <cstdlib>
#include <utility>

#include "settings/setting_map.h"
#include "settings/setting_values.h"

namespace qav {

namespace {

// Variable and the key it sets, in the order they are read. sip-password-env,
// config, dry-run, json and color deliberately have no variable.
constexpr std::pair<const char*, const char*> environmentKeys[] = {
    {"QAV_SIP_SERVER", "sip-server"},
    {"QAV_SIP_PORT", "sip-port"},
    {"QAV_SIP_TRANSPORT", "sip-transport"},
    {"QAV_SIP_USER", "sip-user"},
    {"QAV_SIP_AUTH_USER", "sip-auth-user"},
    {"QAV_SIP_PASSWORD", "sip-password"},
    {"QAV_SIP_REALM", "sip-realm"},
    {"QAV_SIP_PROXY", "sip-proxy"},
    {"QAV_SIP_STUN_SERVER", "sip-stun-server"},
    {"QAV_SIP_ICE", "sip-ice"},
    {"QAV_SIP_DIAL_PREFIX", "sip-dial-prefix"},
    {"QAV_SIP_TLS_VERIFY", "sip-tls-verify"},
    {"QAV_SIP_TLS_CA_FILE", "sip-tls-ca-file"},
    {"QAV_DTMF_METHOD", "dtmf-method"},
    {"QAV_TARGET", "target"},
    {"QAV_PIN", "pin"},
    {"QAV_NEW_PIN", "new-pin"},
    {"QAV_CABIN", "cabin"},
    {"QAV_BUS_ADDRESS", "bus-address"},
    {"QAV_ACTIONS", "actions"},
    {"QAV_RECORD_AUDIO", "record-audio"},
    {"QAV_REPORT", "report"},
};

// Unset and empty are the same: an empty variable cannot clear a value that
// the configuration file set.
const char* nonEmptyVariable(const std::string& name) {
  if (name.empty()) return nullptr;
  const char* value = std::getenv(name.c_str());
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

void applyEnvironment(Settings& settings) {
  SettingMap map;
  for (const auto& [variable, key] : environmentKeys)
    if (const char* value = nonEmptyVariable(variable)) map[key] = value;
  applySettingMap(settings, map);

  if (!settings.sip.password.empty()) return;
  if (const char* password = nonEmptyVariable(settings.sip.passwordEnv))
    settings.sip.password = password;
}

}  // namespace qav

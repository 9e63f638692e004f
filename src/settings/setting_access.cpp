#include "settings/setting_access.h"

#include <cstdlib>

namespace qav {

Settings& whole(Settings& settings) { return settings; }
SipSettings& sip(Settings& settings) { return settings.sip; }
DeviceSettings& device(Settings& settings) { return settings.device; }

std::string joinedList(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) text += (i == 0 ? "" : ",") + items[i];
  return text;
}

SettingAccess passwordVariableField() {
  return {ValueForm::Text,
          [](Settings& settings, const std::string&, const std::string& value) {
            settings.sip.passwordEnv = value;
            if (!settings.sip.password.empty() || value.empty()) return;
            const char* fromEnvironment = std::getenv(value.c_str());
            if (fromEnvironment != nullptr && *fromEnvironment != '\0')
              settings.sip.password = fromEnvironment;
          },
          [](const Settings& settings) { return settings.sip.passwordEnv; }};
}

}  // namespace qav

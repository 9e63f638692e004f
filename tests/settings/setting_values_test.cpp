#include "settings/setting_values.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "scoped_environment.h"

namespace qav {
namespace {

std::string applyError(Settings& settings, const SettingMap& map) {
  try {
    applySettingMap(settings, map);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "(applied)";
}

TEST(ApplySettingMap, UnknownKeysChangeNothing) {
  Settings settings;
  applySettingMap(settings, {{"sip-sip-server", "x"}, {"Target", "1"}, {"", "y"}, {"sip-", "z"}});
  EXPECT_EQ(settings, Settings{});
}

TEST(ApplySettingMap, NumbersKeepTheirBoundsAndStoreWidth) {
  Settings settings;
  applySettingMap(settings, {{"sip-port", "65535"}, {"settle-ms", "10000"}, {"retries", "10"}});
  EXPECT_EQ(settings.sip.port, 65535);
  EXPECT_EQ(settings.device.settleMs, 10000u);
  EXPECT_EQ(applyError(settings, {{"sip-port", "65536"}}),
            "Ungültiger Zahlenwert für sip-port: 65536");
  EXPECT_EQ(settings.sip.port, 65535);
  EXPECT_EQ(applyError(settings, {{"retries", "-1"}}), "Ungültiger Zahlenwert für retries: -1");
}

TEST(ApplySettingMap, KeysBeforeTheFailingOneStayApplied) {
  Settings settings;
  EXPECT_EQ(applyError(settings, {{"cabin", "10"}, {"target", "0123"}, {"retries", "3"}}),
            "Ungültiger Zahlenwert für cabin: 10");
  EXPECT_EQ(settings.device.target, "0123");
  EXPECT_EQ(settings.device.retries, 2u);
}

TEST(ApplySettingMap, EnumerationWordsIgnoreCase) {
  Settings settings;
  applySettingMap(settings,
                  {{"sip-transport", "TLS"}, {"dtmf-method", "RFC2833"}, {"color", "Never"}});
  EXPECT_EQ(settings.sip.transport, SipTransport::Tls);
  EXPECT_EQ(settings.sip.dtmfMethod, DtmfMethod::Rfc4733);
  EXPECT_EQ(settings.color, ColorMode::Never);
  applySettingMap(settings, {{"dtmf-method", "SIP-INFO"}});
  EXPECT_EQ(settings.sip.dtmfMethod, DtmfMethod::SipInfo);

  EXPECT_EQ(applyError(settings, {{"sip-transport", "sctp"}}),
            "sip-transport muss udp, tcp oder tls sein");
  EXPECT_EQ(applyError(settings, {{"dtmf-method", "sip_info"}}),
            "dtmf-method muss rfc4733, inband oder sip-info sein");
  EXPECT_EQ(applyError(settings, {{"color", " auto"}}), "color muss auto, always oder never sein");
}

TEST(ApplySettingMap, ListsReplaceTheWholeList) {
  Settings settings;
  applySettingMap(settings, {{"actions", "service"}, {"emergency-numbers", "110,112"}});
  EXPECT_EQ(settings.device.actions, std::vector<std::string>{"service"});
  EXPECT_EQ(settings.device.emergencyNumbers, (std::vector<std::string>{"110", "112"}));
  applySettingMap(settings, {{"actions", ""}});
  EXPECT_TRUE(settings.device.actions.empty());
}

TEST(ApplySettingMap, PasswordVariableFillsOnlyAnEmptyPassword) {
  testing::ScopedEnvironment environment;
  environment.set("QAV_TEST_OTHER_PASSWORD", "from-variable");

  Settings sameSource;
  applySettingMap(sameSource,
                  {{"sip-password", "given"}, {"sip-password-env", "QAV_TEST_OTHER_PASSWORD"}});
  EXPECT_EQ(sameSource.sip.password, "given");
  EXPECT_EQ(sameSource.sip.passwordEnv, "QAV_TEST_OTHER_PASSWORD");

  Settings earlierSource;
  applySettingMap(earlierSource, {{"sip-password", "earlier"}});
  applySettingMap(earlierSource, {{"sip-password-env", "QAV_TEST_OTHER_PASSWORD"}});
  EXPECT_EQ(earlierSource.sip.password, "earlier");

  Settings onlyVariable;
  applySettingMap(onlyVariable, {{"sip-password-env", "QAV_TEST_OTHER_PASSWORD"}});
  EXPECT_EQ(onlyVariable.sip.password, "from-variable");

  environment.set("QAV_TEST_OTHER_PASSWORD", "");
  Settings emptyVariable;
  applySettingMap(emptyVariable, {{"sip-password-env", "QAV_TEST_OTHER_PASSWORD"}});
  EXPECT_EQ(emptyVariable.sip.password, "");
}

}  // namespace
}  // namespace qav

#include "settings/environment.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "scoped_environment.h"
#include "settings/command_line.h"
#include "settings/setting_values.h"

namespace qav {
namespace {

const char* const variables[] = {
    "QAV_SIP_SERVER",      "QAV_SIP_PORT",     "QAV_SIP_TRANSPORT",   "QAV_SIP_USER",
    "QAV_SIP_AUTH_USER",   "QAV_SIP_PASSWORD", "QAV_SIP_REALM",       "QAV_SIP_PROXY",
    "QAV_SIP_STUN_SERVER", "QAV_SIP_ICE",      "QAV_SIP_DIAL_PREFIX", "QAV_DTMF_METHOD",
    "QAV_TARGET",          "QAV_PIN",          "QAV_NEW_PIN",         "QAV_CABIN",
    "QAV_BUS_ADDRESS",     "QAV_ACTIONS",      "QAV_RECORD_AUDIO",    "QAV_REPORT",
};

class Environment : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : variables) env_.unset(name);
    env_.unset("QAV_TEST_PASSWORD");
  }

  std::string applyError(Settings& settings) {
    try {
      applyEnvironment(settings);
    } catch (const std::runtime_error& error) {
      return error.what();
    }
    return "(applied)";
  }

  testing::ScopedEnvironment env_;
};

TEST_F(Environment, EveryVariableReachesItsKey) {
  for (const char* name : variables) env_.set(name, "7");
  env_.set("QAV_SIP_TRANSPORT", "TCP");
  env_.set("QAV_SIP_ICE", "yes");
  env_.set("QAV_DTMF_METHOD", "INBAND");
  env_.set("QAV_ACTIONS", "clock,service");
  Settings settings;
  applyEnvironment(settings);

  SipSettings sip;
  sip.server = sip.user = sip.authUser = sip.password = sip.realm = sip.proxy = sip.stunServer =
      sip.dialPrefix = "7";
  sip.port = 7;
  sip.transport = SipTransport::Tcp;
  sip.ice = true;
  sip.dtmfMethod = DtmfMethod::Inband;
  EXPECT_EQ(settings.sip, sip);
  EXPECT_EQ(settings.device.target, "7");
  EXPECT_EQ(settings.device.pin, "7");
  EXPECT_EQ(settings.device.newPin, "7");
  EXPECT_EQ(settings.device.cabin, 7u);
  EXPECT_EQ(settings.device.busAddress, "7");
  EXPECT_EQ(settings.device.actions, (std::vector<std::string>{"clock", "service"}));
  EXPECT_EQ(settings.recordAudioPath, "7");
  EXPECT_EQ(settings.reportPath, "7");
}

TEST_F(Environment, EmptyOrUnsetLeavesTheFileValue) {
  Settings settings;
  applySettingMap(settings, {{"target", "0123"}, {"sip-server", "pbx"}});
  env_.set("QAV_TARGET", "");
  applyEnvironment(settings);
  EXPECT_EQ(settings.device.target, "0123");
  EXPECT_EQ(settings.sip.server, "pbx");
}

TEST_F(Environment, OnlyTheListedVariablesCount) {
  env_.set("QAV_JSON", "1");
  env_.set("QAV_DRY_RUN", "1");
  env_.set("QAV_COLOR", "bogus");
  env_.set("QAV_CONFIG", "/x");
  env_.set("QAV_RETRIES", "5");
  Settings settings;
  applyEnvironment(settings);
  EXPECT_EQ(settings, Settings{});
}

TEST_F(Environment, ErrorsNameTheKeyAndQuoteTheValue) {
  Settings settings;
  env_.set("QAV_SIP_PORT", " 5070");
  applyEnvironment(settings);
  EXPECT_EQ(settings.sip.port, 5070);
  env_.set("QAV_SIP_PORT", "5070 ");
  EXPECT_EQ(applyError(settings), "Ungültiger Zahlenwert für sip-port: 5070 ");
  env_.unset("QAV_SIP_PORT");
  env_.set("QAV_SIP_ICE", "y");
  EXPECT_EQ(applyError(settings), "Ungültiger Wahrheitswert für sip-ice: y");
}

TEST_F(Environment, PasswordResolutionOrder) {
  const SettingMap file{{"sip-password-env", "QAV_TEST_PASSWORD"}};
  env_.set("QAV_TEST_PASSWORD", "named");

  Settings namedOnly;
  applySettingMap(namedOnly, file);
  applyEnvironment(namedOnly);
  EXPECT_EQ(namedOnly.sip.password, "named");

  // The file's lookup already filled the password; QAV_SIP_PASSWORD still
  // replaces it, and the command line replaces that.
  env_.set("QAV_SIP_PASSWORD", "standard");
  Settings both;
  applySettingMap(both, file);
  applyEnvironment(both);
  EXPECT_EQ(both.sip.password, "standard");
  applySettingMap(both, {{"sip-password", "typed"}});
  EXPECT_EQ(both.sip.password, "typed");
}

TEST_F(Environment, NamedVariableIsReadAfterItIsSetLater) {
  // The file names the variable before the variable exists for it; the
  // lookup after the environment still finds it.
  Settings settings;
  applySettingMap(settings, {{"sip-password-env", "QAV_TEST_PASSWORD"}});
  EXPECT_EQ(settings.sip.password, "");
  env_.set("QAV_TEST_PASSWORD", "late");
  applyEnvironment(settings);
  EXPECT_EQ(settings.sip.password, "late");
}

TEST_F(Environment, CommandLineOverEnvironmentOverFile) {
  env_.set("QAV_TARGET", "from-env");
  env_.set("QAV_PIN", "1111");
  Settings settings;
  applySettingMap(settings, {{"target", "from-file"}, {"pin", "2222"}, {"cabin", "3"}});
  applyEnvironment(settings);
  const char* argv[] = {"qav-cli", "--pin", "3333", nullptr};
  applySettingMap(settings, parseCommandLine(3, argv).options);
  EXPECT_EQ(settings.device.target, "from-env");
  EXPECT_EQ(settings.device.pin, "3333");
  EXPECT_EQ(settings.device.cabin, 3u);
}

}  // namespace
}  // namespace qav

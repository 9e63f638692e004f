#include <gtest/gtest.h>
#include <sys/stat.h>


#include "menu/ini_writer.h"
#include "menu/setting_text.h"
#include "menu/settings_file.h"
#include "menu_test_support.h"
#include "scoped_environment.h"
#include "temporary_directory.h"
#include "settings/config_file.h"
#include "settings/setting_values.h"

namespace qav::menu {
namespace {

using qav::testing::ScopedEnvironment;
using qav::testing::TemporaryDirectory;

// What qav-cli makes of the file: its own reader, applied onto defaults.
Settings readBackByQavCli(const std::string& path) {
  Settings settings;
  applySettingMap(settings, readConfigFile(path));
  return settings;
}

unsigned modeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0);
  return status.st_mode & 0777;
}

// Values that an INI line can easily get wrong: blanks at the ends, quotes
// of their own, comment and section characters, equals signs, UTF-8.
Settings awkwardSettings() {
  Settings s;
  s.sip.server = " pbx.example ";
  s.sip.port = 5070;
  s.sip.transport = SipTransport::Tls;
  s.sip.user = "\"quoted\"";
  s.sip.authUser = "\"";
  s.sip.password = "  p#ss;w=rd\t";
  s.sip.passwordEnv = "OTHER_PASSWORD";
  s.sip.realm = "";
  s.sip.proxy = "sip:proxy;lr";
  s.sip.stunServer = "[stun]:3478";
  s.sip.ice = true;
  s.sip.tlsVerify = true;
  s.sip.tlsCaFile = " CA #1;=.pem";
  s.sip.dialPrefix = "0";
  s.sip.dtmfMethod = DtmfMethod::SipInfo;
  s.sip.dtmfToneMs = 40;
  s.sip.dtmfGapMs = 0;
  s.device.target = "# 0123";
  s.device.pin = "; 12";
  s.device.cabin = 9;
  s.device.actions = {"clock", "Clock", "", "routine"};
  s.device.routineAt = "12=34";
  s.device.emergencyNumbers = {"110", "", "", "112#"};
  s.device.callProtection = "Ä\r";
  s.device.z208Id = "\"x\" ";
  s.device.retries = 10;
  s.device.settleMs = 0;
  s.json = true;
  s.dryRun = true;
  s.color = ColorMode::Always;
  s.recordAudioPath = " Aufnahme #1.wav";
  return s;
}

TEST(IniRoundTrip, QavCliReadsBackEveryFieldUnchanged) {
  ScopedEnvironment environment;
  environment.unset("QAV_SIP_PASSWORD");
  environment.set("OTHER_PASSWORD", "from-environment");
  const TemporaryDirectory scratch;
  for (const Settings& original : {Settings{}, awkwardSettings()}) {
    const std::string path = scratch.path("qav-cli.conf");
    saveSettingsFile(path, original);
    EXPECT_EQ(readBackByQavCli(path), original) << test::fileText(path);
    EXPECT_EQ(loadSettingsFile(path).settings, original);
  }
}

TEST(IniRoundTrip, PasswordFileIsPrivateFromTheStartAndReplacesAnOpenOne) {
  const TemporaryDirectory scratch;
  const std::string path = scratch.path("account.conf");
  test::writeFile(path, "target = 1\n");
  ::chmod(path.c_str(), 0644);
  Settings settings;
  settings.sip.password = "secret";
  saveSettingsFile(path, settings);
  EXPECT_EQ(modeOf(path), 0600u);
  EXPECT_EQ(readBackByQavCli(path).sip.password, "secret");
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(IniRoundTrip, FileWithoutPasswordHasNoPasswordKey) {
  const TemporaryDirectory scratch;
  const std::string path = scratch.path("plain.conf");
  saveSettingsFile(path, Settings{});
  // The bare key would make qav-cli refuse a world-readable file.
  ::chmod(path.c_str(), 0644);
  EXPECT_EQ(test::fileText(path).find("password ="), std::string::npos);
  EXPECT_NO_THROW(readConfigFile(path));
}

TEST(IniRoundTrip, ValuesThatCannotBeStoredAreRefusedAndTheOldFileStays) {
  const TemporaryDirectory scratch;
  const std::string path = scratch.path("kept.conf");
  test::writeFile(path, "target = 1\n");
  Settings lineBreak;
  lineBreak.device.target = "12\n34";
  Settings commaInEntry;
  commaInEntry.device.emergencyNumbers = {"110,112", "", "", ""};
  Settings blankAtEntry;
  blankAtEntry.device.actions = {" clock"};
  Settings singleEmptyEntry;
  singleEmptyEntry.device.actions = {""};
  for (const Settings& bad : {lineBreak, commaInEntry, blankAtEntry, singleEmptyEntry})
    EXPECT_THROW(saveSettingsFile(path, bad), std::runtime_error);
  EXPECT_EQ(test::fileText(path), "target = 1\n");
}

TEST(IniValue, QuotesOnlyWhereTheReaderWouldChangeTheValue) {
  EXPECT_EQ(iniValue("k", "plain value"), "plain value");
  EXPECT_EQ(iniValue("k", ""), "");
  EXPECT_EQ(iniValue("k", "\""), "\"");
  EXPECT_EQ(iniValue("k", " x"), "\" x\"");
  EXPECT_EQ(iniValue("k", "\"x\""), "\"\"x\"\"");
  EXPECT_THROW(iniValue("k", "a\nb"), std::runtime_error);
}

TEST(LoadSettings, ShowsTheFileNotTheEnvironmentAndReportsUnknownKeys) {
  ScopedEnvironment environment;
  environment.set("MENU_TEST_PASSWORD", "from-environment");
  const TemporaryDirectory scratch;
  const std::string path = scratch.path("load.conf");
  test::writeFile(path,
                  "[sip]\npassword_env = MENU_TEST_PASSWORD\nserver = pbx\n"
                  "[qav]\ntarget = 0123\nfrobnicate = 1\nconfig = elsewhere.conf\n");
  const LoadedSettings loaded = loadSettingsFile(path);
  EXPECT_EQ(loaded.settings.sip.passwordEnv, "MENU_TEST_PASSWORD");
  EXPECT_EQ(loaded.settings.sip.password, "");
  EXPECT_EQ(loaded.settings.sip.server, "pbx");
  EXPECT_EQ(loaded.settings.configPath, "");
  EXPECT_EQ(loaded.ignoredKeys, std::vector<std::string>{"frobnicate"});
}

TEST(LoadSettings, KeepsQavCliPermissionRule) {
  const TemporaryDirectory scratch;
  const std::string path = scratch.path("open.conf");
  test::writeFile(path, "[sip]\npassword = x\n");
  ::chmod(path.c_str(), 0640);
  EXPECT_THROW(loadSettingsFile(path), std::runtime_error);
}

}  // namespace
}  // namespace qav::menu

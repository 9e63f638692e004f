#include "settings/value_check.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

namespace qav {
namespace {

// One entered value, judged as qav-cli would judge it: first by the key's
// parser, then by its check, whether or not its action is selected.
TEST(CheckSettingValue, ParserThenCheckThenFine) {
  const Settings defaults;
  EXPECT_EQ(checkSettingValue(defaults, "cabin", "12"), "Ungültiger Zahlenwert für cabin: 12");
  EXPECT_EQ(checkSettingValue(defaults, "pin", "12"), "QAV-PIN muss vierstellig sein.");
  EXPECT_EQ(checkSettingValue(defaults, "dial-mode", "7"), "Wahlverfahren muss 0, 1 oder 2 sein.");
  EXPECT_EQ(checkSettingValue(defaults, "emergency-trigger-2", "123"),
            "emergency-trigger-2 muss Auslöser-, Lautsprecher- und Mikrofonnummer (je 1-3) "
            "enthalten.");
  EXPECT_EQ(checkSettingValue(defaults, "target", ""), "Zielrufnummer fehlt.");
  EXPECT_EQ(checkSettingValue(defaults, "actions", "clock,Routine"),
            "Unbekannte #*-Aktion: Routine");
  EXPECT_EQ(checkSettingValue(defaults, "sip-transport", "sctp"),
            "sip-transport muss udp, tcp oder tls sein");
  for (const auto& [key, text] : {std::pair{"dial-mode", "2"}, {"routine-at", "07:30"},
                                  {"cabin", "9"}, {"sip-transport", "TLS"}, {"retries", "10"}})
    EXPECT_EQ(checkSettingValue(defaults, key, text), std::nullopt) << key << " " << text;
  EXPECT_THROW(checkSettingValue(defaults, "no-such-key", "1"), std::invalid_argument);
}

TEST(CheckSettingValue, OtherSettingsCount) {
  Settings settings;
  EXPECT_EQ(checkSettingValue(settings, "sip-tls-verify", "yes"),
            "sip-tls-verify verlangt eine CA-Datei (sip-tls-ca-file).");
  settings.sip.tlsCaFile = "/etc/ssl/ca.pem";
  EXPECT_EQ(checkSettingValue(settings, "sip-tls-verify", "yes"), std::nullopt);
}

TEST(AllowedValuesText, ListsWordsRangesAndMeanings) {
  EXPECT_EQ(allowedValuesText("dial-mode"), "0 = Impulswahl, 1 = Tonwahl, 2 = Standleitung");
  EXPECT_EQ(allowedValuesText("dial-attempts"), "0 bis 12; 0 = unbegrenzt");
  EXPECT_EQ(allowedValuesText("sip-transport"), "udp, tcp oder tls");
  EXPECT_EQ(allowedValuesText("routine-days"), "1 bis 99");
}

}  // namespace
}  // namespace qav

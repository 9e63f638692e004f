#include "settings/validation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/action_catalogue.h"
#include "settings/setting_values.h"

namespace qav {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

Settings withTarget(const SettingMap& map = {}) {
  Settings settings;
  settings.device.target = "123";
  applySettingMap(settings, map);
  return settings;
}

std::vector<std::string> dryRun(const SettingMap& map) {
  return validateSettings(withTarget(map), false);
}

TEST(Validation, DefaultsWithTargetPassADryRun) {
  EXPECT_THAT(validateSettings(withTarget(), false), IsEmpty());
}

TEST(Validation, RealRunNeedsTheAccountInOrder) {
  EXPECT_THAT(
      validateSettings(withTarget(), true),
      ElementsAre("SIP-Server fehlt.", "SIP-Benutzer/Nebenstelle fehlt.", "SIP-Passwort fehlt."));
  EXPECT_THAT(
      validateSettings(
          withTarget({{"sip-server", "pbx"}, {"sip-user", "1"}, {"sip-password", "p"}}), true),
      IsEmpty());
}

TEST(Validation, EveryFindingIsCollectedInTableOrder) {
  Settings settings;
  applySettingMap(
      settings,
      {{"pin", "12a4"},
       {"actions", "dial-mode,Clock,security-pin,bogus,bogus,routine,emergency-trigger-2"},
       {"routine-days", "0"},
       {"new-pin", "123"},
       {"emergency-trigger-2", "123"},
       {"routine-at", "24:00"},
       {"dial-mode", "3"},
       {"dtmf-tone-ms", "39"}});
  EXPECT_THAT(
      validateSettings(settings, true),
      ElementsAre(
          "SIP-Server fehlt.", "SIP-Benutzer/Nebenstelle fehlt.", "SIP-Passwort fehlt.",
          "Zielrufnummer fehlt.", "QAV-PIN muss vierstellig sein.", "Unbekannte #*-Aktion: Clock",
          "Unbekannte #*-Aktion: bogus", "Unbekannte #*-Aktion: bogus",
          "Routinerufintervall muss 1 bis 99 Tage betragen.", "Neue QAV-PIN muss vierstellig sein.",
          "emergency-trigger-2 muss Auslöser-, Lautsprecher- und Mikrofonnummer (je 1-3) "
          "enthalten.",
          "Routinerufzeit muss HH:MM oder auto sein.", "Wahlverfahren muss 0, 1 oder 2 sein.",
          "DTMF-Tonlänge muss 40 bis 1000 ms betragen."));
}

TEST(Validation, ActionList) {
  EXPECT_THAT(dryRun({{"actions", ""}}), ElementsAre("Mindestens eine Aktion muss gewählt sein."));
  EXPECT_THAT(dryRun({{"actions", "clock,"}}), ElementsAre("Unbekannte #*-Aktion: "));
  std::string all;
  for (const std::string& name : knownActionNames()) all += name + ",";
  all.pop_back();
  Settings settings = withTarget({{"actions", all},
                                  {"service-number", "0800*1#"},
                                  {"emergency-numbers", "110,,,"},
                                  {"z208", "42"}});
  EXPECT_THAT(validateSettings(settings, false), IsEmpty());
}

TEST(Validation, PinIsExactlyFourDigits) {
  for (const char* pin : {"123", "12345", "12a4", "", "１２３"})
    EXPECT_THAT(dryRun({{"pin", pin}}), ElementsAre("QAV-PIN muss vierstellig sein.")) << pin;
  EXPECT_THAT(dryRun({{"pin", "0000"}}), IsEmpty());
  // The new PIN is only looked at when it is to be programmed.
  EXPECT_THAT(dryRun({{"new-pin", "x"}}), IsEmpty());
}

TEST(Validation, RoutineTime) {
  for (const char* bad :
       {"24:00", "7:30", "07-30", "AUTO", "12:60", " 7:30", "+7:30", "07:+5", "ab:cd", ""})
    EXPECT_THAT(dryRun({{"routine-at", bad}}),
                ElementsAre("Routinerufzeit muss HH:MM oder auto sein."))
        << bad;
  for (const char* good : {"23:59", "00:00", "07:05", "auto"})
    EXPECT_THAT(dryRun({{"routine-at", good}}), IsEmpty());
  EXPECT_THAT(dryRun({{"routine-at", "xx"}, {"actions", "clock"}}), IsEmpty());
}

TEST(Validation, RoutineDaysAlwaysChecked) {
  EXPECT_THAT(dryRun({{"routine-days", "0"}, {"actions", "clock"}}),
              ElementsAre("Routinerufintervall muss 1 bis 99 Tage betragen."));
  EXPECT_THAT(dryRun({{"routine-days", "99"}}), IsEmpty());
}

TEST(Validation, ServiceNumber) {
  const char* message = "Servicerufnummer muss 1 bis 25 DTMF-Zeichen enthalten.";
  for (const std::string& bad :
       {std::string(), std::string(26, '1'), std::string("12A"), std::string("1 2")})
    EXPECT_THAT(dryRun({{"actions", "service"}, {"service-number", bad}}), ElementsAre(message))
        << bad;
  EXPECT_THAT(dryRun({{"actions", "service"}, {"service-number", std::string(25, '#')}}),
              IsEmpty());
}

TEST(Validation, EmergencyNumbers) {
  const auto check = [](const std::string& list) {
    return dryRun({{"actions", "emergency-numbers"}, {"emergency-numbers", list}});
  };
  EXPECT_THAT(check("110,,,"), IsEmpty());
  EXPECT_THAT(check("110,112"),
              ElementsAre("emergency-numbers muss genau vier Einträge enthalten."));
  EXPECT_THAT(check(",,,"), ElementsAre("Mindestens eine Notrufnummer muss gesetzt sein."));
  EXPECT_THAT(dryRun({{"actions", "emergency-numbers"}}),
              ElementsAre("Mindestens eine Notrufnummer muss gesetzt sein."));
  EXPECT_THAT(check("110,11A,,12#"),
              ElementsAre("Eine Notrufnummer enthält ungültige DTMF-Zeichen oder ist zu lang."));
  EXPECT_THAT(check("x," + std::string(26, '1') + ",," + std::string(25, '1')),
              ElementsAre("Eine Notrufnummer enthält ungültige DTMF-Zeichen oder ist zu lang.",
                          "Eine Notrufnummer enthält ungültige DTMF-Zeichen oder ist zu lang."));
}

TEST(Validation, Triggers) {
  const auto check = [](const char* key, const char* value) {
    return dryRun({{"actions", key}, {key, value}});
  };
  EXPECT_THAT(check("emergency-trigger-1", "111"), IsEmpty());
  EXPECT_THAT(check("emergency-trigger-2", "213"), IsEmpty());
  EXPECT_THAT(check("emergency-trigger-3", "333"), IsEmpty());
  for (const char* bad : {"211", "141", "11", "1111", "101"})
    EXPECT_THAT(check("emergency-trigger-1", bad),
                ElementsAre("emergency-trigger-1 muss Auslöser-, Lautsprecher- und Mikrofonnummer "
                            "(je 1-3) enthalten."))
        << bad;
  EXPECT_THAT(check("emergency-trigger-2", "123"),
              ElementsAre("emergency-trigger-2 muss Auslöser-, Lautsprecher- und Mikrofonnummer "
                          "(je 1-3) enthalten."));
}

TEST(Validation, DialAttempts) {
  for (const char* good : {"0", "12", "012"})
    EXPECT_THAT(dryRun({{"actions", "dial-attempts"}, {"dial-attempts", good}}), IsEmpty()) << good;
  for (const char* bad : {"13", "", "1a", "+5", " 5", "99999999999999999999"})
    EXPECT_THAT(dryRun({{"actions", "dial-attempts"}, {"dial-attempts", bad}}),
                ElementsAre("Anwahlversuche müssen zwischen 0 und 12 liegen."))
        << bad;
}

// One table row per single parameter: a value just outside its range fails
// with its own message, and the same value passes when the action is not chosen.
TEST(Validation, SingleParametersOnlyWhenSelected) {
  const struct {
    const char* key;
    const char* good;
    const char* bad;
    const char* message;
  } rows[] = {
      {"dial-mode", "2", "3", "Wahlverfahren muss 0, 1 oder 2 sein."},
      {"call-duration", "9", "10", "Sprechdauer muss eine Ziffer zwischen 0 und 9 sein."},
      {"input-mode", "0", "01", "Eingangs-/Filtermodus muss 0, 1 oder 2 sein."},
      {"call-protection", "on", "ON", "Anrufschutz muss on oder off sein."},
      {"routine-fault", "1", "2", "Routineruf-Störungsanzeige muss 0 oder 1 sein."},
      {"z208", "12345678", "123456789", "Z208-ID muss 1 bis 8 Ziffern enthalten."},
      {"output-mode", "5", "6", "Ausgangsmodus muss zwischen 0 und 5 liegen."},
      {"alarm-latency", "9", "0", "Alarm-Latenz muss zwischen 1 und 9 Sekunden liegen."},
      {"alarm-horn", "3", "4", "Notrufhupe muss 0, 1, 2 oder 3 sein."},
      {"line-impedance", "0", "2", "Leitungsimpedanz muss 0 oder 1 sein."},
      {"bus-address", "9", "a", "Neue Bus-Adresse muss zwischen 0 und 9 liegen."},
  };
  for (const auto& row : rows) {
    EXPECT_THAT(dryRun({{"actions", row.key}, {row.key, row.good}}), IsEmpty()) << row.key;
    EXPECT_THAT(dryRun({{"actions", row.key}, {row.key, row.bad}}), ElementsAre(row.message))
        << row.key;
    EXPECT_THAT(dryRun({{row.key, row.bad}}), IsEmpty()) << row.key;
  }
  EXPECT_THAT(dryRun({{"actions", "z208"}}),
              ElementsAre("Z208-ID muss 1 bis 8 Ziffern enthalten."));
}

TEST(Validation, ToneLengthLimits) {
  EXPECT_THAT(dryRun({{"dtmf-tone-ms", "40"}}), IsEmpty());
  EXPECT_THAT(dryRun({{"dtmf-tone-ms", "1000"}}), IsEmpty());
  EXPECT_THAT(dryRun({{"dtmf-tone-ms", "0"}}),
              ElementsAre("DTMF-Tonlänge muss 40 bis 1000 ms betragen."));
  Settings tooLong = withTarget();
  tooLong.sip.dtmfToneMs = 1001;
  EXPECT_THAT(validateSettings(tooLong, false),
              ElementsAre("DTMF-Tonlänge muss 40 bis 1000 ms betragen."));
}

TEST(Validation, CabinAboveNineSetDirectly) {
  Settings settings = withTarget();
  settings.device.cabin = 10;
  EXPECT_THAT(validateSettings(settings, false),
              ElementsAre("Aktuelle Kabinennummer muss zwischen 0 und 9 liegen."));
}

}  // namespace
}  // namespace qav

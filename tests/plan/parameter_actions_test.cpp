#include "plan/parameter_actions.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "plan_test_support.h"

namespace qav {
namespace {

struct ValueText {
  const char* action;
  const char* digits;
  const char* text;
};

// Every row of the label tables, including the "anything else" branches.
const ValueText kValueTexts[] = {
    {"dial-mode", "1", "Tonwahl"},
    {"dial-mode", "0", "Impulswahl"},
    {"dial-mode", "2", "Standleitung"},
    {"dial-attempts", "0", "unbegrenzt"},
    {"dial-attempts", "12", "12"},
    {"call-duration", "0", "30 Minuten"},
    {"call-duration", "5", "5 Minuten"},
    {"input-mode", "1", "Missbrauchsfilter"},
    {"input-mode", "0", "inaktiv"},
    {"input-mode", "2", "Notruftest für EAW"},
    {"call-protection", "0", "aus"},
    {"call-protection", "1", "ein"},
    {"routine-fault", "0", "aus"},
    {"routine-fault", "1", "ein"},
    {"z208", "00000042", "00000042"},
    {"output-mode", "0", "aus"},
    {"output-mode", "1", "Bereit (NC)"},
    {"output-mode", "2", "Störung (NO)"},
    {"output-mode", "3", "Störung (NC)"},
    {"output-mode", "4", "Schachthupe (NO)"},
    {"output-mode", "5", "Notruftastertest (NO)"},
    {"alarm-latency", "3", "3 Sekunden"},
    {"alarm-horn", "0", "aus"},
    {"alarm-horn", "1", "alternierender Ton"},
    {"alarm-horn", "2", "Sirene"},
    {"alarm-horn", "3", "Intervallton"},
    {"line-impedance", "0", "600 Ohm (kurze Leitung/GSM)"},
    {"line-impedance", "1", "1000 Ohm (lange Leitung/Hauptanschluss)"},
    {"bus-address", "0", "Einzelgerät"},
    {"bus-address", "3", "Mehrgerätebetrieb, Bus-Adresse 3"},
};

TEST(ParameterValueText, LabelTables) {
  for (const ValueText& row : kValueTexts)
    EXPECT_EQ(parameterValueText(row.action, row.digits), row.text)
        << row.action << " " << row.digits;
}

TEST(ParameterValueText, ValuesOutsideTheTablesFail) {
  for (const char* digits : {"6", "9", "", "x", "/"})
    EXPECT_THROW(parameterValueText("output-mode", digits), std::out_of_range) << digits;
  for (const char* digits : {"4", "", "a"})
    EXPECT_THROW(parameterValueText("alarm-horn", digits), std::out_of_range) << digits;
  EXPECT_THROW(parameterValueText("clock", "1"), std::invalid_argument);
}

CommandPlan parameterPlan(const DeviceSettings& settings) {
  CommandPlan plan;
  addParameterActions(settings, plan);
  return plan;
}

TEST(ParameterActions, DigitsAreTheSettingExceptProtectionAndZ208) {
  DeviceSettings settings;
  settings.actions = {"call-protection", "z208", "dial-attempts"};
  settings.callProtection = "off";
  settings.z208Id = "12345678";
  settings.dialAttempts = "12";
  const CommandPlan plan = parameterPlan(settings);
  ASSERT_EQ(plan.size(), 3u);
  EXPECT_EQ(plan[0].segments[1].digits, "12");
  EXPECT_EQ(plan[0].segments[1].label, "Parameter maximale Anwahlversuche auf 12 setzen");
  EXPECT_EQ(plan[1].segments[1].digits, "0");
  EXPECT_EQ(plan[1].segments[1].label, "Parameter Anrufschutz auf aus setzen");
  EXPECT_EQ(plan[2].segments[1].digits, "12345678");
}

TEST(ParameterActions, TableOrderAndOnlySelected) {
  DeviceSettings settings;
  settings.actions = {"line-impedance", "clock", "dial-mode", "line-impedance"};
  const CommandPlan plan = parameterPlan(settings);
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(plan[0].name, "dial-mode");
  EXPECT_EQ(plan[1].name, "line-impedance");
}

TEST(ParameterActions, UnknownValueFailsOnlyWhenSelected) {
  DeviceSettings settings;
  settings.outputMode = "7";
  settings.alarmHorn = "9";
  settings.actions = {"dial-mode"};
  EXPECT_EQ(parameterPlan(settings).size(), 1u);
  settings.actions = {"output-mode"};
  EXPECT_THROW(parameterPlan(settings), std::out_of_range);
  settings.actions = {"alarm-horn"};
  EXPECT_THROW(parameterPlan(settings), std::out_of_range);
}

}  // namespace
}  // namespace qav

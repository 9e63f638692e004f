#include "plan/plan_builder.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "settings/action_catalogue.h"
#include "plan_test_support.h"

namespace qav {
namespace {

constexpr Signal S = Signal::SingleConfirmation;
constexpr Signal D = Signal::DoubleConfirmation;

struct ExpectedAction {
  const char* name;
  const char* title;
  std::vector<PlanSegment> segments;
};

void expectPlan(const CommandPlan& plan, const std::vector<ExpectedAction>& expected) {
  ASSERT_EQ(plan.size(), expected.size());
  for (std::size_t i = 0; i < plan.size(); ++i) {
    EXPECT_EQ(plan[i].name, expected[i].name) << "action " << i;
    EXPECT_EQ(plan[i].title, expected[i].title) << "action " << i;
    EXPECT_EQ(plan[i].segments, expected[i].segments) << "action " << expected[i].name;
  }
}

std::string routineAtAuto(const CommandPlan& plan) {
  for (const PlanAction& action : plan)
    if (action.name == "routine") return action.segments.at(1).digits;
  return "no routine action";
}

DeviceSettings everyAction() {
  DeviceSettings settings;
  settings.actions = knownActionNames();
  settings.pin = "9999";
  settings.newPin = "4711";
  settings.routineAt = "07:30";
  settings.routineDays = 1;
  settings.serviceNumber = "0800123";
  settings.emergencyNumbers = {"112", "0301234", "", ""};
  settings.emergencyTrigger1 = "111";
  settings.emergencyTrigger2 = "213";
  settings.emergencyTrigger3 = "332";
  settings.dialMode = "2";
  settings.dialAttempts = "0";
  settings.callDuration = "0";
  settings.inputMode = "2";
  settings.callProtection = "on";
  settings.routineFault = "1";
  settings.z208Id = "42";
  settings.outputMode = "4";
  settings.alarmLatency = "5";
  settings.alarmHorn = "2";
  settings.lineImpedance = "0";
  settings.busAddress = "3";
  return settings;
}

ExpectedAction parameter(const char* name, const char* title, const char* code,
                         const char* digits, const char* label) {
  return {name, title,
          {{code, S, std::string("Einstellung ") + title + " initialisieren", 10000},
           {digits, D, label, 10000}}};
}

TEST(PlanBuilder, EveryActionInPlanOrder) {
  ScopedTimeZone zone("UTC");
  const CommandPlan plan = buildCommandPlan(everyAction(), utcTime(2026, 12, 7, 23, 5, 0));
  const char* trigger = "Zuordnung des Notrufauslösers initialisieren";
  expectPlan(plan, {
      {"emergency-trigger-1", "Notrufauslöser 1",
       {{"#*05", S, trigger, 10000},
        {"111", D, "Auslöser 1 Lautsprecher 1 und Mikrofon 1 zuordnen", 10000}}},
      {"emergency-trigger-2", "Notrufauslöser 2",
       {{"#*05", S, trigger, 10000},
        {"213", D, "Auslöser 2 Lautsprecher 1 und Mikrofon 3 zuordnen", 10000}}},
      {"emergency-trigger-3", "Notrufauslöser 3",
       {{"#*05", S, trigger, 10000},
        {"332", D, "Auslöser 3 Lautsprecher 3 und Mikrofon 2 zuordnen", 10000}}},
      {"clock", "Uhrzeit und Datum",
       {{"#*20", S, "Einstellung Uhrzeit und Datum initialisieren", 10000},
        {"2305", S, "Parameter Uhrzeit auf 23:05 Uhr setzen", 10000},
        {"07122026", D, "Parameter Datum auf 07.12.2026 setzen", 10000}}},
      {"routine", "Routineruf",
       {{"#*21", S, "Einstellung Routineruf initialisieren", 10000},
        {"0730", S, "Parameter Routinezeit auf 07:30 Uhr setzen", 10000},
        {"4", S, "Parameter Frequenz auf „freies Tagesintervall“ setzen", 10000},
        {"01", D, "Parameter freies Intervall auf 1 Tag setzen", 10000}}},
      {"service", "Serviceruf",
       {{"#*22", S, "Einstellung Serviceruf initialisieren", 10000},
        {"0800123", S, "Parameter Servicerufnummer auf 0800123 setzen", 10000},
        {"5", D, "Parameter Routinerufziel auf Z208 setzen", 10000}}},
      {"emergency-numbers", "Notrufnummern",
       {{"#*00", S, "Einstellung Notrufnummern initialisieren", 10000},
        {"112", S, "Parameter Notrufnummer 1 auf 112 setzen", 10000},
        {"0301234", S, "Parameter Notrufnummer 2 auf 0301234 setzen", 10000},
        {"", S, "Parameter Notrufnummer 3 auf leer setzen", 10000},
        {"", D, "Parameter Notrufnummer 4 auf leer setzen", 10000}}},
      {"emergency-targets", "Notrufziele",
       {{"#*72", S, "Einstellung Notrufziele initialisieren", 10000},
        {"5", S, "Parameter Notrufziel 1 auf Z208 setzen", 10000},
        {"5", S, "Parameter Notrufziel 2 auf Z208 setzen", 10000},
        {"5", S, "Parameter Notrufziel 3 auf Z208 setzen", 10000},
        {"5", D, "Parameter Notrufziel 4 auf Z208 setzen", 10000}}},
      parameter("dial-mode", "Wahlverfahren", "#*01", "2",
                "Parameter Wahlverfahren auf Standleitung setzen"),
      parameter("dial-attempts", "Anwahlversuche", "#*02", "0",
                "Parameter maximale Anwahlversuche auf unbegrenzt setzen"),
      parameter("call-duration", "Sprechdauer", "#*03", "0",
                "Parameter maximale Sprechdauer auf 30 Minuten setzen"),
      parameter("input-mode", "Notruffilter und Eingang", "#*04", "2",
                "Parameter Eingangsmodus auf Notruftest für EAW setzen"),
      parameter("call-protection", "Anrufschutz", "#*08", "1",
                "Parameter Anrufschutz auf ein setzen"),
      parameter("routine-fault", "Routineruf-Störungsanzeige", "#*23", "1",
                "Parameter Störungsanzeige auf ein setzen"),
      parameter("z208", "Z208-ID", "#*30", "00000042", "Parameter Z208-ID auf 00000042 setzen"),
      parameter("output-mode", "Ausgang", "#*31", "4",
                "Parameter Ausgangsmodus auf Schachthupe (NO) setzen"),
      parameter("alarm-latency", "Alarm-Latenz", "#*91", "5",
                "Parameter Mindestbetätigung auf 5 Sekunden setzen"),
      parameter("alarm-horn", "Notrufhupe", "#*58", "2",
                "Parameter akustisches Signal auf Sirene setzen"),
      parameter("line-impedance", "Leitungsimpedanz", "#*98", "0",
                "Parameter Leitungsimpedanz auf 600 Ohm (kurze Leitung/GSM) setzen"),
      parameter("bus-address", "Einzel-/Mehrgerätebetrieb", "#*70", "3",
                "Parameter Betriebsart auf Mehrgerätebetrieb, Bus-Adresse 3 setzen"),
      {"line-calibration", "Automatischer Leitungsabgleich",
       {{"#*99", D, "Automatischen Leitungsabgleich durchführen", 30000}}},
      {"security-pin", "QAV-PIN ändern",
       {{"#*88", S, "Änderung der QAV-PIN initialisieren", 10000},
        {"4711", S, "Neue QAV-PIN eingeben", 10000},
        {"4711", D, "Neue QAV-PIN bestätigen", 10000}}},
  });

  std::size_t segments = 0;
  for (const PlanAction& action : plan) {
    segments += action.segments.size();
    for (const PlanSegment& segment : action.segments) EXPECT_EQ(segment.digits.find("9999"), std::string::npos);
  }
  EXPECT_EQ(segments, 54u);
}

TEST(PlanBuilder, WorkedExample) {
  DeviceSettings settings;
  settings.actions = {"routine", "clock"};
  settings.routineAt = "auto";
  settings.routineDays = 3;
  const std::vector<ExpectedAction> expected{
      {"clock", "Uhrzeit und Datum",
       {{"#*20", S, "Einstellung Uhrzeit und Datum initialisieren", 10000},
        {"0941", S, "Parameter Uhrzeit auf 09:41 Uhr setzen", 10000},
        {"07122026", D, "Parameter Datum auf 07.12.2026 setzen", 10000}}},
      {"routine", "Routineruf",
       {{"#*21", S, "Einstellung Routineruf initialisieren", 10000},
        {"0946", S, "Parameter Routinezeit auf 09:46 Uhr setzen", 10000},
        {"4", S, "Parameter Frequenz auf „freies Tagesintervall“ setzen", 10000},
        {"03", D, "Parameter freies Intervall auf 3 Tage setzen", 10000}}},
  };
  {
    ScopedTimeZone zone("UTC");
    expectPlan(buildCommandPlan(settings, utcTime(2026, 12, 7, 9, 41, 15)), expected);
  }
  // The same local moment in a zone one hour east of UTC.
  ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  expectPlan(buildCommandPlan(settings, utcTime(2026, 12, 7, 8, 41, 15)), expected);
}

TEST(PlanBuilder, AutoRoutineAcrossMidnightKeepsClockDate) {
  ScopedTimeZone zone("UTC");
  DeviceSettings settings;
  const CommandPlan plan = buildCommandPlan(settings, utcTime(2026, 12, 31, 23, 58, 30));
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(plan[0].segments[1].digits, "2358");
  EXPECT_EQ(plan[0].segments[2].digits, "31122026");
  EXPECT_EQ(plan[1].segments[1].digits, "0003");
  EXPECT_EQ(plan[1].segments[1].label, "Parameter Routinezeit auf 00:03 Uhr setzen");

  EXPECT_EQ(routineAtAuto(buildCommandPlan(settings, utcTime(2026, 12, 7, 23, 57, 59))), "0002");
  EXPECT_EQ(routineAtAuto(buildCommandPlan(settings, utcTime(2026, 12, 7, 12, 0, 0, 900))), "1205");
}

TEST(PlanBuilder, RoutineDaysInDigitsAndLabel) {
  DeviceSettings settings;
  settings.actions = {"routine"};
  settings.routineAt = "07:30";
  const auto now = utcTime(2026, 12, 7, 9, 41, 15);
  for (const auto& [days, digits, ending] :
       {std::tuple{1u, "01", "auf 1 Tag setzen"}, std::tuple{7u, "07", "auf 7 Tage setzen"},
        std::tuple{12u, "12", "auf 12 Tage setzen"}}) {
    settings.routineDays = days;
    const PlanSegment last = buildCommandPlan(settings, now).at(0).segments.at(3);
    EXPECT_EQ(last.digits, digits);
    EXPECT_EQ(last.label, std::string("Parameter freies Intervall ") + ending);
  }
}

TEST(PlanBuilder, MalformedRoutineAtFailsEveryPlan) {
  DeviceSettings settings;
  settings.actions = {"clock"};
  for (const char* routineAt : {"7:30", "AUTO", "07-30", ""}) {
    settings.routineAt = routineAt;
    try {
      buildCommandPlan(settings, utcTime(2026, 12, 7, 9, 41, 15));
      ADD_FAILURE() << "accepted \"" << routineAt << '"';
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "routine-at muss HH:MM oder auto sein");
    }
  }
}

TEST(PlanBuilder, TooFewEmergencyNumbersFailOnlyWhenSelected) {
  DeviceSettings settings;
  settings.emergencyNumbers = {"112"};
  const auto now = utcTime(2026, 12, 7, 9, 41, 15);
  EXPECT_EQ(buildCommandPlan(settings, now).size(), 2u);
  settings.actions = {"clock", "emergency-numbers"};
  EXPECT_THROW(buildCommandPlan(settings, now), std::out_of_range);
  settings.emergencyNumbers.clear();
  EXPECT_THROW(buildCommandPlan(settings, now), std::out_of_range);
}

TEST(PlanBuilder, ShortTriggerValueFails) {
  DeviceSettings settings;
  settings.actions = {"emergency-trigger-2"};
  settings.emergencyTrigger2 = "21";
  EXPECT_THROW(buildCommandPlan(settings, utcTime(2026, 12, 7, 9, 41, 15)), std::out_of_range);
  CommandPlan plan;
  EXPECT_THROW(addTriggerAction(settings, plan, 4, "411"), std::out_of_range);
  EXPECT_TRUE(plan.empty());
}

TEST(PlanBuilder, SelectionIsASetInPlanOrder) {
  DeviceSettings settings;
  const auto now = utcTime(2026, 12, 7, 9, 41, 15);
  const auto names = [&settings, now](std::vector<std::string> actions) {
    settings.actions = std::move(actions);
    std::vector<std::string> result;
    for (const PlanAction& action : buildCommandPlan(settings, now)) result.push_back(action.name);
    return result;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(names({"routine", "clock"}), (Names{"clock", "routine"}));
  EXPECT_EQ(names({"clock", "clock"}), (Names{"clock"}));
  EXPECT_EQ(names({"security-pin", "emergency-trigger-3", "clock"}),
            (Names{"emergency-trigger-3", "clock", "security-pin"}));
  EXPECT_EQ(names({"security-pin", "line-calibration", "bus-address", "emergency-targets"}),
            (Names{"emergency-targets", "bus-address", "line-calibration", "security-pin"}));
  EXPECT_EQ(names({"Clock", ""}), Names{});
}

TEST(PlanBuilder, SamePlanFromSameInputs) {
  ScopedTimeZone zone("UTC");
  const auto now = utcTime(2026, 12, 7, 9, 41, 15, 250);
  EXPECT_EQ(buildCommandPlan(everyAction(), now), buildCommandPlan(everyAction(), now));
  DeviceSettings settings;
  EXPECT_NE(buildCommandPlan(settings, now),
            buildCommandPlan(settings, now + std::chrono::minutes(1)));
}

}  // namespace
}  // namespace qav

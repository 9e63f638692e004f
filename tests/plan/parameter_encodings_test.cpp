#include "plan/parameter_encodings.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "plan_test_support.h"

namespace qav {
namespace {

constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

void expectShapeRejected(const std::string& routineAt) {
  try {
    resolveRoutineTime(routineAt, utcTime(2026, 12, 7, 9, 41, 15));
    ADD_FAILURE() << "accepted \"" << routineAt << '"';
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "routine-at muss HH:MM oder auto sein") << routineAt;
  }
}

TEST(TimeFormatting, DigitsAndTexts) {
  ScopedTimeZone zone("UTC");
  const std::tm midnight = localCalendarTime(utcTime(2026, 12, 7, 0, 0, 0));
  EXPECT_EQ(formatLocalTime(midnight, "%H%M"), "0000");
  EXPECT_EQ(clockTimeText(formatLocalTime(midnight, "%H%M")), "00:00 Uhr");

  const std::tm newYear = localCalendarTime(utcTime(2027, 1, 1, 13, 7, 0));
  EXPECT_EQ(formatLocalTime(newYear, "%d%m%Y"), "01012027");
  EXPECT_EQ(calendarDateText(formatLocalTime(newYear, "%d%m%Y")), "01.01.2027");
  EXPECT_EQ(formatLocalTime(newYear, "%H%M"), "1307");
  EXPECT_EQ(clockTimeText("0730"), "07:30 Uhr");
}

TEST(TimeFormatting, FractionIsDroppedNotRounded) {
  ScopedTimeZone zone("UTC");
  EXPECT_EQ(formatLocalTime(localCalendarTime(utcTime(2026, 3, 1, 23, 59, 59, 999)), "%H%M"),
            "2359");
  // Half a second before the epoch is still 23:59:59 on the last day of 1969.
  const std::tm beforeEpoch = localCalendarTime(utcTime(1970, 1, 1, 0, 0, 0, -500));
  EXPECT_EQ(formatLocalTime(beforeEpoch, "%d%m%Y%H%M%S"), "31121969235959");
}

TEST(TimeFormatting, UsesLocalZone) {
  ScopedTimeZone zone(kCentralEurope);
  // Winter: UTC+1; summer: UTC+2, and the local date is already the next day.
  EXPECT_EQ(formatLocalTime(localCalendarTime(utcTime(2026, 12, 7, 8, 41, 15)), "%H%M"), "0941");
  const std::tm summer = localCalendarTime(utcTime(2026, 6, 30, 22, 30, 0));
  EXPECT_EQ(formatLocalTime(summer, "%H%M"), "0030");
  EXPECT_EQ(formatLocalTime(summer, "%d%m%Y"), "01072026");
}

TEST(RoutineTime, FixedTimeLosesColon) {
  const auto anyTime = utcTime(2026, 12, 7, 9, 41, 15);
  EXPECT_EQ(resolveRoutineTime("07:30", anyTime), "0730");
  EXPECT_EQ(resolveRoutineTime("23:59", anyTime), "2359");
  // Only the shape is checked here; digits and ranges are validation's job.
  EXPECT_EQ(resolveRoutineTime("ab:cd", anyTime), "abcd");
}

TEST(RoutineTime, AutoIsFiveMinutesLater) {
  ScopedTimeZone zone("UTC");
  EXPECT_EQ(resolveRoutineTime("auto", utcTime(2026, 12, 7, 9, 41, 15)), "0946");
  EXPECT_EQ(resolveRoutineTime("auto", utcTime(2026, 12, 7, 23, 57, 59)), "0002");
  EXPECT_EQ(resolveRoutineTime("auto", utcTime(2026, 12, 7, 23, 58, 30)), "0003");
  EXPECT_EQ(resolveRoutineTime("auto", utcTime(2026, 12, 7, 12, 0, 0, 900)), "1205");
  EXPECT_EQ(resolveRoutineTime("auto", utcTime(2026, 12, 7, 12, 4, 59, 999)), "1209");
}

TEST(RoutineTime, AutoFollowsLocalZoneAcrossDaylightSaving) {
  ScopedTimeZone zone(kCentralEurope);
  EXPECT_EQ(resolveRoutineTime("auto", utcTime(2026, 12, 7, 8, 41, 15)), "0946");
  // 01:57 CET on the last Sunday of March; five minutes later it is 03:02 CEST.
  EXPECT_EQ(resolveRoutineTime("auto", utcTime(2026, 3, 29, 0, 57, 0)), "0302");
}

TEST(RoutineTime, RejectsOtherShapes) {
  for (const char* routineAt :
       {"7:30", "07-30", "0730", "07:300", "", "AUTO", "Auto", "auto ", " auto", "07:3"})
    expectShapeRejected(routineAt);
}

TEST(ParameterDigits, Padding) {
  EXPECT_EQ(routineDaysDigits(1), "01");
  EXPECT_EQ(routineDaysDigits(9), "09");
  EXPECT_EQ(routineDaysDigits(12), "12");
  EXPECT_EQ(routineDaysDigits(99), "99");
  EXPECT_EQ(routineDaysDigits(100), "100");

  EXPECT_EQ(padZ208Id(""), "00000000");
  EXPECT_EQ(padZ208Id("42"), "00000042");
  EXPECT_EQ(padZ208Id("12345678"), "12345678");
  EXPECT_EQ(padZ208Id("123456789"), "123456789");
}

TEST(ParameterDigits, CallProtectionOnlyExactOn) {
  EXPECT_EQ(callProtectionDigit("on"), "1");
  EXPECT_EQ(callProtectionDigit("off"), "0");
  EXPECT_EQ(callProtectionDigit("ON"), "0");
  EXPECT_EQ(callProtectionDigit("on "), "0");
  EXPECT_EQ(callProtectionDigit(""), "0");
}

}  // namespace
}  // namespace qav

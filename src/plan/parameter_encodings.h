// Conversions shared by the plan builder: local time and date as digits and
// as label text, routine time, routine interval, Z208 ID, call protection.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

namespace qav {

// Whole seconds of the time point (fraction dropped) broken down in the
// process's local time zone.
std::tm localCalendarTime(std::chrono::system_clock::time_point timePoint);

// strftime-style pattern through the time-put facility; "%H%M" gives four
// digits, "%d%m%Y" eight. Always in the classic locale, so what the QAV
// receives never depends on the user's locale.
std::string formatLocalTime(const std::tm& time, const char* pattern);

// "0730" to "07:30 Uhr".
std::string clockTimeText(const std::string& hhmm);
// "07122026" to "07.12.2026".
std::string calendarDateText(const std::string& ddmmyyyy);

// "HH:MM" or "auto" (five minutes after the time point) to four digits HHMM.
// Checks only the shape; throws std::runtime_error for anything else.
std::string resolveRoutineTime(const std::string& routineAt,
                               std::chrono::system_clock::time_point timePoint);

// The interval in days as the QAV takes it: at least two digits, zero-padded.
std::string routineDaysDigits(std::uint32_t days);
// Left-padded with zeros to the eight digits the QAV expects.
std::string padZ208Id(const std::string& id);
// "1" only for exactly "on".
std::string callProtectionDigit(const std::string& setting);

}  // namespace qav

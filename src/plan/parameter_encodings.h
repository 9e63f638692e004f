// Conversions shared by the plan builder: local time and date as digits and
// as label text, routine time, routine interval, Z208 ID, call protection.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

namespace qav {

std::string formatLocalTime(const std::tm& time, const char* pattern);
std::string clockTimeText(const std::string& hhmm);
std::string calendarDateText(const std::string& ddmmyyyy);
// "HH:MM" or "auto" (five minutes after the time point) to four digits HHMM.
std::string resolveRoutineTime(const std::string& routineAt,
                               std::chrono::system_clock::time_point timePoint);
std::string routineDaysDigits(std::uint32_t days);
std::string padZ208Id(const std::string& id);
std::string callProtectionDigit(const std::string& setting);

}  // namespace qav

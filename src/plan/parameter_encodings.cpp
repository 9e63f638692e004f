#include "plan/parameter_encodings.h"

#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace qav {

namespace {

constexpr auto kRoutineLead = std::chrono::seconds(300);

std::string leftPadded(const std::string& text, std::size_t width, char fill) {
  if (text.size() >= width) return text;
  return std::string(width - text.size(), fill) + text;
}

}  // namespace

std::tm localCalendarTime(std::chrono::system_clock::time_point timePoint) {
  // floor, not a cast: a cast rounds towards zero and would move times
  // before the epoch a second forward.
  const auto seconds = std::chrono::floor<std::chrono::seconds>(timePoint);
  const std::time_t time = std::chrono::system_clock::to_time_t(seconds);
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr)
    throw std::runtime_error("Ortszeit konnte nicht bestimmt werden");
  return local;
}

std::string formatLocalTime(const std::tm& time, const char* pattern) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << std::put_time(&time, pattern);
  return out.str();
}

std::string clockTimeText(const std::string& hhmm) {
  return hhmm.substr(0, 2) + ":" + hhmm.substr(2, 2) + " Uhr";
}

std::string calendarDateText(const std::string& ddmmyyyy) {
  return ddmmyyyy.substr(0, 2) + "." + ddmmyyyy.substr(2, 2) + "." + ddmmyyyy.substr(4, 4);
}

std::string resolveRoutineTime(const std::string& routineAt,
                               std::chrono::system_clock::time_point timePoint) {
  if (routineAt.size() == 5 && routineAt[2] == ':')
    return routineAt.substr(0, 2) + routineAt.substr(3, 2);
  if (routineAt == "auto")
    return formatLocalTime(localCalendarTime(timePoint + kRoutineLead), "%H%M");
  throw std::runtime_error("routine-at muss HH:MM oder auto sein");
}

std::string routineDaysDigits(std::uint32_t days) {
  return leftPadded(std::to_string(days), 2, '0');
}

std::string padZ208Id(const std::string& id) { return leftPadded(id, 8, '0'); }

std::string callProtectionDigit(const std::string& setting) {
  return setting == "on" ? "1" : "0";
}

}  // namespace qav

#include "qav-sim/entry_format.h"

#include <algorithm>

namespace qav::sim {

namespace {

constexpr std::size_t kMaxDialNumber = 25;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(const std::string& text) {
  return std::all_of(text.begin(), text.end(), isDigit);
}

int number(const std::string& digits, std::size_t from, std::size_t count) {
  return std::stoi(digits.substr(from, count));
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int month, int year) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool isClockTime(const std::string& text) {
  return allDigits(text) && number(text, 0, 2) <= 23 && number(text, 2, 2) <= 59;
}

bool isCalendarDate(const std::string& text) {
  if (!allDigits(text)) return false;
  const int day = number(text, 0, 2);
  const int month = number(text, 2, 2);
  const int year = number(text, 4, 4);
  return month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(month, year);
}

bool isDialString(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return isDigit(c) || c == '*' || c == '#'; });
}

bool isTriggerPosition(char c) { return c >= '1' && c <= '3'; }

}  // namespace

bool conforms(const EntryFormat& format, const std::string& entry) {
  if (entry.size() < format.minLength || entry.size() > format.maxLength) return false;
  return !format.accepts || format.accepts(entry);
}

EntryFormat digitEntry(char lowest, char highest) {
  return {1, 1, [lowest, highest](const std::string& text) {
            return text[0] >= lowest && text[0] <= highest;
          }};
}

EntryFormat clockTimeEntry() { return {4, 4, isClockTime}; }

EntryFormat calendarDateEntry() { return {8, 8, isCalendarDate}; }

EntryFormat intervalDaysEntry() {
  return {2, 2, [](const std::string& text) { return allDigits(text) && text != "00"; }};
}

EntryFormat dialNumberEntry(std::size_t minLength) {
  return {minLength, kMaxDialNumber, isDialString};
}

EntryFormat triggerEntry() {
  return {3, 3, [](const std::string& text) {
            return std::all_of(text.begin(), text.end(), isTriggerPosition);
          }};
}

EntryFormat pinEntry() { return {4, 4, allDigits}; }

// "1" may still become 10 to 12, so the entry always waits for the pause.
EntryFormat dialAttemptsEntry() {
  return {1, 2, [](const std::string& text) { return allDigits(text) && std::stoi(text) <= 12; }};
}

EntryFormat z208IdEntry() { return {1, 8, allDigits}; }

EntryFormat openingCodeEntry() {
  return {4, 4, [](const std::string& text) {
            return text[0] == '#' && text[1] == '*' && isDigit(text[2]) && isDigit(text[3]);
          }};
}

}  // namespace qav::sim

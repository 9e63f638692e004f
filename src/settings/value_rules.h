// The rules a setting's value text must pass, one predicate each, and the
// checks that give findings of their own; the setting table names them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings.h"

namespace qav {

bool isNotEmpty(const std::string& text);
bool isFourDigitPin(const std::string& text);
bool isRoutineTime(const std::string& text);
bool isDialAttempts(const std::string& text);
bool isOnOrOff(const std::string& text);

// Exactly one character from Low to High.
template <char Low, char High>
bool isDigitBetween(const std::string& text) {
  return text.size() == 1 && text[0] >= Low && text[0] <= High;
}

bool isNumberBetween(const std::string& text, std::uint32_t low, std::uint32_t high);
template <std::uint32_t Low, std::uint32_t High>
bool isNumberBetween(const std::string& text) {
  return isNumberBetween(text, Low, High);
}

bool isDigitCountBetween(const std::string& text, std::size_t low, std::size_t high);
template <std::size_t Low, std::size_t High>
bool isDigitCountBetween(const std::string& text) {
  return isDigitCountBetween(text, Low, High);
}

// 0-9, * and #.
bool isDtmfCountBetween(const std::string& text, std::size_t low, std::size_t high);
template <std::size_t Low, std::size_t High>
bool isDtmfCountBetween(const std::string& text) {
  return isDtmfCountBetween(text, Low, High);
}

// Trigger number first (it must name the trigger itself), then loudspeaker
// and microphone, each 1 to 3: for trigger 2, "213" is valid, "123" is not.
template <char Trigger>
bool isTriggerAssignment(const std::string& text) {
  return text.size() == 3 && text[0] == Trigger && text[1] >= '1' && text[1] <= '3' &&
         text[2] >= '1' && text[2] <= '3';
}

// At least one action, and every one of them known: one finding per
// unknown entry, repeated ones included.
void checkActions(const Settings& settings, std::vector<std::string>& findings);
// Exactly four entries; then at least one set and each a DTMF number.
void checkEmergencyNumbers(const Settings& settings, std::vector<std::string>& findings);
// Checking the server's certificate needs the CA certificates to check it by.
void checkTlsVerification(const Settings& settings, std::vector<std::string>& findings);

}  // namespace qav

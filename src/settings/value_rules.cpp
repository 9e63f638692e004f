#include "settings/value_rules.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "settings/action_catalogue.h"
#include "settings/value_parsers.h"

namespace qav {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view text) { return std::all_of(text.begin(), text.end(), isDigit); }

bool isDtmf(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return isDigit(c) || c == '*' || c == '#'; });
}

bool fitsBound(const std::string& digits, std::uint32_t bound) {
  try {
    parseNumber("", digits, bound);
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

}  // namespace

bool isNotEmpty(const std::string& text) { return !text.empty(); }

bool isFourDigitPin(const std::string& text) { return text.size() == 4 && allDigits(text); }

// Hours and minutes must be two digits each: the four characters are later
// sent to the QAV as they are, so " 7:30" or "+7:30", which the number
// conversion alone would let through, must not pass.
bool isRoutineTime(const std::string& text) {
  if (text == "auto") return true;
  if (text.size() != 5 || text[2] != ':') return false;
  const std::string hours = text.substr(0, 2);
  const std::string minutes = text.substr(3, 2);
  return allDigits(hours) && allDigits(minutes) && fitsBound(hours, 23) && fitsBound(minutes, 59);
}

// Leading zeros are fine ("012"); the QAV reads the digits as a number.
bool isDialAttempts(const std::string& text) {
  return !text.empty() && allDigits(text) && fitsBound(text, 12);
}

bool isOnOrOff(const std::string& text) { return text == "on" || text == "off"; }

bool isNumberBetween(const std::string& text, std::uint32_t low, std::uint32_t high) {
  if (text.empty() || !allDigits(text) || text.size() > 10) return false;
  const unsigned long long value = std::stoull(text);
  return value >= low && value <= high;
}

bool isDigitCountBetween(const std::string& text, std::size_t low, std::size_t high) {
  return text.size() >= low && text.size() <= high && allDigits(text);
}

bool isDtmfCountBetween(const std::string& text, std::size_t low, std::size_t high) {
  return text.size() >= low && text.size() <= high && isDtmf(text);
}

void checkActions(const Settings& settings, std::vector<std::string>& findings) {
  const std::vector<std::string>& actions = settings.device.actions;
  if (actions.empty()) findings.push_back("Mindestens eine Aktion muss gewählt sein.");
  const std::vector<std::string> known = knownActionNames();
  for (const std::string& name : actions)
    if (std::find(known.begin(), known.end(), name) == known.end())
      findings.push_back("Unbekannte #*-Aktion: " + name);
}

// With a wrong count only the count is reported; the entries are looked at
// only when there are exactly four of them. An empty entry is not set.
void checkEmergencyNumbers(const Settings& settings, std::vector<std::string>& findings) {
  const std::vector<std::string>& numbers = settings.device.emergencyNumbers;
  if (numbers.size() != 4) {
    findings.push_back("emergency-numbers muss genau vier Einträge enthalten.");
    return;
  }
  if (std::all_of(numbers.begin(), numbers.end(),
                  [](const std::string& number) { return number.empty(); }))
    findings.push_back("Mindestens eine Notrufnummer muss gesetzt sein.");
  for (const std::string& number : numbers)
    if (!isDtmfCountBetween(number, 0, 25))
      findings.push_back("Eine Notrufnummer enthält ungültige DTMF-Zeichen oder ist zu lang.");
}

void checkTlsVerification(const Settings& settings, std::vector<std::string>& findings) {
  if (settings.sip.tlsVerify && settings.sip.tlsCaFile.empty())
    findings.push_back("sip-tls-verify verlangt eine CA-Datei (sip-tls-ca-file).");
}

}  // namespace qav

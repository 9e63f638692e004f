#include "settings/validation.h"

#include <algorithm>
#include <initializer_list>
#include <set>
#include <stdexcept>
#include <string_view>

#include "plan/action_catalogue.h"
#include "settings/value_parsers.h"

namespace qav {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view text) { return std::all_of(text.begin(), text.end(), isDigit); }

bool isDtmf(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return isDigit(c) || c == '*' || c == '#'; });
}

bool isFourDigitPin(const std::string& pin) { return pin.size() == 4 && allDigits(pin); }

bool isOneOf(const std::string& text, std::initializer_list<std::string_view> words) {
  return std::find(words.begin(), words.end(), text) != words.end();
}

bool isDigitBetween(const std::string& text, char low, char high) {
  return text.size() == 1 && text[0] >= low && text[0] <= high;
}

bool fitsBound(const std::string& key, const std::string& digits, std::uint32_t bound) {
  try {
    parseNumber(key, digits, bound);
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

// Hours and minutes must be two digits each: the four characters are later
// sent to the QAV as they are, so " 7:30" or "+7:30", which the number
// conversion alone would let through, must not pass.
bool isRoutineTime(const std::string& value) {
  if (value == "auto") return true;
  if (value.size() != 5 || value[2] != ':') return false;
  const std::string hours = value.substr(0, 2);
  const std::string minutes = value.substr(3, 2);
  return allDigits(hours) && allDigits(minutes) && fitsBound("routine-at", hours, 23) &&
         fitsBound("routine-at", minutes, 59);
}

bool isDialAttempts(const std::string& value) {
  return !value.empty() && allDigits(value) && fitsBound("dial-attempts", value, 12);
}

class Findings {
 public:
  void require(bool valid, std::string message) {
    if (!valid) messages_.push_back(std::move(message));
  }
  std::vector<std::string> take() { return std::move(messages_); }

 private:
  std::vector<std::string> messages_;
};

// Trigger number first (it must name the trigger itself), then loudspeaker
// and microphone, each 1 to 3: for trigger 2, "213" is valid, "123" is not.
void checkTrigger(const std::string& key, const std::string& value, char triggerDigit,
                  Findings& findings) {
  findings.require(value.size() == 3 && value[0] == triggerDigit && value[1] >= '1' &&
                       value[1] <= '3' && value[2] >= '1' && value[2] <= '3',
                   key + " muss Auslöser-, Lautsprecher- und Mikrofonnummer (je 1-3) enthalten.");
}

void checkAccount(const SipSettings& sip, Findings& findings) {
  findings.require(!sip.server.empty(), "SIP-Server fehlt.");
  findings.require(!sip.user.empty(), "SIP-Benutzer/Nebenstelle fehlt.");
  findings.require(!sip.password.empty(), "SIP-Passwort fehlt.");
}

void checkJob(const DeviceSettings& device, Findings& findings) {
  findings.require(!device.target.empty(), "Zielrufnummer fehlt.");
  findings.require(isFourDigitPin(device.pin), "QAV-PIN muss vierstellig sein.");
  findings.require(device.cabin <= 9, "Aktuelle Kabinennummer muss zwischen 0 und 9 liegen.");
  findings.require(!device.actions.empty(), "Mindestens eine Aktion muss gewählt sein.");
  const std::vector<std::string> known = knownActionNames();
  for (const std::string& name : device.actions)
    findings.require(std::find(known.begin(), known.end(), name) != known.end(),
                     "Unbekannte #*-Aktion: " + name);
  findings.require(device.routineDays >= 1 && device.routineDays <= 99,
                   "Routinerufintervall muss 1 bis 99 Tage betragen.");
}

void checkTriggers(const DeviceSettings& device, const std::set<std::string>& selected,
                   Findings& findings) {
  const struct {
    const char* key;
    const std::string& value;
    char digit;
  } triggers[] = {{"emergency-trigger-1", device.emergencyTrigger1, '1'},
                  {"emergency-trigger-2", device.emergencyTrigger2, '2'},
                  {"emergency-trigger-3", device.emergencyTrigger3, '3'}};
  for (const auto& trigger : triggers)
    if (selected.count(trigger.key) != 0)
      checkTrigger(trigger.key, trigger.value, trigger.digit, findings);
}

// With a wrong count only the count is reported; the entries are looked at
// only when there are exactly four of them.
void checkEmergencyNumbers(const std::vector<std::string>& numbers, Findings& findings) {
  if (numbers.size() != 4) {
    findings.require(false, "emergency-numbers muss genau vier Einträge enthalten.");
    return;
  }
  findings.require(std::any_of(numbers.begin(), numbers.end(),
                               [](const std::string& number) { return !number.empty(); }),
                   "Mindestens eine Notrufnummer muss gesetzt sein.");
  for (const std::string& number : numbers)
    findings.require(number.size() <= 25 && isDtmf(number),
                     "Eine Notrufnummer enthält ungültige DTMF-Zeichen oder ist zu lang.");
}

void checkParameters(const DeviceSettings& d, const std::set<std::string>& selected,
                     Findings& findings) {
  const auto when = [&](const char* action, bool valid, const char* message) {
    if (selected.count(action) != 0) findings.require(valid, message);
  };
  when("dial-mode", isOneOf(d.dialMode, {"0", "1", "2"}), "Wahlverfahren muss 0, 1 oder 2 sein.");
  when("dial-attempts", isDialAttempts(d.dialAttempts),
       "Anwahlversuche müssen zwischen 0 und 12 liegen.");
  when("call-duration", isDigitBetween(d.callDuration, '0', '9'),
       "Sprechdauer muss eine Ziffer zwischen 0 und 9 sein.");
  when("input-mode", isOneOf(d.inputMode, {"0", "1", "2"}),
       "Eingangs-/Filtermodus muss 0, 1 oder 2 sein.");
  when("call-protection", isOneOf(d.callProtection, {"on", "off"}),
       "Anrufschutz muss on oder off sein.");
  when("routine-fault", isOneOf(d.routineFault, {"0", "1"}),
       "Routineruf-Störungsanzeige muss 0 oder 1 sein.");
  when("z208", !d.z208Id.empty() && d.z208Id.size() <= 8 && allDigits(d.z208Id),
       "Z208-ID muss 1 bis 8 Ziffern enthalten.");
  when("output-mode", isDigitBetween(d.outputMode, '0', '5'),
       "Ausgangsmodus muss zwischen 0 und 5 liegen.");
  when("alarm-latency", isDigitBetween(d.alarmLatency, '1', '9'),
       "Alarm-Latenz muss zwischen 1 und 9 Sekunden liegen.");
  when("alarm-horn", isDigitBetween(d.alarmHorn, '0', '3'), "Notrufhupe muss 0, 1, 2 oder 3 sein.");
  when("line-impedance", isOneOf(d.lineImpedance, {"0", "1"}),
       "Leitungsimpedanz muss 0 oder 1 sein.");
  when("bus-address", isDigitBetween(d.busAddress, '0', '9'),
       "Neue Bus-Adresse muss zwischen 0 und 9 liegen.");
}

void checkSelectedActions(const DeviceSettings& d, Findings& findings) {
  const std::set<std::string> selected(d.actions.begin(), d.actions.end());
  const auto isSelected = [&](const char* action) { return selected.count(action) != 0; };
  if (isSelected("security-pin"))
    findings.require(isFourDigitPin(d.newPin), "Neue QAV-PIN muss vierstellig sein.");
  checkTriggers(d, selected, findings);
  if (isSelected("routine"))
    findings.require(isRoutineTime(d.routineAt), "Routinerufzeit muss HH:MM oder auto sein.");
  if (isSelected("service"))
    findings.require(
        !d.serviceNumber.empty() && d.serviceNumber.size() <= 25 && isDtmf(d.serviceNumber),
        "Servicerufnummer muss 1 bis 25 DTMF-Zeichen enthalten.");
  if (isSelected("emergency-numbers")) checkEmergencyNumbers(d.emergencyNumbers, findings);
  checkParameters(d, selected, findings);
}

}  // namespace

std::vector<std::string> validateSettings(const Settings& settings, bool callFollows) {
  Findings findings;
  if (callFollows) checkAccount(settings.sip, findings);
  checkJob(settings.device, findings);
  checkSelectedActions(settings.device, findings);
  findings.require(!settings.sip.tlsVerify || !settings.sip.tlsCaFile.empty(),
                   "sip-tls-verify verlangt eine CA-Datei (sip-tls-ca-file).");
  findings.require(settings.sip.dtmfToneMs >= 40 && settings.sip.dtmfToneMs <= 1000,
                   "DTMF-Tonlänge muss 40 bis 1000 ms betragen.");
  return findings.take();
}

}  // namespace qav

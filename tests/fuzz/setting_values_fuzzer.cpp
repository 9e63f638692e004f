// Key/value maps through the value parsers, validation and, for settings
// that validate, the command plan: a validated job must give a plan of
// sendable digits, one action per chosen name.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <stdexcept>
#include <string>

#include "fuzz_check.h"
#include "settings/action_catalogue.h"
#include "plan/plan_builder.h"
#include "settings/setting_values.h"
#include "settings/validation.h"

namespace {

using qav::fuzz::check;
using qav::fuzz::startsWith;

constexpr const char* kKeys[] = {
    "config", "sip-server", "sip-port", "sip-user", "sip-auth-user", "sip-password",
    "sip-password-env", "sip-realm", "sip-proxy", "sip-stun-server", "sip-ice", "sip-dial-prefix",
    "sip-transport", "dtmf-method", "dtmf-tone-ms", "dtmf-gap-ms", "target", "pin", "new-pin", "cabin",
    "actions", "routine-at", "routine-days", "service-number", "emergency-numbers", "dial-mode",
    "dial-attempts", "call-duration", "input-mode", "call-protection", "routine-fault", "z208",
    "output-mode", "alarm-latency", "alarm-horn", "line-impedance", "bus-address",
    "emergency-trigger-1", "emergency-trigger-2", "emergency-trigger-3", "retries", "settle-ms", "json",
    "dry-run", "color", "record-audio", "report"};

bool isConversionError(const std::string& message) {
  return startsWith(message, "Ungültiger Zahlenwert für ") ||
         startsWith(message, "Ungültiger Wahrheitswert für ") ||
         message == "sip-transport muss udp, tcp oder tls sein" ||
         message == "dtmf-method muss rfc4733, inband oder sip-info sein" ||
         message == "color muss auto, always oder never sein";
}

bool isDtmfDigits(const std::string& digits) {
  for (char c : digits)
    if (!((c >= '0' && c <= '9') || c == '*' || c == '#')) return false;
  return true;
}

void checkBounds(const qav::Settings& s) {
  check(s.sip.dtmfToneMs <= 1000 && s.sip.dtmfGapMs <= 1000, "DTMF timing above its bound");
  check(s.device.cabin <= 9 && s.device.routineDays <= 99, "cabin or routine days above its bound");
  check(s.device.retries <= 10 && s.device.settleMs <= 10000, "retries or settle time above its bound");
}

void checkPlan(const qav::Settings& settings, std::chrono::system_clock::time_point at) {
  qav::CommandPlan plan;
  try {
    plan = qav::buildCommandPlan(settings.device, at);
  } catch (const std::exception& error) {
    // The builder checks the shape of routine-at for every plan; validation
    // looks at it only when routine is chosen.
    const bool routineChosen = qav::isSelected(settings.device.actions, "routine");
    check(!routineChosen && std::string(error.what()) == "routine-at muss HH:MM oder auto sein",
          std::string("validated settings give no plan: ") + error.what());
    return;
  }
  const std::set<std::string> chosen(settings.device.actions.begin(), settings.device.actions.end());
  check(plan.size() == chosen.size(), "plan does not hold one action per chosen name");
  for (const qav::PlanAction& action : plan) {
    check(chosen.count(action.name) == 1, "plan holds an action that was not chosen: " + action.name);
    check(action.segments.size() >= 2, "action without opening and entry: " + action.name);
    check(action.segments.back().expected == qav::Signal::DoubleConfirmation,
          "action not closed by the double confirmation: " + action.name);
    for (const qav::PlanSegment& segment : action.segments)
      check(isDtmfDigits(segment.digits) && segment.digits.size() <= 25,
            "segment of " + action.name + " sends something that is not DTMF: " + segment.digits);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Clock and "auto" routine time are local time; pin the zone so that an
  // input replays the same way everywhere.
  setenv("TZ", "Europe/Berlin", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool callFollows = input.ConsumeBool();
  const auto at = std::chrono::system_clock::time_point(
      std::chrono::seconds(input.ConsumeIntegralInRange<std::int64_t>(0, 4'102'444'800)));
  qav::SettingMap map;
  while (input.remaining_bytes() > 0) {
    const std::size_t index = input.ConsumeIntegralInRange<std::size_t>(0, std::size(kKeys));
    const std::string key = index < std::size(kKeys) ? kKeys[index] : input.ConsumeRandomLengthString(24);
    map[key] = input.ConsumeRandomLengthString(64);
  }

  qav::Settings settings;
  try {
    qav::applySettingMap(settings, map);
  } catch (const std::runtime_error& error) {
    check(isConversionError(error.what()), std::string("undocumented conversion error: ") + error.what());
    return 0;
  }
  checkBounds(settings);
  if (map.count("actions") != 0 && !map["actions"].empty()) {
    std::size_t commas = 0;
    for (char c : map["actions"]) commas += c == ',';
    check(settings.device.actions.size() == commas + 1, "action list lost or invented an entry");
  }
  if (qav::validateSettings(settings, callFollows).empty()) checkPlan(settings, at);
  return 0;
}

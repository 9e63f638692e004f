// The values of a lift's call that reach the device or the line, kept in
// the journal per lift, so that a resumed run can tell whether the list
// still asks for the same calls, and say what changed.
#pragma once

#include <string>
#include <vector>

#include "settings/setting_map.h"
#include "settings/settings.h"

namespace qav::fleet {

// Every qav-cli key but those that do not change the call: where the
// settings came from, how the output looks, whether it is recorded, and the
// password, which the journal does not keep (it changes who logs in, not
// what the device is told). Bytes that are no UTF-8 become U+FFFD, so that
// the values are stored exactly as compared.
SettingMap callValues(const Settings& settings);

// The entries of `values` that differ from `base`; the journal keeps the
// run's base once and each lift's difference, so that a list of 100,000
// lifts stores little more than what varies from row to row.
SettingMap differenceFrom(const SettingMap& base, const SettingMap& values);
// `base` with `difference` over it.
SettingMap withDifference(SettingMap base, const SettingMap& difference);

// As stored: a JSON object of key and value text.
std::string callValuesText(const SettingMap& values);
// Throws std::runtime_error when the text is no such object.
SettingMap callValuesFromText(const std::string& text);

// The values an attempt sent, as stored: a JSON array of strings.
std::string sentText(const std::vector<std::string>& sent);
std::vector<std::string> sentFromText(const std::string& text);

// One German phrase per key that differs ("sip-user „a“ statt „b“"); a PIN's
// values are not shown.
std::vector<std::string> callValueChanges(const SettingMap& before, const SettingMap& now);

}  // namespace qav::fleet

// Applies a SettingMap to Settings through the key table, converting each
// value with the parser of its key; also the parsers themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/setting_map.h"
#include "settings/settings.h"

namespace qav {

// Visits the keys of the key table in table order; throws std::runtime_error
// with the German message on the first value that cannot be converted.
void applySettingMap(Settings& settings, const SettingMap& map);

std::uint32_t parseNumber(const std::string& key, const std::string& text, std::uint32_t bound);
bool parseBool(const std::string& key, const std::string& text);
std::vector<std::string> parseList(const std::string& text);

}  // namespace qav

// The converters from setting text to value: bounded unsigned numbers,
// booleans and comma lists. The key only names the setting in the message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qav {

// Leading white space and a plus sign are tolerated, as by strtoul; the
// whole rest must be decimal digits. Throws "Ungültiger Zahlenwert für ...".
std::uint32_t parseNumber(const std::string& key, const std::string& text, std::uint32_t bound);

// 1/true/yes/on and 0/false/no/off in any case. Throws
// "Ungültiger Wahrheitswert für ..." quoting the text as given.
bool parseBool(const std::string& key, const std::string& text);

// Splits at every comma and trims each piece; empty pieces are kept so that
// "110,,," still has four entries. An empty text is an empty list.
std::vector<std::string> parseList(const std::string& text);

}  // namespace qav

#include "settings/value_parsers.h"

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "settings/text_util.h"

namespace qav {

namespace {

bool isCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// strtoull negates a value after "-" modulo 2^64, so "-18446744073709551615"
// would come back as 1. Refusing the sign outright keeps "-1" failing and
// closes that hole.
bool hasMinusSign(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isCSpace(text[i])) ++i;
  return i < text.size() && text[i] == '-';
}

}  // namespace

std::uint32_t parseNumber(const std::string& key, const std::string& text, std::uint32_t bound) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = hasMinusSign(text) ? 0 : std::strtoull(begin, &end, 10);
  // end stops early at an embedded NUL too, so it is compared with the
  // string's real size, not with a C string length.
  const bool converted = end != nullptr && end != begin && errno != ERANGE;
  if (!converted || end != begin + text.size() || value > bound)
    throw std::runtime_error("Ungültiger Zahlenwert für " + key + ": " + text);
  return static_cast<std::uint32_t>(value);
}

bool parseBool(const std::string& key, const std::string& text) {
  const std::string lowered = lowerAscii(text);
  if (lowered == "1" || lowered == "true" || lowered == "yes" || lowered == "on") return true;
  if (lowered == "0" || lowered == "false" || lowered == "no" || lowered == "off") return false;
  throw std::runtime_error("Ungültiger Wahrheitswert für " + key + ": " + text);
}

std::vector<std::string> parseList(const std::string& text) {
  std::vector<std::string> items;
  if (text.empty()) return items;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::size_t length = comma == std::string::npos ? std::string::npos : comma - start;
    items.push_back(trimBlanks(std::string_view(text).substr(start, length)));
    if (comma == std::string::npos) return items;
    start = comma + 1;
  }
}

}  // namespace qav

#include "qav-sim/dtmf_relay.h"

#include <cctype>
#include <charconv>

namespace qav::sim {

namespace {

// Longer than any key press a person or a programming tool produces; a
// larger value is more likely garbage than a held key.
constexpr std::uint32_t kLongestDurationMs = 60'000;

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

bool sameKey(std::string_view key, std::string_view expected) {
  if (key.size() != expected.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(key[i])) != expected[i]) return false;
  return true;
}

std::optional<char> dtmfKey(std::string_view value) {
  if (value.size() != 1) return std::nullopt;
  const char key = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
  if ((key >= '0' && key <= '9') || key == '*' || key == '#' || (key >= 'A' && key <= 'D')) return key;
  return std::nullopt;
}

std::optional<std::uint32_t> milliseconds(std::string_view value) {
  std::uint32_t parsed = 0;
  const auto [stop, error] = std::from_chars(value.data(), value.data() + value.size(), parsed);
  if (value.empty() || error != std::errc{} || stop != value.data() + value.size() ||
      parsed > kLongestDurationMs)
    return std::nullopt;
  return parsed;
}

}  // namespace

std::optional<RelayedDigit> parseDtmfRelay(std::string_view body) {
  std::optional<char> digit;
  std::optional<std::uint32_t> duration;
  bool malformed = false;
  while (!body.empty()) {
    const auto newline = body.find('\n');
    const std::string_view line = body.substr(0, newline);
    body = newline == std::string_view::npos ? std::string_view{} : body.substr(newline + 1);
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = trimmed(line.substr(0, equals));
    const std::string_view value = trimmed(line.substr(equals + 1));
    if (sameKey(key, "signal")) {
      digit = dtmfKey(value);
      malformed = malformed || !digit;
    } else if (sameKey(key, "duration")) {
      duration = milliseconds(value);
      malformed = malformed || !duration;
    }
  }
  if (!digit || malformed) return std::nullopt;
  return RelayedDigit{*digit, duration};
}

}  // namespace qav::sim

// The body of a SIP INFO request of type application/dtmf-relay: the key
// pressed ("Signal=") and how long it was held ("Duration=", milliseconds).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qav::sim {

struct RelayedDigit {
  char digit = 0;
  // Absent when the sender did not say; the key then counts as released
  // when the request arrives.
  std::optional<std::uint32_t> durationMs;
};

// Empty for a body without a single DTMF key (0 to 9, *, #, A to D) or with
// a malformed duration. Lines may end in CRLF or LF; blanks around keys and
// values are ignored, key names are case-insensitive.
std::optional<RelayedDigit> parseDtmfRelay(std::string_view body);

}  // namespace qav::sim

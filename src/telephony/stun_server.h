// The STUN server of the settings, "HOST[:PORT]" with an IPv6 host in
// brackets, and its numeric address as the system's resolver gives it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qav {

constexpr std::uint16_t defaultStunPort = 3478;

struct StunServer {
  std::string host;  // without brackets
  std::uint16_t port = defaultStunPort;
};

// Empty when the text is no HOST[:PORT] (empty host, port not 1 to 65535,
// an IPv6 address without brackets).
std::optional<StunServer> parseStunServer(const std::string& text);

// The server with its host resolved to a numeric address; empty when the
// name does not resolve.
std::optional<StunServer> resolveStunServer(const StunServer& server);

}  // namespace qav

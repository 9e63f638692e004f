#include "telephony/stun_server.h"

#include <charconv>

#include "telephony/network_address.h"

namespace qav {
namespace {

std::optional<std::uint16_t> portNumber(const std::string& text) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc{} || stop != end || value < 1 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<StunServer> parseStunServer(const std::string& text) {
  StunServer server;
  std::string portText;
  if (!text.empty() && text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string::npos || close == 1) return std::nullopt;
    server.host = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      portText = rest.substr(1);
      if (portText.empty()) return std::nullopt;
    }
  } else {
    const auto colon = text.find(':');
    // A second colon: an IPv6 address, which needs its brackets here.
    if (colon != std::string::npos && text.find(':', colon + 1) != std::string::npos) return std::nullopt;
    server.host = text.substr(0, colon);
    if (colon != std::string::npos) {
      portText = text.substr(colon + 1);
      if (portText.empty()) return std::nullopt;
    }
  }
  if (server.host.empty()) return std::nullopt;
  if (!portText.empty()) {
    const auto port = portNumber(portText);
    if (!port) return std::nullopt;
    server.port = *port;
  }
  return server;
}

std::optional<StunServer> resolveStunServer(const StunServer& server) {
  const std::string address = isNumericHost(server.host) ? server.host : resolveHost(server.host);
  if (address.empty()) return std::nullopt;
  return StunServer{address, server.port};
}

}  // namespace qav

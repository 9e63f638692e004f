// The public address a NAT gives one local UDP port, asked of a STUN server
// from that port before a SIP transport is bound to it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "telephony/stun_server.h"

namespace qav {

struct PublicAddress {
  std::string host;  // numeric, without brackets
  std::uint16_t port = 0;
};

struct UdpMapping {
  std::uint16_t localPort = 0;  // 0: no port was probed
  std::optional<PublicAddress> mapped;
};

// Binds a fresh UDP port on localIp, asks the server (numeric) from it and
// closes the port again. With a NAT that maps by internal address and port
// alone, a socket bound to the same port afterwards inherits the mapping.
// Waits at most `limit`; without an answer `mapped` is empty. Call it while
// the LibreLoop runs and without a LibreLock.
UdpMapping probeUdpMapping(const std::string& localIp, const StunServer& server, std::chrono::milliseconds limit);

// A SIP transport bound on a local port whose public mapping the server
// reported: bind(port) throws std::runtime_error when the port was taken
// between the probe and the bind, and a fresh port is probed, a few times.
// Empty when no mapping came; a server that stayed silent is cleared from
// `server`, so that later sockets of the run do not wait for it again.
std::optional<PublicAddress> bindOnMappedPort(const std::string& localIp, std::optional<StunServer>& server,
                                              const std::function<void(std::uint16_t port)>& bind);

// "sip:user@host:port", with an IPv6 host in brackets: a contact that names
// the public address instead of the local one.
std::string publicContact(const std::string& user, const PublicAddress& address);

}  // namespace qav

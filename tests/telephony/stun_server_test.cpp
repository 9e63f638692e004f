#include <gtest/gtest.h>

#include "telephony/stun_probe.h"
#include "telephony/stun_server.h"

namespace qav {
namespace {

TEST(StunServer, HostWithOptionalPortAndBracketedIpv6) {
  const struct {
    const char* text;
    const char* host;
    std::uint16_t port;
  } accepted[] = {
      {"stun.example.org", "stun.example.org", 3478},
      {"192.0.2.1:19302", "192.0.2.1", 19302},
      {"[2001:db8::1]", "2001:db8::1", 3478},
      {"[::1]:65535", "::1", 65535},
      {"h:1", "h", 1},
  };
  for (const auto& entry : accepted) {
    const std::optional<StunServer> server = parseStunServer(entry.text);
    ASSERT_TRUE(server) << entry.text;
    EXPECT_EQ(server->host, entry.host) << entry.text;
    EXPECT_EQ(server->port, entry.port) << entry.text;
  }
}

TEST(StunServer, RefusesWhatNamesNoServer) {
  for (const char* text : {"", ":3478", "host:", "host:0", "host:65536", "host:34x", "host:-1", "2001:db8::1",
                           "[2001:db8::1", "[]:3478", "[::1]3478", "[::1]:"}) {
    EXPECT_FALSE(parseStunServer(text)) << text;
  }
}

TEST(StunServer, NumericHostIsKeptAndUnknownNameDoesNotResolve) {
  const std::optional<StunServer> numeric = resolveStunServer({"127.0.0.1", 5000});
  ASSERT_TRUE(numeric);
  EXPECT_EQ(numeric->host, "127.0.0.1");
  EXPECT_EQ(numeric->port, 5000);
  EXPECT_TRUE(resolveStunServer({"localhost", 3478}));
  EXPECT_FALSE(resolveStunServer({"stun.invalid", 3478}));
}

TEST(StunServer, PublicContactBracketsIpv6) {
  EXPECT_EQ(publicContact("tester", {"198.51.100.7", 40000}), "sip:tester@198.51.100.7:40000");
  EXPECT_EQ(publicContact("tester", {"2001:db8::7", 5060}), "sip:tester@[2001:db8::7]:5060");
}

}  // namespace
}  // namespace qav

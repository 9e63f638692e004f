#include "telephony/sip_addressing.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

SipSettings account(SipTransport transport, std::uint16_t port) {
  SipSettings settings;
  settings.server = "pbx.example";
  settings.port = port;
  settings.transport = transport;
  settings.user = "201";
  return settings;
}

TEST(SipAddressingTest, RegistrarUriCarriesPortAndTransportButAccountUriDoesNot) {
  EXPECT_EQ(registrarUri(account(SipTransport::Udp, 5060)), "sip:pbx.example:5060");
  EXPECT_EQ(registrarUri(account(SipTransport::Tcp, 5080)), "sip:pbx.example:5080;transport=tcp");
  EXPECT_EQ(registrarUri(account(SipTransport::Tls, 5061)), "sip:pbx.example:5061;transport=tls");
  EXPECT_EQ(accountUri(account(SipTransport::Tls, 5061)), "sip:201@pbx.example");
}

TEST(SipAddressingTest, ProxyBecomesALooseRoute) {
  EXPECT_EQ(proxyRoute("proxy.example:5070"), "sip:proxy.example:5070;lr");
  EXPECT_EQ(proxyRoute("sips:proxy.example;lr"), "sips:proxy.example;lr");
  EXPECT_EQ(proxyRoute("sip:proxy.example;transport=tcp"), "sip:proxy.example;transport=tcp;lr");
}

TEST(SipAddressingTest, RegistrarRouteNamesTheResolvedAddress) {
  EXPECT_EQ(registrarRoute(account(SipTransport::Tcp, 5080), "192.0.2.7"), "sip:192.0.2.7:5080;transport=tcp;lr");
  EXPECT_EQ(registrarRoute(account(SipTransport::Udp, 5060), "2001:db8::1"), "sip:[2001:db8::1]:5060;lr");
  // libre adds ";lr" to every route: only parameters named exactly lr go.
  EXPECT_EQ(libreRoute("sip:192.0.2.7:5080;transport=tcp;lr"), "sip:192.0.2.7:5080;transport=tcp");
  EXPECT_EQ(libreRoute("sips:proxy.example;lr;transport=tls"), "sips:proxy.example;transport=tls");
  EXPECT_EQ(libreRoute("sip:proxy.example;lrx=1;lr"), "sip:proxy.example;lrx=1");
  EXPECT_EQ(libreRoute("sip:proxy.example"), "sip:proxy.example");
}

TEST(SipAddressingTest, DialPrefixAndRequestUri) {
  EXPECT_EQ(dialledTarget("+4930123", "0"), "0004930123");
  EXPECT_EQ(dialledTarget("030123", "9"), "9030123");
  EXPECT_EQ(dialledTarget("", "9"), "9");
  EXPECT_EQ(dialledTarget("sip:qav@host", "9"), "sip:qav@host");
  EXPECT_EQ(dialledTarget("sips:qav@host", "9"), "sips:qav@host");
  EXPECT_EQ(dialledTarget("+4930123", ""), "+4930123");
  EXPECT_EQ(callRequestUri("9030123", "pbx.example"), "sip:9030123@pbx.example");
  EXPECT_EQ(callRequestUri("sip:qav@10.0.0.1:5062", "pbx.example"), "sip:qav@10.0.0.1:5062");
}

TEST(SipAddressingTest, NextHopIsTheProxyHostWhenThereIsOne) {
  SipSettings settings = account(SipTransport::Udp, 5060);
  EXPECT_EQ(nextHopHost(settings), "pbx.example");
  settings.server = "[2001:db8::5]";
  EXPECT_EQ(nextHopHost(settings), "2001:db8::5");
  settings.proxy = "sip:edge.example:5070;lr";
  EXPECT_EQ(nextHopHost(settings), "edge.example");
  settings.proxy = "sips:[2001:db8::9]:5071";
  EXPECT_EQ(nextHopHost(settings), "2001:db8::9");
  settings.proxy = "10.1.2.3";
  EXPECT_EQ(nextHopHost(settings), "10.1.2.3");
}

TEST(SipAddressingTest, DigestUserAndRealm) {
  SipSettings settings = account(SipTransport::Udp, 5060);
  EXPECT_EQ(digestUser(settings), "201");
  settings.authUser = "auth201";
  EXPECT_EQ(digestUser(settings), "auth201");
  EXPECT_TRUE(realmMatches("*", "asterisk"));
  EXPECT_TRUE(realmMatches("qav.test", "qav.test"));
  EXPECT_FALSE(realmMatches("qav.test", "other"));
}

}  // namespace
}  // namespace qav

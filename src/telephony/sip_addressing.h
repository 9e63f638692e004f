// The SIP URIs of the account and the call, built from the settings: account
// and registrar URIs, proxy and next-hop routes, dial prefix, request URI.
#pragma once

#include <string>

#include "settings/settings.h"

namespace qav {

bool isSipUri(const std::string& text);

// "sip:" user "@" server; no port, no parameters.
std::string accountUri(const SipSettings& settings);

// "sip:" server ":" port, with ";transport=tcp" or ";transport=tls".
std::string registrarUri(const SipSettings& settings);

// The configured proxy as a loose route: "sip:" in front unless it has a
// scheme, ";lr" at the end unless it already says ";lr" somewhere.
std::string proxyRoute(const std::string& proxy);

// A loose route to the registrar's resolved address, so that requests reach
// the configured port and transport even where their request URI names only
// the server (calls) or a host name that DNS alone cannot resolve.
std::string registrarRoute(const SipSettings& settings, const std::string& numericHost);

// A loose route as libre's dialogs take it: they append ";lr" to every
// route themselves, so the route's own ";lr" parameters are taken out.
std::string libreRoute(const std::string& route);

// The digits to dial for a target: prefix, then "00" in place of a leading
// "+"; SIP URIs and an empty prefix leave the target unchanged.
std::string dialledTarget(const std::string& target, const std::string& prefix);

// SIP URIs unchanged, anything else "sip:" target "@" server.
std::string callRequestUri(const std::string& dialled, const std::string& server);

// The host requests are sent to first: the proxy's when one is configured,
// else the server. Brackets of an IPv6 literal are removed.
std::string nextHopHost(const SipSettings& settings);

// The digest user name: sip-auth-user, or sip-user when that is empty.
std::string digestUser(const SipSettings& settings);

// Whether credentials apply to a challenge's realm; "*" answers any realm.
bool realmMatches(const std::string& configured, const std::string& challenged);

}  // namespace qav

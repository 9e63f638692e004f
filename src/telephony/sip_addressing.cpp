#include "telephony/sip_addressing.h"

namespace qav {
namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string transportParameter(SipTransport transport) {
  switch (transport) {
    case SipTransport::Tcp: return ";transport=tcp";
    case SipTransport::Tls: return ";transport=tls";
    case SipTransport::Udp: break;
  }
  return "";
}

std::string bracketIpv6(const std::string& host) {
  if (host.find(':') == std::string::npos || startsWith(host, "[")) return host;
  return "[" + host + "]";
}

}  // namespace

bool isSipUri(const std::string& text) { return startsWith(text, "sip:") || startsWith(text, "sips:"); }

std::string accountUri(const SipSettings& settings) {
  return "sip:" + settings.user + "@" + settings.server;
}

std::string registrarUri(const SipSettings& settings) {
  return "sip:" + settings.server + ":" + std::to_string(settings.port) +
         transportParameter(settings.transport);
}

std::string proxyRoute(const std::string& proxy) {
  std::string route = isSipUri(proxy) ? proxy : "sip:" + proxy;
  if (route.find(";lr") == std::string::npos) route += ";lr";
  return route;
}

std::string registrarRoute(const SipSettings& settings, const std::string& numericHost) {
  return "sip:" + bracketIpv6(numericHost) + ":" + std::to_string(settings.port) +
         transportParameter(settings.transport) + ";lr";
}

std::string libreRoute(const std::string& route) {
  std::string out = route;
  for (std::size_t at = out.find(";lr"); at != std::string::npos; at = out.find(";lr", at)) {
    const std::size_t end = at + 3;
    if (end == out.size() || out[end] == ';' || out[end] == '>' || out[end] == '?') {
      out.erase(at, 3);
    } else {
      at = end;
    }
  }
  return out;
}

std::string dialledTarget(const std::string& target, const std::string& prefix) {
  if (prefix.empty() || isSipUri(target)) return target;
  if (startsWith(target, "+")) return prefix + "00" + target.substr(1);
  return prefix + target;
}

std::string callRequestUri(const std::string& dialled, const std::string& server) {
  return isSipUri(dialled) ? dialled : "sip:" + dialled + "@" + server;
}

std::string nextHopHost(const SipSettings& settings) {
  std::string host = settings.proxy.empty() ? settings.server : settings.proxy;
  for (const char* scheme : {"sips:", "sip:"}) {
    if (startsWith(host, scheme)) host = host.substr(std::string(scheme).size());
  }
  if (const auto at = host.find('@'); at != std::string::npos) host = host.substr(at + 1);
  if (startsWith(host, "[")) return host.substr(1, host.find(']') - 1);
  return host.substr(0, host.find_first_of(":;>"));
}

std::string digestUser(const SipSettings& settings) {
  return settings.authUser.empty() ? settings.user : settings.authUser;
}

bool realmMatches(const std::string& configured, const std::string& challenged) {
  return configured == "*" || configured == challenged;
}

}  // namespace qav

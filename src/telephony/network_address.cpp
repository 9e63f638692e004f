#include "telephony/network_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace qav {
namespace {

std::string numericText(const sockaddr* address, socklen_t length) {
  char text[NI_MAXHOST] = {};
  if (getnameinfo(address, length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0) return "";
  return text;
}

std::string firstOfFamily(const addrinfo* list, int family) {
  for (const addrinfo* entry = list; entry; entry = entry->ai_next) {
    if (entry->ai_family == family) return numericText(entry->ai_addr, entry->ai_addrlen);
  }
  return "";
}

std::string stripBrackets(const std::string& host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

}  // namespace

bool isNumericHost(const std::string& host) {
  const std::string bare = stripBrackets(host);
  in6_addr buffer{};
  return inet_pton(AF_INET, bare.c_str(), &buffer) == 1 || inet_pton(AF_INET6, bare.c_str(), &buffer) == 1;
}

std::string resolveHost(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(stripBrackets(host).c_str(), nullptr, &hints, &list) != 0) return "";
  std::string address = firstOfFamily(list, AF_INET);
  if (address.empty()) address = firstOfFamily(list, AF_INET6);
  freeaddrinfo(list);
  return address;
}

std::string localAddressTowards(const std::string& numericHost) {
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICHOST;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* target = nullptr;
  // Any port will do: connecting a datagram socket only consults the routes.
  if (getaddrinfo(numericHost.c_str(), "9", &hints, &target) != 0) return "";
  std::string local;
  const int fd = socket(target->ai_family, SOCK_DGRAM, 0);
  if (fd >= 0 && connect(fd, target->ai_addr, target->ai_addrlen) == 0) {
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
      local = numericText(reinterpret_cast<sockaddr*>(&bound), length);
    }
  }
  if (fd >= 0) close(fd);
  freeaddrinfo(target);
  return local;
}

}  // namespace qav
